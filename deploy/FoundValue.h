// One drive value found in a deployed form (a .reg file, the Samba JSON, a Registry.pol, the
// registry): what `show` lists for it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick::deploy {

struct FoundValue {
    std::string valueName;              // NoDrives or NoViewOnDrive
    std::optional<std::uint32_t> mask;  // when the value is set to a number
    std::string state;                  // "set", "deleted", or why it is no mask ("REG_SZ")
    std::string where;                  // the hive or class, and the place in the file
};

}  // namespace tarnwick::deploy
