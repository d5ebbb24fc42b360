#include "regpol/HereValues.h"

#ifdef _WIN32
#include <windows.h>

#include "win32/SystemError.h"
#include "win32/WideText.h"
#endif

#include "core/DriveSet.h"

namespace tarnwick::regpol {

namespace {

constexpr const char* kUser = "HKEY_CURRENT_USER";
constexpr const char* kMachine = "HKEY_LOCAL_MACHINE";

#ifdef _WIN32
std::string TypeName(DWORD type) {
    switch (type) {
        case REG_SZ:
            return "REG_SZ, not a dword";
        case REG_EXPAND_SZ:
            return "REG_EXPAND_SZ, not a dword";
        case REG_BINARY:
            return "REG_BINARY, not a dword";
        case REG_MULTI_SZ:
            return "REG_MULTI_SZ, not a dword";
        case REG_QWORD:
            return "REG_QWORD, not a dword";
        default:
            return "type " + std::to_string(type) + ", not a dword";
    }
}

// Both values of one hive; a missing key or value is simply not listed.
Status ReadHive(HKEY hive, const char* hiveName, std::vector<FoundValue>& found) {
    const std::wstring key = win32::Widen(std::string(kExplorerPoliciesKey));
    HKEY opened = nullptr;
    // The 64-bit view: a 32-bit program would otherwise read HKLM's Wow6432Node copy.
    LONG status = RegOpenKeyExW(hive, key.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &opened);
    if (status == ERROR_FILE_NOT_FOUND) return {};
    if (status != ERROR_SUCCESS) {
        return Failure{
            std::string(hiveName) + "\\" + std::string(kExplorerPoliciesKey) +
                " cannot be read: " + win32::ErrorFromCode(static_cast<std::uint32_t>(status)).text,
            static_cast<std::uint32_t>(status)};
    }
    for (std::string_view name : {kNoDrivesValue, kNoViewOnDriveValue}) {
        const std::wstring wideName = win32::Widen(std::string(name));
        DWORD type = 0;
        DWORD data = 0;
        DWORD size = sizeof data;
        status = RegGetValueW(opened, nullptr, wideName.c_str(), RRF_RT_ANY, &type, &data, &size);
        if (status == ERROR_FILE_NOT_FOUND) continue;
        FoundValue value{std::string(name), std::nullopt, "", hiveName, ""};
        if (status == ERROR_SUCCESS && type == REG_BINARY && size == sizeof data) {
            value.state = "set";
            value.mask = static_cast<std::uint32_t>(data);
            value.note = std::string(kBinaryNote);
        } else if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && type != REG_DWORD)) {
            value.state = TypeName(type);
        } else if (status != ERROR_SUCCESS) {
            value.state =
                "unreadable: " + win32::ErrorFromCode(static_cast<std::uint32_t>(status)).text;
        } else {
            value.state = "set";
            value.mask = static_cast<std::uint32_t>(data);
        }
        found.push_back(std::move(value));
    }
    RegCloseKey(opened);
    return {};
}
#endif

}  // namespace

Result<std::vector<FoundValue>> ReadHereValues() {
#ifdef _WIN32
    std::vector<FoundValue> found;
    if (Status s = ReadHive(HKEY_CURRENT_USER, kUser, found); !s) return s.failure();
    if (Status s = ReadHive(HKEY_LOCAL_MACHINE, kMachine, found); !s) return s.failure();
    return found;
#else
    return Failure{
        "show --here reads the registry of this Windows computer; it runs on Windows only. On "
        "Linux, show reads the files: a Registry.pol, a policy object's folder, a .reg file or "
        "the Samba JSON."};
#endif
}

std::string HereNote(const std::vector<FoundValue>& values, bool here) {
    if (!here) return {};
    if (values.empty()) {
        return "No drive is restricted: neither NoDrives nor NoViewOnDrive is set under " +
               std::string(kUser) + " or " + kMachine + ".\n";
    }
    std::string note =
        "Drives: the letters NoDrives hides in This PC, or NoViewOnDrive blocks access to.\n";
    for (std::string_view name : {kNoDrivesValue, kNoViewOnDriveValue}) {
        bool user = false, machine = false;
        for (const auto& v : values) {
            if (v.valueName != name) continue;
            (v.where == kUser ? user : machine) = true;
        }
        if (user && machine) {
            note += "Note: " + std::string(name) + " is set under both " + kUser + " and " +
                    kMachine +
                    ". Microsoft documents the value in both places but not which one Explorer "
                    "takes when both are set; remove the one you do not mean.\n";
        }
    }
    return note;
}

}  // namespace tarnwick::regpol
