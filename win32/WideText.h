// UTF-8 <-> UTF-16 at the kernel32 boundary: the helpers keep text in UTF-8, the wide calls take
// UTF-16.
#pragma once

#include <optional>
#include <string>

namespace tarnwick::win32 {

// Nothing when `utf8` is not valid UTF-8; GetLastError() then says why.
std::optional<std::wstring> Utf8ToWide(const std::string& utf8);

// Unpaired surrogates become U+FFFD.
std::string WideToUtf8(const std::wstring& wide);

// For text the program made itself, which is always valid: no failure to report.
inline std::wstring Widen(const std::string& utf8) {
    return Utf8ToWide(utf8).value_or(std::wstring());
}
inline std::string Narrow(const std::wstring& wide) {
    return WideToUtf8(wide);
}

}  // namespace tarnwick::win32
