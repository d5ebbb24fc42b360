#include "core/DriveItem.h"

namespace tarnwick {

std::optional<std::string> StringIdOf(std::string_view reference) {
    constexpr std::string_view kOpen = "$(string.";
    if (reference.size() <= kOpen.size() + 1 || !reference.starts_with(kOpen) ||
        !reference.ends_with(')')) {
        return std::nullopt;
    }
    return std::string(reference.substr(kOpen.size(), reference.size() - kOpen.size() - 1));
}

}  // namespace tarnwick
