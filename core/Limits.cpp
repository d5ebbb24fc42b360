#include "core/Limits.h"

#include "core/Text.h"

namespace tarnwick {

std::string SizeText(std::uint64_t bytes) {
    if (bytes < (std::uint64_t{1} << 20)) return std::to_string(bytes) + " bytes";
    // Tenths of a MiB, rounded as printf's "%.1f" rounds: to the nearest, a half to even.
    constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
    std::uint64_t tenths = bytes / kMiB * 10;
    const std::uint64_t rest = bytes % kMiB * 10;
    tenths += rest / kMiB;
    const std::uint64_t left = rest % kMiB;
    if (left > kMiB / 2 || (left == kMiB / 2 && tenths % 2 == 1)) ++tenths;
    return DecimalText(tenths / 10) + "." + DecimalText(tenths % 10) + " MiB";
}

std::string LimitText(std::uint64_t limit) {
    const bool mebibytes = limit % (1 << 20) == 0 && limit > 0;
    return mebibytes ? std::to_string(limit >> 20) + " MiB" : SizeText(limit);
}

std::string LargerThanLimit(std::uint64_t limit) {
    return "larger than " + LimitText(limit);
}

}  // namespace tarnwick
