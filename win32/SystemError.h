// The system's own description of a Win32 error code. This folder sits below every other part, so
// the error is a plain value of its own; each caller turns it into the form it reports.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick::win32 {

struct SystemError {
    std::uint32_t code = 0;
    std::string text;  // UTF-8, without the line end the system puts after it
};

SystemError ErrorFromCode(std::uint32_t code);

// ErrorFromCode(GetLastError()).
SystemError LastError();

}  // namespace tarnwick::win32
