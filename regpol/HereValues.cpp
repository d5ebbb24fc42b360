#include "regpol/HereValues.h"

#ifdef _WIN32
#include <windows.h>

#include "win32/SystemError.h"
#include "win32/WideText.h"
#endif

#include <optional>
#include <utility>

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

// One setting to look for: its key (below the hive), its value, what it denies, and whether it
// counts under HKEY_CURRENT_USER too (the storage classes have a user and a computer policy each;
// device installation and BitLocker are the computer's alone).
struct Setting {
    std::string key;
    std::string value;
    std::string what;
    bool user;
};

std::vector<Setting> Settings() {
    const std::string storage = "Software\\Policies\\Microsoft\\Windows\\RemovableStorageDevices";
    const std::string install =
        "Software\\Policies\\Microsoft\\Windows\\DeviceInstall\\Restrictions";
    std::vector<Setting> settings{
        {storage, "Deny_All", "All removable storage classes: all access denied", true}};
    // The storage classes of the Removable Storage Access policies, as Windows' own template
    // names them; WPD devices have two.
    const std::pair<const char*, const char*> classes[] = {
        {"Removable disks", "{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}"},
        {"CD and DVD", "{53f56308-b6bf-11d0-94f2-00a0c91efb8b}"},
        {"Floppy drives", "{53f56311-b6bf-11d0-94f2-00a0c91efb8b}"},
        {"Tape drives", "{53f5630b-b6bf-11d0-94f2-00a0c91efb8b}"},
        {"WPD devices", "{6AC27878-A6FA-4155-BA85-F98F491D4F33}"},
        {"WPD devices", "{F33FDC04-D1AC-4E8E-9A30-19BBD4B108AE}"},
    };
    for (const auto& [name, guid] : classes) {
        for (const auto& [value, access] : {std::pair{"Deny_Read", "read"},
                                            {"Deny_Write", "write"},
                                            {"Deny_Execute", "execute"}}) {
            settings.push_back({storage + "\\" + guid, value,
                                std::string(name) + ": " + access + " access denied", true});
        }
    }
    settings.push_back(
        {storage + "\\Custom\\Deny_Read", "Deny_Read", "Custom classes: read access denied", true});
    settings.push_back({storage + "\\Custom\\Deny_Write", "Deny_Write",
                        "Custom classes: write access denied", true});
    settings.push_back(
        {install, "DenyRemovableDevices", "Device installation: removable devices denied", false});
    settings.push_back(
        {install, "DenyDeviceIDs", "Device installation: the listed device IDs denied", false});
    settings.push_back({install, "DenyDeviceClasses",
                        "Device installation: the listed device setup classes denied", false});
    settings.push_back({install, "DenyInstanceIDs",
                        "Device installation: the listed device instances denied", false});
    settings.push_back({install, "DenyUnspecified",
                        "Device installation: devices no other setting describes denied", false});
    settings.push_back({"System\\CurrentControlSet\\Policies\\Microsoft\\FVE", "RDVDenyWriteAccess",
                        "BitLocker: write access denied to removable drives it does not protect",
                        false});
    return settings;
}

// A REG_DWORD in the 64-bit view; none when the key or value is missing, unreadable or no DWORD.
std::optional<DWORD> ReadDword(HKEY hive, const std::string& key, const std::string& value) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(hive, win32::Widen(key).c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                      &opened) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD data = 0;
    DWORD size = sizeof data;
    const LONG status = RegGetValueW(opened, nullptr, win32::Widen(value).c_str(), RRF_RT_REG_DWORD,
                                     nullptr, &data, &size);
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return data;
}
#endif

}  // namespace

std::vector<OtherRestriction> ReadOtherRestrictions() {
    std::vector<OtherRestriction> found;
#ifdef _WIN32
    for (const auto& [hive, hiveName] :
         {std::pair{HKEY_CURRENT_USER, kUser}, std::pair{HKEY_LOCAL_MACHINE, kMachine}}) {
        for (const Setting& s : Settings()) {
            if (hive == HKEY_CURRENT_USER && !s.user) continue;
            const auto data = ReadDword(hive, s.key, s.value);
            if (!data || *data == 0) continue;
            found.push_back({s.what + " (" + s.value + "=" + std::to_string(*data) + ")",
                             std::string(hiveName) + "\\" + s.key});
        }
    }
#endif
    return found;
}

std::string OtherRestrictionLines(const std::vector<OtherRestriction>& found) {
    if (found.empty()) {
        return "Other restrictions: none set (removable storage access, device installation "
               "restrictions, BitLocker's deny-write for removable drives).\n";
    }
    std::string lines = "Other restrictions in force:\n";
    for (const OtherRestriction& r : found)
        lines += "  " + r.what + ", in " + r.where + "\n";
    return lines;
}

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
