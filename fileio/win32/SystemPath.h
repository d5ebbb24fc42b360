// The form of a path that the wide kernel32 calls accept at any length.
#pragma once

#include <optional>
#include <string>

namespace tarnwick::fileio::win32 {

// `utf8` in UTF-16. A path whose full form reaches MAX_PATH characters is made absolute and given
// the \\?\ (or \\?\UNC\) prefix, which lifts the limit; shorter paths pass unchanged. Nothing when
// the text is not valid UTF-8 (GetLastError() says why).
std::optional<std::wstring> SystemPath(const std::string& utf8);

}  // namespace tarnwick::fileio::win32
