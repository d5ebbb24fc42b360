// The Win32 helpers' error as the file layer reports it.
#pragma once

#include <cstdint>

#include "core/Result.h"

namespace tarnwick::fileio::win32 {

// The system's description of `code` as the message, and the code.
Failure ErrorFromCode(std::uint32_t code);

// ErrorFromCode(GetLastError()).
Failure LastError();

}  // namespace tarnwick::fileio::win32
