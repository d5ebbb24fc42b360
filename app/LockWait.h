// The window while a command waits for another writer's lock: a small box owned by the main
// window names what it waits for, with a busy cursor and a Cancel button. The main window is
// disabled meanwhile, as under a message box, and both keep repainting, because the wait between
// two tries of the lock is spent handling messages.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace tarnwick::app {

class LockWait {
  public:
    // `text` (UTF-8) is shown once the first pause comes, that is once the lock was found held.
    LockWait(HWND owner, std::string text);
    ~LockWait();
    LockWait(const LockWait&) = delete;
    LockWait& operator=(const LockWait&) = delete;

    // The pause between two tries: handles messages for `milliseconds`; false once the user has
    // cancelled (the Cancel button, Esc, closing the box, or the program asked to end).
    bool Pause(std::uint32_t milliseconds);

  private:
    void Show();
    static INT_PTR CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);

    HWND owner_;
    std::string text_;
    HWND box_ = nullptr;
    HFONT font_ = nullptr;
    bool ownerWasEnabled_ = false;
    bool cancelled_ = false;
};

}  // namespace tarnwick::app
