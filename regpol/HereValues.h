// `show --here`: the drive values that apply on this computer now, from the registry.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/FoundValue.h"
#include "core/Result.h"

namespace tarnwick::regpol {

// NoDrives and NoViewOnDrive under the Explorer policies key of HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE (its 64-bit view). Refused on systems other than Windows.
Result<std::vector<FoundValue>> ReadHereValues();

// What the two values do not stop, as Microsoft describes the two policies: one line, printed once
// after every listing of drive values that sets one.
inline constexpr std::string_view kHidingLimits =
    "Not stopped (Microsoft's description of both policies): a path typed in Run, Map Network "
    "Drive or a command window still opens a drive NoDrives hides, and programs still reach the "
    "drives under either value; other file managers ignore both unless they read them. Removable "
    "storage access, device installation restrictions, BitLocker and NTFS permissions stop access.";

// A setting beside the two drive values that keeps users from drives.
struct OtherRestriction {
    std::string what;   // what it denies, with its value and number: "Removable disks: write
                        // access denied (Deny_Write=1)"
    std::string where;  // the hive and key it was found under
};

// Those set (to a number other than 0) on this computer: removable storage access under
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE (Deny_All, and Deny_Read, Deny_Write and Deny_Execute
// of each storage class, named), and under HKEY_LOCAL_MACHINE the device installation
// restrictions and BitLocker's deny-write for removable drives. None on systems other than
// Windows.
std::vector<OtherRestriction> ReadOtherRestrictions();

// The lines after --here's listing that name them, or say that none is set.
std::string OtherRestrictionLines(const std::vector<OtherRestriction>& found);

// The lines after the listing of --here: what the drives column means, and which value applies
// when a value is set in both places; nothing for a file.
std::string HereNote(const std::vector<FoundValue>& values, bool here);

}  // namespace tarnwick::regpol
