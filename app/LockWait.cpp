#include "app/LockWait.h"

#include <chrono>

#include "app/Dpi.h"
#include "app/WideText.h"
#include "command/Messages.h"

namespace tarnwick::app {

namespace {

// The text's id, as a message box numbers its own, so that it is read the same way.
constexpr int kTextId = 0xFFFF;
constexpr int kWidthAt96 = 360, kMarginAt96 = 12, kButtonWidthAt96 = 88, kButtonHeightAt96 = 26;

}  // namespace

LockWait::~LockWait() {
    Close();
}

void LockWait::Close() {
    if (box_ == nullptr) return;
    // The owner first, so that activation goes back to it rather than to another program.
    if (ownerWasEnabled_) EnableWindow(owner_, TRUE);
    DestroyWindow(box_);
    box_ = nullptr;
    if (font_ != nullptr) DeleteObject(font_);
    font_ = nullptr;
}

void LockWait::GoingOn(std::string_view) {
    Close();
}

INT_PTR CALLBACK LockWait::BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM) {
    auto* wait = reinterpret_cast<LockWait*>(GetWindowLongPtrW(box, GWLP_USERDATA));
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL && wait != nullptr) wait->cancelled_ = true;
            return TRUE;
        case WM_CLOSE:
            if (wait != nullptr) wait->cancelled_ = true;
            return TRUE;
        case WM_SETCURSOR:
            // Busy, and still answering: the arrow with the hourglass.
            SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
            SetWindowLongPtrW(box, DWLP_MSGRESULT, TRUE);
            return TRUE;
        default:
            return FALSE;
    }
}

void LockWait::Show(std::string_view what) {
    const int dpi = DpiOf(owner_);
    const auto px = [dpi](int at96) { return MulDiv(at96, dpi, 96); };
    const LOGFONTW logFont = MessageFontAt(dpi);
    font_ = CreateFontIndirectW(&logFont);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(Limit()).count();
    const std::wstring text =
        Widen("Waiting for another run writing " + std::string(what) + " to finish (up to " +
              std::to_string(seconds) + " seconds)...");

    // The text's height at the box's width, in the font it is shown in.
    RECT textRect{0, 0, px(kWidthAt96), 0};
    if (HDC dc = GetDC(owner_); dc != nullptr) {
        const HGDIOBJ previous = SelectObject(dc, font_);
        DrawTextW(dc, text.c_str(), -1, &textRect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, previous);
        ReleaseDC(owner_, dc);
    }
    const int margin = px(kMarginAt96);
    RECT client{0, 0, px(kWidthAt96) + 2 * margin,
                textRect.bottom + 3 * margin + px(kButtonHeightAt96)};
    constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    ClientToWindowRect(client, kStyle, false, WS_EX_DLGMODALFRAME, dpi);
    RECT ownerRect{};
    GetWindowRect(owner_, &ownerRect);
    const int width = client.right - client.left, height = client.bottom - client.top;
    const int x = ownerRect.left + (ownerRect.right - ownerRect.left - width) / 2;
    const int y = ownerRect.top + (ownerRect.bottom - ownerRect.top - height) / 2;

    const std::wstring title = Widen(msg::kAppTitle);
    // The system's dialog class: its window procedure hands messages to BoxProc and gives
    // Esc and Enter their usual meaning through IsDialogMessage.
    box_ = CreateWindowExW(WS_EX_DLGMODALFRAME, L"#32770", title.c_str(), kStyle, x, y, width,
                           height, owner_, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (box_ == nullptr) return;
    SetWindowLongPtrW(box_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(box_, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&LockWait::BoxProc));
    const HWND label =
        CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                        margin, margin, px(kWidthAt96), textRect.bottom, box_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextId)), nullptr, nullptr);
    const HWND cancel = CreateWindowExW(
        0, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
        margin + px(kWidthAt96) - px(kButtonWidthAt96), 2 * margin + textRect.bottom,
        px(kButtonWidthAt96), px(kButtonHeightAt96), box_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDCANCEL)), nullptr, nullptr);
    for (HWND control : {label, cancel})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    ownerWasEnabled_ = !EnableWindow(owner_, FALSE);
    ShowWindow(box_, SW_SHOW);
    SetFocus(cancel);
    SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
}

bool LockWait::Pause(std::string_view what, std::uint32_t milliseconds) {
    if (box_ == nullptr && !cancelled_) Show(what);
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // For the main loop, once the command has returned.
                PostQuitMessage(static_cast<int>(message.wParam));
                cancelled_ = true;
                return false;
            }
            if (box_ != nullptr && IsDialogMessageW(box_, &message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const DWORD spent = GetTickCount() - start;
        if (cancelled_ || spent >= milliseconds) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - spent, QS_ALLINPUT);
    }
    return !cancelled_;
}

}  // namespace tarnwick::app
