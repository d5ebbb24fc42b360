// Text is UTF-8 inside Tarnwick and UTF-16 at the Win32 boundary.
#pragma once

#include <string>

namespace tarnwick::app {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);

}  // namespace tarnwick::app
