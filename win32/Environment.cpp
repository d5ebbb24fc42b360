#include "win32/Environment.h"

#include <windows.h>

#include "win32/WideText.h"

namespace tarnwick::win32 {

std::string EnvironmentVariable(const std::string& name) {
    const std::wstring wideName = Widen(name);
    const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    value.resize(length < size ? length : 0);
    return Narrow(value);
}

}  // namespace tarnwick::win32
