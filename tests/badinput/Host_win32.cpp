#include <windows.h>

#include "tests/badinput/Host.h"
#include "win32/WideText.h"

namespace tarnwick::badinput {

std::shared_ptr<void> HoldWithoutSharing(const std::string& path) {
    const std::wstring wide = win32::Utf8ToWide(path).value_or(std::wstring());
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::shared_ptr<void>(file, [](void* handle) { CloseHandle(handle); });
}

}  // namespace tarnwick::badinput
