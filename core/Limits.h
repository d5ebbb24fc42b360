// How much of a file the readers take. Policy files are small (a stock ADMX pair is well under
// 1 MB), so anything far bigger is refused before it is read rather than held in memory.
#pragma once

#include <cstdint>

namespace tarnwick {

// Every reader of a file an administrator hands in (templates for show, the ADMX pair, .reg,
// Registry.pol and the other read-back forms) refuses a larger one before reading it.
inline constexpr std::uint64_t kMaxInputBytes = std::uint64_t{64} << 20;  // 64 MiB

}  // namespace tarnwick
