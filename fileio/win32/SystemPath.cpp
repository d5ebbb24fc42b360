#include "fileio/win32/SystemPath.h"

#include <windows.h>

#include "win32/WideText.h"

namespace tarnwick::fileio::win32 {

namespace {

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// \\?\ paths are taken literally and \\.\ names devices: neither is touched.
bool IsVerbatim(const std::wstring& path) {
    return StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\\\.\\");
}

// The absolute form, with "/" turned into "\" and "." and ".." resolved; empty on failure.
std::wstring FullPath(const std::wstring& path) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return std::wstring();
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return std::wstring();
    full.resize(length);
    return full;
}

std::wstring WithLongPathPrefix(const std::wstring& full) {
    if (StartsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

}  // namespace

std::optional<std::wstring> SystemPath(const std::string& utf8) {
    std::optional<std::wstring> wide = tarnwick::win32::Utf8ToWide(utf8);
    if (!wide || wide->empty() || IsVerbatim(*wide)) return wide;
    const std::wstring full = FullPath(*wide);
    if (full.size() < MAX_PATH) return wide;
    return WithLongPathPrefix(full);
}

}  // namespace tarnwick::fileio::win32
