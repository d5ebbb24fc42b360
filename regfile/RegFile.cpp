#include "regfile/RegFile.h"

#include "core/Text.h"

namespace tarnwick::regfile {

namespace {

// The file with one line per chosen value, each "NAME"= and `data`.
std::string RegLines(DrivePolicy policy, const std::string& data) {
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" +
                       std::string(kExplorerPoliciesKey) + "]\r\n";
    for (std::string_view name : {kNoDrivesValue, kNoViewOnDriveValue}) {
        if (name == kNoDrivesValue ? SetsNoDrives(policy) : SetsNoViewOnDrive(policy))
            text.append("\"").append(name).append("\"=").append(data).append("\r\n");
    }
    return text + "\r\n";
}

}  // namespace

std::string RegText(std::uint32_t mask, DrivePolicy policy) {
    return RegLines(policy, "dword:" + HexText(mask, 8, false));
}

std::string RegDeleteText(DrivePolicy policy) {
    return RegLines(policy, "-");
}

std::string RegFileBytes(const std::string& text) {
    std::string bytes = "\xFF\xFE";
    for (char c : text) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

}  // namespace tarnwick::regfile
