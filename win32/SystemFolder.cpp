#include "win32/SystemFolder.h"

namespace tarnwick::win32 {

FolderPath ReadFolder(FolderReader read) {
    std::wstring folder(MAX_PATH, L'\0');
    // A folder can only grow between two reads by being changed meanwhile; a few tries suffice.
    for (int attempt = 0; attempt < 4; ++attempt) {
        SetLastError(ERROR_SUCCESS);
        const UINT length = read(folder.data(), static_cast<UINT>(folder.size()));
        if (length == 0) {
            const DWORD code = GetLastError();
            return code == ERROR_SUCCESS ? SystemError{0, "it is empty."} : ErrorFromCode(code);
        }
        if (length < folder.size()) {
            folder.resize(length);
            return folder;
        }
        folder.assign(length, L'\0');  // the size it needs, terminating null included
    }
    return SystemError{0, "its path keeps changing."};
}

const FolderPath& SystemFolder() {
    static const FolderPath read = ReadFolder(GetSystemDirectoryW);
    return read;
}

FolderPath WindowsFolder() {
    return ReadFolder(GetWindowsDirectoryW);
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Windows 7 without update KB2533623 knows no search flags and refuses them; the full path
    // into the system folder keeps the same promise there.
    if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
    const FolderPath& read = SystemFolder();
    if (const auto* folder = std::get_if<std::wstring>(&read)) {
        return LoadLibraryW((*folder + L"\\" + name).c_str());
    }
    const auto* error = std::get_if<SystemError>(&read);
    SetLastError(error != nullptr && error->code != 0 ? error->code : ERROR_PATH_NOT_FOUND);
    return nullptr;
}

void LoadSystemDllsOnly() {
    // Looked up: the import would keep the program from starting where the call is missing.
    using Policy = BOOL(WINAPI*)(DWORD);
    const auto setDefault = reinterpret_cast<Policy>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
}

}  // namespace tarnwick::win32
