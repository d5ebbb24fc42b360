// Environment variables read as wide text, so values outside the code page come through intact.
#pragma once

#include <string>

namespace tarnwick::win32 {

// The variable's value in UTF-8, or empty text when it is not set.
std::string EnvironmentVariable(const std::string& name);

}  // namespace tarnwick::win32
