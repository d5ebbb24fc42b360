// The window's waiter, for every write that takes a lock (the policy definitions, a policy object,
// the local policy, preference items): once the lock is found held, a small box owned by the main
// window names what it waits for, with a busy cursor and a Cancel button. The main window is
// disabled meanwhile, as under a message box, and both keep repainting, because the wait between
// two tries of the lock is spent handling messages.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "fileio/FileLock.h"

namespace tarnwick::app {

class LockWait : public fileio::Waiter {
  public:
    explicit LockWait(HWND owner) : owner_(owner) {}
    ~LockWait() override;

    // Handles messages for `milliseconds`, the box shown from the first pause on; false once the
    // user has cancelled (the Cancel button, Esc, closing the box, or the program asked to end).
    bool Pause(std::string_view what, std::uint32_t milliseconds) override;
    // The box goes, so that the outcome's message comes alone.
    void GoingOn(std::string_view what) override;

  private:
    void Show(std::string_view what);
    void Close();
    static INT_PTR CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);

    HWND owner_;
    HWND box_ = nullptr;
    HFONT font_ = nullptr;
    bool ownerWasEnabled_ = false;
    bool cancelled_ = false;
};

}  // namespace tarnwick::app
