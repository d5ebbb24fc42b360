#include "app/SnapInLauncher.h"

#include <optional>
#include <vector>

#include "app/WideText.h"

namespace tarnwick::app {

Status StartMinimised(const std::string& systemProgram, const std::string& commandLine,
                      win32::FolderReader readSystemFolder) {
    win32::SystemError error;
    const std::optional<std::wstring> folder =
        readSystemFolder ? win32::ReadFolder(readSystemFolder, error) : win32::SystemFolder(error);
    if (!folder) return Failure{"The system folder cannot be read: " + error.text, error.code};
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
        error = win32::LastError();
        return Failure{error.text, error.code};
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return {};
}

std::string SystemWindowsFolder() {
    win32::SystemError ignored;  // the command line then names the snap-in from the root
    return Narrow(win32::WindowsFolder(ignored).value_or(std::wstring()));
}

}  // namespace tarnwick::app
