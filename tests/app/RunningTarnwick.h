// Drives the real Tarnwick.exe from outside, as a user would: starts it with a chosen `windir`,
// finds its controls by id, clicks, types, reads, and answers its modal message boxes from a
// second thread while a click that opened them is still running.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::test {

// A modal message box as the user saw it.
struct SeenBox {
    std::wstring title;
    std::wstring text;
    bool hasIcon = false;
    bool hasYesNo = false;
};

class RunningTarnwick {
  public:
    // Starts Tarnwick.exe with `windir` set to the given value, or removed when it is nullopt,
    // and waits for its window.
    explicit RunningTarnwick(std::optional<std::wstring> windir);
    ~RunningTarnwick();
    RunningTarnwick(const RunningTarnwick&) = delete;
    RunningTarnwick& operator=(const RunningTarnwick&) = delete;

    HWND Window() const { return window_; }
    HWND Control(int id) const;
    DWORD ThreadId() const { return threadId_; }

    std::wstring Text(int id) const;
    void SetText(int id, const std::wstring& text);
    bool Checked(int id) const;
    // The control's rectangle in the window's client coordinates.
    RECT ClientRect(int id) const;

    // Clicks a control (or chooses a menu item) and answers each message box that it shows,
    // in order, with the given button ids; boxes beyond the answers are closed with No or OK.
    std::vector<SeenBox> Click(int id, std::vector<int> answers = {});
    std::vector<SeenBox> ChooseMenuItem(int id, std::vector<int> answers = {});
    // Each modal window (the n-th counting from 0) is handed to `fill` before it is answered, to
    // type into it as a user would, for example a path into a folder picker.
    using Fill = std::function<void(HWND window, std::size_t n)>;
    std::vector<SeenBox> ChooseMenuItem(int id, std::vector<int> answers, Fill fill);

    // Asks the window to close and tells whether the process ended without showing anything.
    bool CloseAndWaitForExit();

  private:
    template <class Action>
    std::vector<SeenBox> AnsweringBoxes(Action action, std::vector<int> answers, Fill fill = {});

    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
};

// Where the window tests keep their files (inside the Wine prefix's temporary folder).
std::wstring Utf16Of(const std::string& utf8);

}  // namespace tarnwick::test
