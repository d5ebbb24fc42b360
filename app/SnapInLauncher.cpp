#include "app/SnapInLauncher.h"

#include <windows.h>

#include <vector>

#include "app/WideText.h"
#include "fileio/win32/SystemError.h"

namespace tarnwick::app {
namespace {

std::wstring InSystemFolder(const std::string& program) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return Widen(program);
    return std::wstring(folder, length) + L"\\" + Widen(program);
}

}  // namespace

bool StartMinimised(const std::string& systemProgram, const std::string& commandLine,
                    std::string& why) {
    const std::wstring program = InSystemFolder(systemProgram);
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
        why = fileio::win32::LastError().text;
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace tarnwick::app
