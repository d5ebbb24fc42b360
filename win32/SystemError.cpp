#include "win32/SystemError.h"

#include <windows.h>

#include <string>

#include "win32/WideText.h"

namespace tarnwick::win32 {

SystemError ErrorFromCode(std::uint32_t code) {
    wchar_t buffer[512];
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
    std::wstring text(buffer, length);
    // System messages end in CR LF (some in a blank first); the caller puts them in a sentence.
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    if (text.empty()) return SystemError{code, "system error " + std::to_string(code)};
    return SystemError{code, WideToUtf8(text)};
}

SystemError LastError() {
    return ErrorFromCode(GetLastError());
}

}  // namespace tarnwick::win32
