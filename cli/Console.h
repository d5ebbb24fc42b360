// The process boundary of tarnwick-cli: arguments, environment and output, all as UTF-8 inside.
// On Windows the arguments and the environment are read as wide text and converted, and text for a
// console is written as wide text, so that paths outside the code page come through intact.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/Result.h"

namespace tarnwick::cli {

// Fails when the text could not be written whole and flushed (a full disk, a closed pipe), with
// the system's cause (errno, or GetLastError() on Windows), or with code 0 and no message when the
// process has no such handle or the system said nothing.
Status WriteOut(const std::string& utf8);
Status WriteErr(const std::string& utf8);

// The variable's value, or empty text when it is not set.
std::string EnvironmentVariable(const std::string& name);

#ifdef _WIN32
// Nothing when an argument is not valid Unicode text.
std::optional<std::vector<std::string>> Utf8Arguments(int argc, wchar_t** argv);
#endif

}  // namespace tarnwick::cli
