#include "app/SnapInLauncher.h"

#include <utility>
#include <variant>
#include <vector>

#include "app/WideText.h"

namespace tarnwick::app {

Status StartMinimised(const std::string& systemProgram, const std::string& commandLine,
                      win32::FolderReader readSystemFolder) {
    const win32::FolderPath read =
        readSystemFolder ? win32::ReadFolder(readSystemFolder) : win32::SystemFolder();
    const auto* folder = std::get_if<std::wstring>(&read);
    if (folder == nullptr) {
        const auto* error = std::get_if<win32::SystemError>(&read);
        return Failure{"The system folder cannot be read: " + (error ? error->text : ""),
                       error ? error->code : 0};
    }
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
        win32::SystemError error = win32::LastError();
        return Failure{std::move(error.text), error.code};
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return {};
}

std::string SystemWindowsFolder() {
    // Unreadable, the command line names the snap-in from the root.
    const win32::FolderPath read = win32::WindowsFolder();
    const auto* folder = std::get_if<std::wstring>(&read);
    return folder != nullptr ? Narrow(*folder) : std::string();
}

}  // namespace tarnwick::app
