// One drive value found in a deployed form (a .reg file, the Samba JSON, a Registry.pol, the
// registry): what `show` lists for it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

struct FoundValue {
    std::string valueName;              // NoDrives or NoViewOnDrive
    std::optional<std::uint32_t> mask;  // when the value is set to a number
    std::string state;                  // "set", "deleted", or why it is no mask ("REG_SZ")
    std::string where;                  // the hive or class, and the place in the file
    std::string note;                   // what `show` says of it beside the table, if anything
};

// A NoDrives of four bytes typed REG_BINARY, as older tools wrote it: Explorer takes its bytes for
// the number (little-endian), so it is listed with that mask and this note.
inline constexpr std::string_view kBinaryNote =
    "is a 4-byte REG_BINARY, as older tools wrote it; Explorer reads its bytes as the number "
    "listed";

// The little-endian number of four bytes.
inline std::uint32_t Le32Of(std::string_view four) {
    std::uint32_t v = 0;
    for (std::size_t i = 4; i-- > 0;)
        v = v << 8 | static_cast<unsigned char>(four[i]);
    return v;
}

}  // namespace tarnwick
