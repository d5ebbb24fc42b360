#include "regfile/RegFile.h"

#include <cstdio>

namespace tarnwick::regfile {

namespace {
std::string DwordLine(const char* valueName, std::uint32_t mask) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(mask));
    return std::string("\"") + valueName + "\"=dword:" + hex + "\r\n";
}
}  // namespace

std::string RegText(std::uint32_t mask, bool hide, bool prevent) {
    std::string text =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer]\r\n";
    if (hide) text += DwordLine("NoDrives", mask);
    if (prevent) text += DwordLine("NoViewOnDrive", mask);
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
