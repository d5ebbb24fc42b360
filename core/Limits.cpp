#include "core/Limits.h"

#include <cstdio>

namespace tarnwick {

std::string SizeText(std::uint64_t bytes) {
    if (bytes < (std::uint64_t{1} << 20)) return std::to_string(bytes) + " bytes";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
    return text;
}

std::string LimitText(std::uint64_t limit) {
    const bool mebibytes = limit % (1 << 20) == 0 && limit > 0;
    return mebibytes ? std::to_string(limit >> 20) + " MiB" : SizeText(limit);
}

std::string LargerThanLimit(std::uint64_t limit) {
    return "larger than " + LimitText(limit);
}

}  // namespace tarnwick
