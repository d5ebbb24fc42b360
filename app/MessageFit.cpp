#include "app/MessageFit.h"

#include <algorithm>
#include <vector>

#include "app/Dpi.h"

namespace tarnwick::app {
namespace {

constexpr int kTextId = 0xFFFF;  // the id of a message box's text

bool EndsWord(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

// Where to end the first line of a word of which only `fit` characters fit: after the last
// separator, unless that leaves the line less than half full; never inside a surrogate pair.
std::size_t CutAt(std::wstring_view word, std::size_t fit) {
    fit = std::max<std::size_t>(fit, 1);
    std::size_t cut = fit;
    const std::size_t separator = word.substr(0, fit).find_last_of(L"\\/");
    if (separator != std::wstring_view::npos && separator + 1 >= fit / 2) cut = separator + 1;
    if (IS_HIGH_SURROGATE(word[cut - 1])) cut = cut > 1 ? cut - 1 : cut + 1;
    return cut;
}

RECT WorkAreaOf(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor.rcWork;
}

struct ScrollingBox {
    const std::wstring& text;
    const std::wstring& title;
    UINT style;
    HFONT font;
    RECT work;
    int textWidth;
    int lineHeight;
};

void LayOut(HWND box, const ScrollingBox& data) {
    SetWindowTextW(box, data.title.c_str());
    const int margin = data.lineHeight;
    const int buttonWidth = 6 * data.lineHeight, buttonHeight = 2 * data.lineHeight;
    const int workHeight = data.work.bottom - data.work.top;
    const int editWidth = data.textWidth + GetSystemMetrics(SM_CXVSCROLL) + margin;
    const int editHeight = workHeight * 2 / 3;
    const int clientWidth = editWidth + 2 * margin;
    const int clientHeight = editHeight + buttonHeight + 3 * margin;

    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND edit = CreateWindowExW(
        WS_EX_CLIENTEDGE, L"EDIT", data.text.c_str(),
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY, margin,
        margin, editWidth, editHeight, box, reinterpret_cast<HMENU>(kTextId), instance, nullptr);
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(data.font), FALSE);

    const bool yesNo = (data.style & MB_TYPEMASK) == MB_YESNO;
    const std::vector<std::pair<int, const wchar_t*>> buttons =
        yesNo ? std::vector<std::pair<int, const wchar_t*>>{{IDYES, L"&Yes"}, {IDNO, L"&No"}}
              : std::vector<std::pair<int, const wchar_t*>>{{IDOK, L"OK"}};
    int left =
        clientWidth - margin - static_cast<int>(buttons.size()) * (buttonWidth + margin) + margin;
    HWND first = nullptr;
    for (const auto& [id, caption] : buttons) {
        const DWORD kind = first == nullptr ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        HWND button =
            CreateWindowExW(0, L"BUTTON", caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | kind, left,
                            editHeight + 2 * margin, buttonWidth, buttonHeight, box,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(data.font), FALSE);
        if (first == nullptr) first = button;
        left += buttonWidth + margin;
    }

    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(box, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(box, GWL_EXSTYLE)));
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(box, nullptr, data.work.left + (data.work.right - data.work.left - width) / 2,
                 data.work.top + (workHeight - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SetFocus(first);
}

INT_PTR CALLBACK ScrollingBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            LayOut(box, *reinterpret_cast<const ScrollingBox*>(lParam));
            SetWindowLongPtrW(
                box, DWLP_USER,
                static_cast<LONG_PTR>(reinterpret_cast<const ScrollingBox*>(lParam)->style));
            return FALSE;  // the focus is set
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const bool yesNo = (GetWindowLongPtrW(box, DWLP_USER) & MB_TYPEMASK) == MB_YESNO;
            if (id == IDOK || id == IDYES || id == IDNO) EndDialog(box, id);
            // Escape and the close box answer an OK box; a Yes/No question needs its answer.
            if (id == IDCANCEL && !yesNo) EndDialog(box, IDOK);
            return TRUE;
        }
        default:
            return FALSE;
    }
}

int ShowScrollingBox(HWND owner, const ScrollingBox& data) {
    struct alignas(4) Template {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } dialog{};
    dialog.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    return static_cast<int>(DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &dialog.header,
                                                    owner, ScrollingBoxProc,
                                                    reinterpret_cast<LPARAM>(&data)));
}

}  // namespace

std::wstring BreakLongWords(std::wstring_view text, const FitCount& fits) {
    std::wstring fitted;
    std::size_t at = 0;
    while (at < text.size()) {
        if (EndsWord(text[at])) {
            fitted += text[at++];
            continue;
        }
        std::size_t end = at;
        while (end < text.size() && !EndsWord(text[end]))
            ++end;
        std::wstring_view word = text.substr(at, end - at);
        for (std::size_t fit = fits(word); fit < word.size(); fit = fits(word)) {
            const std::size_t cut = CutAt(word, fit);
            fitted += word.substr(0, cut);
            fitted += L"\r\n";
            word.remove_prefix(cut);
        }
        fitted += word;
        at = end;
    }
    return fitted;
}

int FittingMessageBox(HWND owner, const std::wstring& text, const std::wstring& title, UINT style) {
    const RECT work = WorkAreaOf(owner);
    const int workWidth = work.right - work.left, workHeight = work.bottom - work.top;
    const LOGFONTW logFont = MessageFontAt(DpiOf(owner));
    HFONT font = CreateFontIndirectW(&logFont);
    HDC dc = GetDC(owner);
    HGDIOBJ old = SelectObject(dc, font);

    const int maxWidth = workWidth / 2;
    const std::wstring fitted = BreakLongWords(text, [&](std::wstring_view piece) {
        int fit = 0;
        SIZE size{};
        GetTextExtentExPointW(dc, piece.data(), static_cast<int>(piece.size()), maxWidth, &fit,
                              nullptr, &size);
        return static_cast<std::size_t>(fit);
    });
    // The height the text takes when wrapped at a third of the work area, narrower than a
    // message box wraps it: what is shorter fits.
    RECT textRect{0, 0, workWidth / 3, 0};
    DrawTextW(dc, fitted.c_str(), -1, &textRect,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(owner, dc);

    // Title bar, icon, button row and margins take less than eight lines of text.
    const int lineHeight = metrics.tmHeight;
    int answer = 0;
    if (textRect.bottom + 8 * lineHeight <= workHeight) {
        answer = MessageBoxW(owner, fitted.c_str(), title.c_str(), style);
    } else {
        answer = ShowScrollingBox(owner, {fitted, title, style, font, work, maxWidth, lineHeight});
    }
    DeleteObject(font);
    return answer;
}

}  // namespace tarnwick::app
