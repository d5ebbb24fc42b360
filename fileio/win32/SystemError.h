// The Win32 helpers' error as the file layer reports it.
#pragma once

#include <cstdint>

#include "fileio/Platform.h"

namespace tarnwick::fileio::win32 {

SysError ErrorFromCode(std::uint32_t code);

// ErrorFromCode(GetLastError()).
SysError LastError();

}  // namespace tarnwick::fileio::win32
