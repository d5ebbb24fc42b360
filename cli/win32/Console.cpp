#include "cli/Console.h"

#include <windows.h>

#include <optional>
#include <utility>

#include "win32/Environment.h"
#include "win32/SystemError.h"
#include "win32/WideText.h"

namespace tarnwick::cli {

namespace {

using win32::Narrow;
using win32::Widen;

// The cause GetLastError() gives for the failed write, read before anything else can set it.
Failure WriteFailed() {
    const DWORD code = GetLastError();
    if (code == ERROR_SUCCESS) return Failure{};
    win32::SystemError error = win32::ErrorFromCode(code);
    return Failure{std::move(error.text), error.code};
}

// A console takes wide text (its code page may not be UTF-8); a redirected handle gets the UTF-8
// bytes unchanged, which is what a script reading the output expects. A process started without
// the handle has nowhere to write; only text that was to be written and was not is a failure.
Status WriteTo(DWORD which, const std::string& utf8) {
    if (utf8.empty()) return {};
    HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return Failure{};
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = Widen(utf8);
        DWORD written = 0;
        SetLastError(ERROR_SUCCESS);
        if (!WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written,
                           nullptr) ||
            written != wide.size()) {
            return WriteFailed();
        }
        return {};
    }
    // A pipe may take less than asked in one call.
    for (std::size_t done = 0; done < utf8.size();) {
        DWORD written = 0;
        SetLastError(ERROR_SUCCESS);
        if (!WriteFile(handle, utf8.data() + done, static_cast<DWORD>(utf8.size() - done), &written,
                       nullptr) ||
            written == 0) {
            return WriteFailed();
        }
        done += written;
    }
    // WriteFile buffers nothing of its own (a full disk fails the write itself).
    return {};
}

}  // namespace

Status WriteOut(const std::string& utf8) {
    return WriteTo(STD_OUTPUT_HANDLE, utf8);
}
Status WriteErr(const std::string& utf8) {
    return WriteTo(STD_ERROR_HANDLE, utf8);
}

std::string EnvironmentVariable(const std::string& name) {
    return win32::EnvironmentVariable(name);
}

std::optional<std::vector<std::string>> Utf8Arguments(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string arg = Narrow(argv[i]);
        // An unpaired surrogate has no UTF-8 form; it would come back as U+FFFD, naming another
        // file than the one typed.
        if (Widen(arg) != argv[i]) return std::nullopt;
        args.push_back(std::move(arg));
    }
    return args;
}

}  // namespace tarnwick::cli
