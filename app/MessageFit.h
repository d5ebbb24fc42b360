// Message boxes that fit the screen they appear on, whatever paths they show.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tarnwick::app {

// How many leading characters of a piece of text fit within the width a line may take.
using FitCount = std::function<std::size_t(std::wstring_view)>;

// Breaks every word (a run without blanks or line ends) that is wider than a line may be into
// pieces that are not, each on a line of its own: after the last backslash or slash that keeps the
// piece within the width, or right at the width in a run without one. Other text is left as it
// is; the message box wraps it at its blanks.
std::wstring BreakLongWords(std::wstring_view text, const FitCount& fits);

// A modal message box of `owner` (MessageBoxW's styles and answers) that fits the work area of
// the owner's monitor: no word wider than half of it, measured in the message font at the
// owner's DPI, and a text too tall for it shown in a box that scrolls.
int FittingMessageBox(HWND owner, const std::wstring& text, const std::wstring& title, UINT style);

}  // namespace tarnwick::app
