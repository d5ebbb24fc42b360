#include "deploy/SambaJsonWriter.h"

#include <string_view>

namespace tarnwick::deploy {

namespace {

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

// One entry per chosen value: the key, the name, class USER and `rest` (more members, or none).
std::string Entries(DrivePolicy policy, const std::string& rest) {
    std::string out = "[";
    const char* separator = "\n";
    for (std::string_view name : {kNoDrivesValue, kNoViewOnDriveValue}) {
        if (name == kNoDrivesValue ? !SetsNoDrives(policy) : !SetsNoViewOnDrive(policy)) continue;
        out += separator;
        out += "  {\n    \"keyname\": " + JsonString(kExplorerPoliciesKey) +
               ",\n    \"valuename\": " + JsonString(name) + ",\n    \"class\": \"USER\"" + rest +
               "\n  }";
        separator = ",\n";
    }
    return out + "\n]\n";
}

}  // namespace

std::string SambaJson(std::uint32_t mask, DrivePolicy policy) {
    return Entries(policy,
                   ",\n    \"type\": \"REG_DWORD\",\n    \"data\": " + std::to_string(mask));
}

std::string SambaRemoveJson(DrivePolicy policy) {
    return Entries(policy, "");
}

}  // namespace tarnwick::deploy
