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

}  // namespace

std::string SambaJson(std::uint32_t mask, DrivePolicy policy) {
    std::string out = "[";
    const char* separator = "\n";
    for (std::string_view name : {kNoDrivesValue, kNoViewOnDriveValue}) {
        if (name == kNoDrivesValue ? !SetsNoDrives(policy) : !SetsNoViewOnDrive(policy)) continue;
        out += separator;
        out += "  {\n    \"keyname\": " + JsonString(kExplorerPoliciesKey) +
               ",\n    \"valuename\": " + JsonString(name) +
               ",\n    \"class\": \"USER\",\n    \"type\": \"REG_DWORD\",\n    \"data\": " +
               std::to_string(mask) + "\n  }";
        separator = ",\n";
    }
    return out + "\n]\n";
}

}  // namespace tarnwick::deploy
