// The system's own description of a Win32 error code.
#pragma once

#include <cstdint>

#include "fileio/Platform.h"

namespace tarnwick::fileio::win32 {

SysError ErrorFromCode(std::uint32_t code);

// ErrorFromCode(GetLastError()).
SysError LastError();

}  // namespace tarnwick::fileio::win32
