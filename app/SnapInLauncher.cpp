#include "app/SnapInLauncher.h"

#include <windows.h>

#include <vector>

#include "app/WideText.h"

namespace tarnwick::app {
namespace {

std::string DescribeError(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring description = length != 0 ? std::wstring(text, length) : std::wstring();
    LocalFree(text);
    while (!description.empty() && (description.back() == L'\r' || description.back() == L'\n')) {
        description.pop_back();
    }
    if (description.empty()) return "Error " + std::to_string(code) + ".";
    return Narrow(description);
}

}  // namespace

bool StartMinimised(const std::string& commandLine, std::string& why) {
    std::wstring wide = Widen(commandLine);
    std::vector<wchar_t> mutableLine(wide.begin(), wide.end());  // CreateProcessW may write to it
    mutableLine.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINIMIZED;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        why = DescribeError(GetLastError());
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace tarnwick::app
