// The system's own description of a Win32 error code.
#pragma once

#include <cstdint>

#include "fileio/Platform.h"

namespace tarnwick::win32 {

fileio::SysError ErrorFromCode(std::uint32_t code);

// ErrorFromCode(GetLastError()).
fileio::SysError LastError();

}  // namespace tarnwick::win32
