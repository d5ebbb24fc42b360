#include "regfile/RegFile.h"

#include "core/Text.h"

namespace tarnwick::regfile {

namespace {
std::string DwordLine(std::string_view valueName, std::uint32_t mask) {
    std::string line = "\"";
    line.append(valueName).append("\"=dword:").append(HexText(mask, 8, false)).append("\r\n");
    return line;
}
}  // namespace

std::string RegText(std::uint32_t mask, DrivePolicy policy) {
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" +
                       std::string(kExplorerPoliciesKey) + "]\r\n";
    if (SetsNoDrives(policy)) text += DwordLine(kNoDrivesValue, mask);
    if (SetsNoViewOnDrive(policy)) text += DwordLine(kNoViewOnDriveValue, mask);
    return text + "\r\n";
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
