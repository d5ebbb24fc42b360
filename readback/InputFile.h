// The one way show reads a file it is handed: whole, into one buffer, and only when it is no
// larger than the readers take (core/Limits.h), which is checked before a byte is read.
#pragma once

#include <cstdint>
#include <string>

#include "core/Limits.h"
#include "core/Result.h"

namespace tarnwick::readback {

// The bytes of the regular file at `path`. Refused with a complete sentence naming the path:
// nothing there, a folder, a device, more than `limit` bytes, or a failed open or read.
Result<std::string> ReadInputFile(const std::string& path, std::uint64_t limit = kMaxInputBytes);

// "it is 256.0 MiB, more than the 64 MiB that Tarnwick reads": why a file of `size` bytes is
// refused.
std::string TooLargeText(std::uint64_t size, std::uint64_t limit);

}  // namespace tarnwick::readback
