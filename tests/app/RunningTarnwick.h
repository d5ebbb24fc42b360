// Drives the real Tarnwick.exe from outside, as a user would: starts it with a chosen `windir`,
// finds its controls by id, clicks, types, reads, and answers its modal message boxes from a
// second thread while a click that opened them is still running.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
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

// What the screen showed of a rectangle: 0xRRGGBB per pixel, rows top down.
struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// 0xRRGGBB of a COLORREF.
std::uint32_t Rgb(COLORREF colour);

class RunningTarnwick {
  public:
    // Starts Tarnwick.exe with `windir` set to the given value, or removed when it is nullopt,
    // at `dpi` dots per inch, and waits for its window.
    explicit RunningTarnwick(std::optional<std::wstring> windir, int dpi = 96);
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
    // Lets the window handle everything queued and put it on the screen, then reads the screen
    // over the window's client area.
    void Settle() const;
    Picture Capture() const;
    // Tells the window its monitor now has `dpi` dots per inch, as Windows does when the window
    // moves to another monitor.
    void ChangeDpi(int dpi);

    // Clicks a control (or chooses a menu item) and answers each message box that it shows,
    // in order, with the given button ids; boxes beyond the answers are closed with No or OK.
    // `visit`, when given, runs while each box is up, before it is read and answered (the n-th box
    // counting from 0): to look at it, or to type into it as a user would, such as a path into a
    // folder picker.
    using BoxVisit = std::function<void(HWND box, std::size_t n)>;
    std::vector<SeenBox> Click(int id, std::vector<int> answers = {}, BoxVisit visit = {});
    std::vector<SeenBox> ChooseMenuItem(int id, std::vector<int> answers = {}, BoxVisit visit = {});

    // Asks the window to close and tells whether the process ended without showing anything.
    bool CloseAndWaitForExit();

  private:
    template <class Action>
    std::vector<SeenBox> AnsweringBoxes(Action action, std::vector<int> answers,
                                        const BoxVisit& visit);

    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
};

// Where the window tests keep their files (inside the Wine prefix's temporary folder).
std::wstring Utf16Of(const std::string& utf8);

}  // namespace tarnwick::test
