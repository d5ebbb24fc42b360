// How much of a file the readers take. Policy files are small (a stock ADMX pair is well under
// 1 MB), so anything far bigger is refused before it is read rather than held in memory.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

// Every reader of a file an administrator hands in (templates for show, the ADMX pair, .reg,
// Registry.pol and the other read-back forms) refuses a larger one before reading it.
inline constexpr std::uint64_t kMaxInputBytes = std::uint64_t{64} << 20;

// A size as messages give it: "1000 bytes" below 1 MiB, else "1.5 MiB".
std::string SizeText(std::uint64_t bytes);
// "larger than 64 MiB": the words of every refusal of a file above the limit.
std::string LargerThanLimit(std::uint64_t limit = kMaxInputBytes);
// "64 MiB": the limit itself, in whole MiB when it is such.
std::string LimitText(std::uint64_t limit = kMaxInputBytes);

}  // namespace tarnwick
