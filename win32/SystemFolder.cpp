#include "win32/SystemFolder.h"

namespace tarnwick::win32 {

std::optional<std::wstring> ReadFolder(FolderReader read, SystemError& error) {
    std::wstring folder(MAX_PATH, L'\0');
    // A folder can only grow between two reads by being changed meanwhile; a few tries suffice.
    for (int attempt = 0; attempt < 4; ++attempt) {
        SetLastError(ERROR_SUCCESS);
        const UINT length = read(folder.data(), static_cast<UINT>(folder.size()));
        if (length == 0) {
            const DWORD code = GetLastError();
            error = code == ERROR_SUCCESS ? SystemError{0, "it is empty."} : ErrorFromCode(code);
            return std::nullopt;
        }
        if (length < folder.size()) {
            folder.resize(length);
            return folder;
        }
        folder.assign(length, L'\0');  // the size it needs, terminating null included
    }
    error = SystemError{0, "its path keeps changing."};
    return std::nullopt;
}

std::optional<std::wstring> SystemFolder(SystemError& error) {
    struct Read {
        std::optional<std::wstring> folder;
        SystemError error;
    };
    static const Read read = [] {
        Read first;
        first.folder = ReadFolder(GetSystemDirectoryW, first.error);
        return first;
    }();
    if (!read.folder) error = read.error;
    return read.folder;
}

std::optional<std::wstring> WindowsFolder(SystemError& error) {
    return ReadFolder(GetWindowsDirectoryW, error);
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Windows 7 without update KB2533623 knows no search flags and refuses them; the full path
    // into the system folder keeps the same promise there.
    if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
    SystemError error;
    const std::optional<std::wstring> folder = SystemFolder(error);
    if (!folder) {
        SetLastError(error.code != 0 ? error.code : ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    return LoadLibraryW((*folder + L"\\" + name).c_str());
}

void LoadSystemDllsOnly() {
    // Looked up: the import would keep the program from starting where the call is missing.
    using Policy = BOOL(WINAPI*)(DWORD);
    const auto setDefault = reinterpret_cast<Policy>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
}

}  // namespace tarnwick::win32
