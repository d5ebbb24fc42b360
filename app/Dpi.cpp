#include "app/Dpi.h"

namespace tarnwick::app {
namespace {

// Looked up at run time: both calls are missing before Windows 10.
template <class Function>
Function User32Function(const char* name) {
    FARPROC address = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

}  // namespace

int DpiOf(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        if (UINT dpi = getDpiForWindow(window); dpi != 0) return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
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

}  // namespace tarnwick::app
