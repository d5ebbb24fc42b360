#include "app/SnapInLauncher.h"

#include <vector>

#include "app/WideText.h"
#include "win32/SystemError.h"

namespace tarnwick::app {

std::optional<std::wstring> SystemFolder(FolderReader read, std::string& why) {
    std::wstring folder(MAX_PATH, L'\0');
    // A folder can only grow between two reads by being changed meanwhile; a few tries suffice.
    for (int attempt = 0; attempt < 4; ++attempt) {
        SetLastError(ERROR_SUCCESS);
        const UINT length = read(folder.data(), static_cast<UINT>(folder.size()));
        if (length == 0) {
            const DWORD code = GetLastError();
            why = "The system folder cannot be read: " + (code == ERROR_SUCCESS
                                                              ? std::string("it is empty.")
                                                              : win32::ErrorFromCode(code).text);
            return std::nullopt;
        }
        if (length < folder.size()) {
            folder.resize(length);
            return folder;
        }
        folder.assign(length, L'\0');  // the size it needs, terminating null included
    }
    why = "The system folder cannot be read: its path keeps changing.";
    return std::nullopt;
}

bool StartMinimised(const std::string& systemProgram, const std::string& commandLine,
                    std::string& why, FolderReader readSystemFolder) {
    const std::optional<std::wstring> folder = SystemFolder(readSystemFolder, why);
    if (!folder) return false;
    const std::wstring program = *folder + L"\\" + Widen(systemProgram);
    std::wstring wide = Widen(commandLine);
    std::vector<wchar_t> mutableLine(wide.begin(), wide.end());  // CreateProcessW may write to it
    mutableLine.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINIMIZED;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        why = win32::LastError().text;
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace tarnwick::app
