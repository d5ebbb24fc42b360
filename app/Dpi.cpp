#include "app/Dpi.h"

namespace tarnwick::app {
namespace {

// Looked up at run time: these calls are missing before Windows 10 (user32) or without the
// version 6 common controls (comctl32).
template <class Function>
Function ModuleFunction(const wchar_t* module, const char* name) {
    FARPROC address = GetProcAddress(GetModuleHandleW(module), name);
    return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

template <class Function>
Function User32Function(const char* name) {
    return ModuleFunction<Function>(L"user32.dll", name);
}

constexpr int kPointSizeHundredths = 825;  // 8.25 points

LOGFONTW NamedFontAt(const wchar_t* face, LONG weight, int dpi) {
    LOGFONTW named{};
    named.lfHeight = -MulDiv(kPointSizeHundredths, dpi, 72 * 100);
    named.lfCharSet = DEFAULT_CHARSET;
    named.lfQuality = DEFAULT_QUALITY;
    named.lfWeight = weight;
    lstrcpynW(named.lfFaceName, face, LF_FACESIZE);
    return named;
}

int SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

}  // namespace

int DpiOf(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        if (UINT dpi = getDpiForWindow(window); dpi != 0) return static_cast<int>(dpi);
    }
    return SystemDpi();
}

LOGFONTW MessageFontAt(int dpi) {
    using ForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto forDpi = User32Function<ForDpiFn>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (forDpi != nullptr &&
        forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi))) {
        return metrics.lfMessageFont;
    }
    // Before Windows 10 the metrics come at the system DPI only.
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, SystemDpi());
    return metrics.lfMessageFont;
}

LOGFONTW CaptionFontAt(int dpi) {
    return NamedFontAt(L"MS Sans Serif", FW_BOLD, dpi);
}

LOGFONTW CreditFontAt(int dpi) {
    return NamedFontAt(L"Arial", FW_NORMAL, dpi);
}

void ClientToWindowRect(RECT& rect, DWORD style, bool hasMenu, DWORD exStyle, int dpi) {
    using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = User32Function<AdjustForDpiFn>("AdjustWindowRectExForDpi");
    if (adjustForDpi != nullptr &&
        adjustForDpi(&rect, style, hasMenu, exStyle, static_cast<UINT>(dpi))) {
        return;
    }
    AdjustWindowRectEx(&rect, style, hasMenu, exStyle);
}

HICON LoadIconAt(HINSTANCE instance, int iconId, int px) {
    using ScaleDownFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
    static const auto scaleDown =
        ModuleFunction<ScaleDownFn>(L"comctl32.dll", "LoadIconWithScaleDown");
    HICON icon = nullptr;
    if (scaleDown != nullptr &&
        SUCCEEDED(scaleDown(instance, MAKEINTRESOURCEW(iconId), px, px, &icon))) {
        return icon;
    }
    return static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(iconId), IMAGE_ICON, px, px, LR_DEFAULTCOLOR));
}

}  // namespace tarnwick::app
