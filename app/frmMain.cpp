#include "app/frmMain.h"

#include <commctrl.h>

#include <iterator>

#include "app/ControlClass.h"
#include "app/CreditLine.h"
#include "app/Dpi.h"
#include "app/ExportCommand.h"
#include "app/FormLayout.h"
#include "app/MessageFit.h"
#include "app/PolicyCommand.h"
#include "app/SelectionButtons.h"
#include "app/SnapInCommand.h"
#include "app/SnapInLauncher.h"
#include "app/Twips.h"
#include "app/WideText.h"
#include "app/resource.h"
#include "command/Messages.h"
#include "paths/Defaults.h"
#include "win32/Environment.h"

namespace tarnwick::app {
namespace {

constexpr wchar_t kClassName[] = L"TarnwickMainWindow";
// Fixed single border, title bar with system menu and close box, no minimise or maximise box.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr COLORREF kCreditColour = RGB(0, 0, 192);
constexpr int kButtonIconPx = 24;  // at 96 DPI
constexpr int kLargeIconPx = 32;
constexpr int kSmallIconPx = 16;

// The value of `windir`, empty when it is not set.
std::string WindowsFolder() {
    return win32::EnvironmentVariable("windir");
}

bool IsSelectButton(int id) {
    return id >= IDC_CMDSELECT_0 && id <= IDC_CMDSELECT_0 + 2;
}

// Each picture box and the button it lies on.
struct IconOnButton {
    int pictureId, buttonId;
};
constexpr IconOnButton kIconsOnButtons[] = {
    {IDC_PICSELECTALL, IDC_CMDSELECT_0 + 1}, {IDC_PICDESELECT, IDC_CMDSELECT_0 + 0},
    {IDC_PICINVERT, IDC_CMDSELECT_0 + 2},    {IDC_PICADM, IDC_COMMAND1},
    {IDC_PICTURE2, IDC_CMDRUNGPEDIT},
};
static_assert(std::size(kIconsOnButtons) == kButtonIconCount);

// A picture box shows part of its button: whenever the button paints itself anew (hot, pressed,
// focused, made default), the box must too. The subclass data is the box's handle.
LRESULT CALLBACK UnderIconProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                               DWORD_PTR picture) {
    const LRESULT result = DefSubclassProc(button, message, wParam, lParam);
    switch (message) {
        case WM_PAINT:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE:
        case WM_MOUSELEAVE:
        case BM_SETSTATE:
        case BM_SETSTYLE:
            InvalidateRect(reinterpret_cast<HWND>(picture), nullptr, FALSE);
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(button, UnderIconProc, id);
            break;
        default:
            break;
    }
    return result;
}

bool IsPushButton(int id) {
    return IsSelectButton(id) || id == IDC_COMMAND1 || id == IDC_CMDRUNGPEDIT;
}

}  // namespace

frmMain::~frmMain() {
    DeleteFonts();
    for (HICON icon : buttonIcons_) {
        if (icon != nullptr) DestroyIcon(icon);
    }
    if (largeIcon_ != nullptr) DestroyIcon(largeIcon_);
    if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
}

bool frmMain::Load(HINSTANCE instance) {
    instance_ = instance;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDR_MAINMENU);
    windowClass.lpszClassName = kClassName;
    windowClass.hIcon = LoadIconAt(instance, IDI_TARNWICK, kLargeIconPx);
    if (RegisterClassExW(&windowClass) == 0) return false;

    const std::wstring caption = Widen(msg::kWindowCaption);
    window_ = CreateWindowExW(0, kClassName, caption.c_str(), kWindowStyle, CW_USEDEFAULT, 0,
                              CW_USEDEFAULT, 0, nullptr, nullptr, instance, this);
    if (window_ == nullptr) return false;

    dpi_ = DpiOf(window_);
    label3Left_ = kLabel3StartLeft;
    CreateFonts();
    CreateControls();
    LoadIcons();
    PlaceControls();
    SizeWindowForClientArea();
    Form_Load();
    SetTimer(window_, ID_TIMER1, kCreditTimerMs, nullptr);
    return true;
}

void frmMain::Show(int showCommand) {
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
    SetFocus(Control(IDC_COMMAND1));
}

// ---- FormView ----

std::int16_t frmMain::DriveValue(int index) const {
    const LRESULT state = SendMessageW(Control(IDC_CHKDRIVE_0 + index), BM_GETCHECK, 0, 0);
    return state == BST_CHECKED ? 1 : 0;
}

std::string frmMain::DriveCaption(int index) const {
    return TextOf(IDC_CHKDRIVE_0 + index);
}

bool frmMain::FollowingMode() const {
    return SendMessageW(Control(IDC_OPTION1_0), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::string frmMain::SourceText() const {
    return TextOf(IDC_TXTSOURCEADM);
}

std::string frmMain::NewText() const {
    return TextOf(IDC_TXTNEWADM);
}

// The portable command speaks in message-box numbers of its own; they are the Windows values.
static_assert(kMbOk == MB_OK && kMbYesNo == MB_YESNO && kMbCritical == MB_ICONHAND);
static_assert(kIdYes == IDYES && kIdNo == IDNO);

int frmMain::MsgBox(const std::string& text, int style, const std::string& title) {
    const std::wstring wideText = Widen(text);
    const std::wstring wideTitle = Widen(title.empty() ? msg::kAppTitle : title);
    return FittingMessageBox(window_, wideText, wideTitle, static_cast<UINT>(style));
}

void frmMain::Beep() {
    MessageBeep(MB_OK);
}

// ---- Event procedures ----

void frmMain::Form_Load() {
    for (int i = 0; i < kDriveCount; ++i) {
        SetTextOf(IDC_CHKDRIVE_0 + i, std::string(1, static_cast<char>('A' + i)) + ":");
    }
    state_.strSourceADM = DefaultSourcePath(WindowsFolder());
    SetTextOf(IDC_TXTSOURCEADM, state_.strSourceADM);
    state_.strNewADM = DefaultNewPath(state_.strSourceADM);
    SetTextOf(IDC_TXTNEWADM, state_.strNewADM);
}

// Leaves `cancel` unset: the window always closes, nothing is saved and nothing is asked.
void frmMain::Form_Unload(bool& cancel) {
    (void)cancel;
}

void frmMain::cmdSelect_Click(std::int16_t index) {
    for (int i = 0; i < kDriveCount; ++i)
        SetDriveValue(i, SelectedValue(index, DriveValue(i)));
}

void frmMain::cmdRunGPEdit_Click() {
    const std::string commandLine = SnapInCommandLine(WindowsFolder(), SystemWindowsFolder);
    if (const Status started = StartMinimised("mmc.exe", commandLine); !started) {
        MsgBox(msg::SnapInLaunchFailed(commandLine, started.failure().message), kMbCritical,
               msg::kAppTitle);
    }
}

void frmMain::Command1_Click() {
    // The command runs to its end without yielding, so the credit line stands still until it
    // ends, also while its message boxes wait for an answer (their loops still deliver ticks).
    struct Running {
        bool& flag;
        explicit Running(bool& f) : flag(f) { flag = true; }
        ~Running() { flag = false; }
    } running(commandRunning_);
    tarnwick::Command1_Click(*this, state_);
}

void frmMain::Timer1_Timer() {
    label3Left_ = NextCreditLeft(label3Left_, kInnerWidthTwips);
    PlaceLabel3();
}

void frmMain::Help_About_Click() {
    MsgBox(msg::AboutText(), MB_OK | MB_ICONINFORMATION, msg::kAboutTitle);
}

void frmMain::LegalInfo_Click() {
    MsgBox(msg::LegalText(), MB_OK | MB_ICONINFORMATION, msg::kLegalTitle);
}

// ---- Window procedure ----

LRESULT CALLBACK frmMain::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* form = static_cast<frmMain*>(create->lpCreateParams);
        form->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<frmMain*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    return form->HandleMessage(message, wParam, lParam);
}

LRESULT frmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_TIMER:
            if (wParam == ID_TIMER1 && !commandRunning_) Timer1_Timer();
            return 0;
        case WM_DRAWITEM:
            if (DrawPicture(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
            return DefWindowProcW(window_, message, wParam, lParam);
        case WM_CTLCOLORSTATIC:
            return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_ACTIVATE:
            // Keeps the keyboard focus on the control that had it, as a dialog would.
            if (LOWORD(wParam) == WA_INACTIVE) {
                focusBeforeDeactivation_ = GetFocus();
            } else if (focusBeforeDeactivation_ != nullptr) {
                SetFocus(focusBeforeDeactivation_);
            }
            return 0;
        case WM_DPICHANGED:
            OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_CLOSE: {
            bool cancel = false;
            Form_Unload(cancel);
            if (!cancel) DestroyWindow(window_);
            return 0;
        }
        case WM_DESTROY:
            KillTimer(window_, ID_TIMER1);
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window_, message, wParam, lParam);
    }
}

void frmMain::OnCommand(int id, int notification) {
    if (IsSelectButton(id) && notification == BN_CLICKED) {
        cmdSelect_Click(static_cast<std::int16_t>(id - IDC_CMDSELECT_0));
    } else if (id == IDC_COMMAND1 && notification == BN_CLICKED) {
        Command1_Click();
    } else if (id == IDC_CMDRUNGPEDIT && notification == BN_CLICKED) {
        cmdRunGPEdit_Click();
    } else if ((id == IDC_OPTION1_0 || id == IDC_OPTION1_1) && notification == BN_CLICKED) {
        KeepOptionGroupTabStop();
    } else if (id == IDM_HELP_ABOUT) {
        Help_About_Click();
    } else if (id == IDM_LEGAL_INFO) {
        LegalInfo_Click();
    } else if (id == IDM_POLICY_MAKE) {
        MakePolicyDefinitions_Click(*this, window_, WindowsFolder());
    } else if (id == IDM_POLICY_EXPORT) {
        Export_Click(*this, window_);
    } else if (id == IDOK) {
        // Enter, turned into IDOK by the dialog keys: it presses the focused push button.
        const int focused = GetDlgCtrlID(GetFocus());
        if (IsPushButton(focused)) SendMessageW(Control(focused), BM_CLICK, 0, 0);
    }
}

LRESULT frmMain::OnCtlColorStatic(HDC dc, HWND control) {
    if (control != Control(IDC_LABEL3)) {
        return DefWindowProcW(window_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(control));
    }
    SetTextColor(dc, kCreditColour);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void frmMain::OnDpiChanged(int dpi, const RECT& suggested) {
    dpi_ = dpi;
    DeleteFonts();
    CreateFonts();
    for (const DesignedControl& design : FormControls()) {
        SendMessageW(Control(design.id), WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(design.id)),
                     TRUE);
    }
    LoadIcons();
    PlaceControls();
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // Moving and resizing copies the old pixels along; everything is painted anew at the new size.
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// ---- Building the window ----

void frmMain::CreateControls() {
    // Created in ascending tab index: the creation order is the Tab key's order.
    for (const DesignedControl& design : FormControls()) {
        const std::wstring caption = Widen(design.caption);
        const DWORD exStyle = design.kind == ControlKind::TextBox ? WS_EX_CLIENTEDGE : 0;
        HWND control = CreateWindowExW(
            exStyle, ClassOf(design.kind), caption.c_str(), StyleOf(design), 0, 0, 0, 0, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), instance_, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(design.id)), FALSE);
    }
    // The z-order is the creation order (the Tab key's order), with two changes: the icons go in
    // front of everything, their buttons included, and the frames behind everything. Neither
    // takes the focus, so the Tab order stays as created. (HWND_TOP is a null handle, so it cannot
    // double as "leave in place".)
    for (const DesignedControl& design : FormControls()) {
        if (design.kind == ControlKind::Picture || design.kind == ControlKind::Frame) {
            SetWindowPos(Control(design.id),
                         design.kind == ControlKind::Picture ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    for (const IconOnButton& pair : kIconsOnButtons) {
        SetWindowSubclass(Control(pair.buttonId), UnderIconProc, 0,
                          reinterpret_cast<DWORD_PTR>(Control(pair.pictureId)));
    }
    SendMessageW(Control(IDC_OPTION1_0), BM_SETCHECK, BST_CHECKED, 0);
    KeepOptionGroupTabStop();
    focusBeforeDeactivation_ = Control(IDC_COMMAND1);
}

void frmMain::CreateFonts() {
    LOGFONTW base{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof base, &base);
    HDC screen = GetDC(nullptr);
    const int systemDpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    base.lfHeight = MulDiv(base.lfHeight, dpi_, systemDpi);
    defaultFont_ = CreateFontIndirectW(&base);

    const LOGFONTW caption = CaptionFontAt(dpi_);
    boldFont_ = CreateFontIndirectW(&caption);
    const LOGFONTW credit = CreditFontAt(dpi_);
    creditFont_ = CreateFontIndirectW(&credit);
}

void frmMain::DeleteFonts() {
    for (HFONT* font : {&defaultFont_, &boldFont_, &creditFont_}) {
        if (*font != nullptr) DeleteObject(*font);
        *font = nullptr;
    }
}

void frmMain::LoadIcons() {
    buttonIconPx_ = MulDiv(kButtonIconPx, dpi_, 96);
    for (std::size_t i = 0; i < kButtonIconCount; ++i) {
        const int pictureId = kIconsOnButtons[i].pictureId;
        for (const DesignedControl& design : FormControls()) {
            if (design.id != pictureId) continue;
            if (buttonIcons_[i] != nullptr) DestroyIcon(buttonIcons_[i]);
            buttonIcons_[i] = LoadIconAt(instance_, design.iconId, buttonIconPx_);
        }
        InvalidateRect(Control(pictureId), nullptr, FALSE);
    }
    HICON large = LoadIconAt(instance_, IDI_TARNWICK, MulDiv(kLargeIconPx, dpi_, 96));
    HICON small = LoadIconAt(instance_, IDI_TARNWICK, MulDiv(kSmallIconPx, dpi_, 96));
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    if (largeIcon_ != nullptr) DestroyIcon(largeIcon_);
    if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
    largeIcon_ = large;
    smallIcon_ = small;
}

// The button's face as it is now (through WM_PRINTCLIENT, so hot, pressed, themed or not), then
// the icon centred over it: the icon's clear pixels show the button, never a square of another
// grey.
bool frmMain::DrawPicture(const DRAWITEMSTRUCT& item) {
    std::size_t i = 0;
    while (i < kButtonIconCount && kIconsOnButtons[i].pictureId != static_cast<int>(item.CtlID))
        ++i;
    if (i == kButtonIconCount) return false;
    HWND button = Control(kIconsOnButtons[i].buttonId);
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
    if (buttonIcons_[i] != nullptr) {
        DrawIconEx(memory, corner.x + (width - buttonIconPx_) / 2,
                   corner.y + (height - buttonIconPx_) / 2, buttonIcons_[i], buttonIconPx_,
                   buttonIconPx_, 0, nullptr, DI_NORMAL);
    }
    BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, width, height, memory, corner.x, corner.y,
           SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return true;
}

void frmMain::PlaceControls() {
    for (const DesignedControl& design : FormControls()) {
        // One conversion per coordinate, the frame's offset included: rounding the frame and
        // the control apart could set two controls of one row a pixel apart.
        const TwipsRect place = OnWindow(design);
        SetWindowPos(Control(design.id), nullptr, Px(place.left), Px(place.top), Px(place.width),
                     Px(place.height), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    PlaceLabel3();
}

void frmMain::PlaceLabel3() {
    SetWindowPos(Control(IDC_LABEL3), nullptr, Px(label3Left_), Px(kLabel3Top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmMain::SizeWindowForClientArea() {
    RECT rect{0, 0, Px(kInnerWidthTwips), Px(kInnerHeightTwips)};
    ClientToWindowRect(rect, kWindowStyle, true, 0, dpi_);
    SetWindowPos(window_, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmMain::KeepOptionGroupTabStop() {
    // The Tab key enters the option pair once, at the selected button.
    for (int id : {IDC_OPTION1_0, IDC_OPTION1_1}) {
        HWND option = Control(id);
        LONG style = GetWindowLongW(option, GWL_STYLE);
        const bool selected = SendMessageW(option, BM_GETCHECK, 0, 0) == BST_CHECKED;
        style = selected ? (style | WS_TABSTOP) : (style & ~static_cast<LONG>(WS_TABSTOP));
        SetWindowLongW(option, GWL_STYLE, style);
    }
}

// ---- Small helpers ----

std::string frmMain::TextOf(int id) const {
    HWND control = Control(id);
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied));
    return Narrow(text);
}

void frmMain::SetTextOf(int id, const std::string& text) {
    SetWindowTextW(Control(id), Widen(text).c_str());
}

void frmMain::SetDriveValue(int index, std::int16_t value) {
    SendMessageW(Control(IDC_CHKDRIVE_0 + index), BM_SETCHECK,
                 value == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
}

int frmMain::Px(int twips) const {
    return Scale(twips, dpi_);
}

HFONT frmMain::FontFor(int id) const {
    switch (FontOf(id)) {
        case FontKind::BoldSansSerif:
            return boldFont_;
        case FontKind::Credit:
            return creditFont_;
        default:
            return defaultFont_;
    }
}

}  // namespace tarnwick::app
