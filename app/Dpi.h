// The DPI a window is shown at, and the window size that gives it a client area of a given size.
#pragma once

#include <windows.h>

namespace tarnwick::app {

// The window's own DPI where the system knows it per monitor (Windows 10 and later), else the
// system DPI.
int DpiOf(HWND window);

// The font message boxes use, at `dpi`.
LOGFONTW MessageFontAt(int dpi);

// The window's named fonts at `dpi`, 8.25 points as the form was designed: the captions' bold
// MS Sans Serif, and the credit line's Arial. The window makes its fonts from these, and the
// tests measure with them.
LOGFONTW CaptionFontAt(int dpi);
LOGFONTW CreditFontAt(int dpi);

// Adjusts `rect` from a client rectangle to the window rectangle at `dpi`.
void ClientToWindowRect(RECT& rect, DWORD style, bool hasMenu, DWORD exStyle, int dpi);

// The icon resource `iconId` at `px` pixels square: the image drawn for that size where the icon
// has one, else a larger one scaled down (never a smaller one blown up, where the system can).
HICON LoadIconAt(HINSTANCE instance, int iconId, int px);

}  // namespace tarnwick::app
