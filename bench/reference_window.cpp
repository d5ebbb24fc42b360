// The floor of Tarnwick's start-up: a window built from Tarnwick's own layout table
// (app/FormLayout) and resources (app/Tarnwick.rc: the menu bar and the icons), with the same
// controls, styles, three fonts and owner-drawn button icons, and none of its logic: no paths, no
// commands, no timer. bench/startup times Tarnwick.exe against it; what Tarnwick takes beyond it is
// its own.
#include <windows.h>

#include <commctrl.h>

#include <array>
#include <string>

#include "app/ControlClass.h"
#include "app/Dpi.h"
#include "app/FormLayout.h"
#include "app/Twips.h"
#include "app/resource.h"

namespace {

using namespace tarnwick::app;

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;

struct Reference {
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    int dpi = 96;
    std::array<HFONT, 3> fonts{};  // FontKind order
    std::array<HICON, 5> icons{};  // picture order in the table
    int iconPx = 24;
};
Reference g;

int Px(int twips) {
    return Scale(twips, g.dpi);
}

void CreateFonts() {
    LOGFONTW base{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof base, &base);
    g.fonts[0] = CreateFontIndirectW(&base);
    LOGFONTW named{};
    named.lfHeight = -MulDiv(825, g.dpi, 72 * 100);
    named.lfCharSet = DEFAULT_CHARSET;
    named.lfWeight = FW_BOLD;
    lstrcpynW(named.lfFaceName, L"MS Sans Serif", LF_FACESIZE);
    g.fonts[1] = CreateFontIndirectW(&named);
    named.lfWeight = FW_NORMAL;
    lstrcpynW(named.lfFaceName, L"Arial", LF_FACESIZE);
    g.fonts[2] = CreateFontIndirectW(&named);
}

// The picture's button: the one it lies on, the first button that holds its top left corner.
HWND ButtonUnder(const DesignedControl& picture) {
    for (const DesignedControl& design : FormControls()) {
        if (design.kind != ControlKind::Button) continue;
        const TwipsRect b = design.place;
        if (picture.place.left >= b.left && picture.place.left < b.left + b.width &&
            picture.place.top >= b.top && picture.place.top < b.top + b.height) {
            return GetDlgItem(g.window, design.id);
        }
    }
    return nullptr;
}

// As Tarnwick paints a button icon: the button's face, then the icon over it.
bool DrawPicture(const DRAWITEMSTRUCT& item) {
    std::size_t i = 0;
    for (const DesignedControl& design : FormControls()) {
        if (design.kind != ControlKind::Picture) continue;
        if (design.id == static_cast<int>(item.CtlID)) {
            HWND button = ButtonUnder(design);
            RECT face{};
            GetClientRect(button, &face);
            POINT corner{item.rcItem.left, item.rcItem.top};
            MapWindowPoints(item.hwndItem, button, &corner, 1);
            const int width = item.rcItem.right - item.rcItem.left;
            const int height = item.rcItem.bottom - item.rcItem.top;
            HDC memory = CreateCompatibleDC(item.hDC);
            HBITMAP bitmap = CreateCompatibleBitmap(item.hDC, face.right, face.bottom);
            HGDIOBJ old = SelectObject(memory, bitmap);
            SendMessageW(button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory),
                         PRF_CLIENT | PRF_ERASEBKGND);
            DrawIconEx(memory, corner.x + (width - g.iconPx) / 2,
                       corner.y + (height - g.iconPx) / 2, g.icons[i], g.iconPx, g.iconPx, 0,
                       nullptr, DI_NORMAL);
            BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, width, height, memory, corner.x,
                   corner.y, SRCCOPY);
            SelectObject(memory, old);
            DeleteObject(bitmap);
            DeleteDC(memory);
            return true;
        }
        ++i;
    }
    return false;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DRAWITEM:
            if (DrawPicture(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void CreateControls() {
    std::size_t picture = 0;
    for (const DesignedControl& design : FormControls()) {
        std::wstring caption(design.caption, design.caption + lstrlenA(design.caption));
        if (design.kind == ControlKind::CheckBox) {
            caption = {static_cast<wchar_t>(L'A' + design.id - IDC_CHKDRIVE_0), L':'};
        }
        HWND control = CreateWindowExW(
            design.kind == ControlKind::TextBox ? WS_EX_CLIENTEDGE : 0, ClassOf(design.kind),
            caption.c_str(), StyleOf(design), 0, 0, 0, 0, g.window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), g.instance, nullptr);
        SendMessageW(control, WM_SETFONT,
                     reinterpret_cast<WPARAM>(g.fonts[static_cast<std::size_t>(FontOf(design.id))]),
                     FALSE);
        if (design.kind == ControlKind::Picture) {
            g.icons[picture++] = LoadIconAt(g.instance, design.iconId, g.iconPx);
        }
    }
    for (const DesignedControl& design : FormControls()) {
        if (design.kind == ControlKind::Picture || design.kind == ControlKind::Frame) {
            SetWindowPos(GetDlgItem(g.window, design.id),
                         design.kind == ControlKind::Picture ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
        const TwipsRect place = OnWindow(design);
        SetWindowPos(GetDlgItem(g.window, design.id), nullptr, Px(place.left), Px(place.top),
                     Px(place.width), Px(place.height), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SendMessageW(GetDlgItem(g.window, IDC_OPTION1_0), BM_SETCHECK, BST_CHECKED, 0);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    g.instance = instance;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDR_MAINMENU);
    windowClass.lpszClassName = L"ReferenceWindow";
    windowClass.hIcon = LoadIconAt(instance, IDI_TARNWICK, 32);
    if (RegisterClassExW(&windowClass) == 0) return 1;
    g.window =
        CreateWindowExW(0, windowClass.lpszClassName, L"Reference window", kWindowStyle,
                        CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
    if (g.window == nullptr) return 1;
    g.dpi = DpiOf(g.window);
    g.iconPx = MulDiv(24, g.dpi, 96);
    CreateFonts();
    CreateControls();
    SendMessageW(
        g.window, WM_SETICON, ICON_BIG,
        reinterpret_cast<LPARAM>(LoadIconAt(instance, IDI_TARNWICK, MulDiv(32, g.dpi, 96))));
    SendMessageW(
        g.window, WM_SETICON, ICON_SMALL,
        reinterpret_cast<LPARAM>(LoadIconAt(instance, IDI_TARNWICK, MulDiv(16, g.dpi, 96))));
    RECT rect{0, 0, Px(kInnerWidthTwips), Px(kInnerHeightTwips)};
    ClientToWindowRect(rect, kWindowStyle, true, 0, g.dpi);
    SetWindowPos(g.window, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(g.window, show);
    UpdateWindow(g.window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(g.window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
