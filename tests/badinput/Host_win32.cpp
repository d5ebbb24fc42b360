#include <windows.h>

#include <filesystem>

#include "tests/badinput/Host.h"

namespace tarnwick::badinput {
namespace {

std::wstring Wide(const std::string& utf8) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

bool MakeFile(const std::wstring& path, DWORD attributes) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return SetFileAttributesW(path.c_str(), attributes) != 0;
}

}  // namespace

std::shared_ptr<void> HoldWithoutSharing(const std::string& path) {
    const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::shared_ptr<void>(file, [](void* handle) { CloseHandle(handle); });
}

// Tries what the generator does last: MoveFileExW over a read-only file, which Windows refuses.
std::string WhyReadOnlyDoesNotBind() {
    const std::wstring folder = std::filesystem::temp_directory_path().wstring() +
                                L"\\tarnwick-probe-" + std::to_wstring(GetCurrentProcessId());
    if (!CreateDirectoryW(folder.c_str(), nullptr)) return "no folder for the probe";
    const std::wstring target = folder + L"\\read-only";
    const std::wstring replacement = folder + L"\\replacement";
    std::string why;
    if (MakeFile(target, FILE_ATTRIBUTE_READONLY) && MakeFile(replacement, FILE_ATTRIBUTE_NORMAL) &&
        MoveFileExW(replacement.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        why = "this system replaces read-only files (Wine run by root)";
    }
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(target.c_str());
    DeleteFileW(replacement.c_str());
    RemoveDirectoryW(folder.c_str());
    return why;
}

}  // namespace tarnwick::badinput
