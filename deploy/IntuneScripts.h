// The two PowerShell scripts of an Intune remediation that sets the drive values: detection exits 0
// when the values are as chosen and 1 otherwise, and Intune then runs the remediation, which sets
// them. Intune's own setting for these policies offers only the stock drive combinations, and a
// custom ADMX cannot reach a key under Software\Microsoft. The removal pair undoes it: detection
// exits 1 while any of the values is left, and the remediation deletes them.
//
// The policy keys are writable by administrators and SYSTEM only, so the scripts run as SYSTEM
// (Intune's default: not with the logged-on credentials) and act on the hive of each signed-in
// user under HKEY_USERS (local, domain and Microsoft Entra ID accounts alike), and optionally on
// the hives of profiles not signed in (loaded for the run and unloaded again), or on
// HKEY_LOCAL_MACHINE for every user of the device. Each checks the context it runs in first and
// exits 1 with a message in the wrong one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/DriveSet.h"

namespace tarnwick::deploy {

inline constexpr std::string_view kDetectScriptName = "Detect-TarnwickDrives.ps1";
inline constexpr std::string_view kRemediateScriptName = "Remediate-TarnwickDrives.ps1";
inline constexpr std::string_view kDetectRemovedScriptName = "Detect-TarnwickDrivesRemoved.ps1";
inline constexpr std::string_view kRemoveScriptName = "Remove-TarnwickDrives.ps1";

struct IntuneScope {
    // Also the profiles that are not signed in: their NTUSER.DAT loaded under HKEY_USERS.
    bool offlineProfiles = false;
    // HKEY_LOCAL_MACHINE instead of the users' hives: one place for every user of the device; as
    // SYSTEM or an elevated administrator.
    bool machine = false;
};

// What the scripts decide by, as data: each decision is the AND of PowerShell comparisons over
// the script's own variables, and the scripts' conditions are written from these tables alone.
struct Comparison {
    std::string_view left, op, right;
};
// A user's SID: local and domain accounts (S-1-5-21-...) and Microsoft Entra ID accounts
// (S-1-12-1-...); not a service's, nor a `_Classes` hive. Kept to what .NET and ECMAScript read
// alike.
inline constexpr std::string_view kUserSidPattern = "^S-1-(5-21|12-1)(-[0-9]+)+$";
// A subkey $sid of HKEY_USERS is a hive to act on.
inline constexpr Comparison kUserHive[] = {{"$sid", "-match", "$userSid"}};
// A ProfileList entry $sid is loaded for the run: a user's, not signed in ($signedIn: the subkeys
// of HKEY_USERS).
inline constexpr Comparison kProfileToLoad[] = {{"$sid", "-match", "$userSid"},
                                                {"$signedIn", "-notcontains", "$sid"}};
// A value as found ($value, of kind $kind; $null when missing) is the one wanted ($want).
inline constexpr Comparison kValueInPlace[] = {{"$kind", "-eq", "'DWord'"},
                                               {"$value", "-eq", "$want"}};
// A value as found is gone.
inline constexpr Comparison kValueGone[] = {{"$null", "-eq", "$value"}};

// The scripts' text, LF line ends, ASCII.
std::string DetectScript(const DriveSet& drives, DrivePolicy policy, IntuneScope scope = {});
std::string RemediateScript(const DriveSet& drives, DrivePolicy policy, IntuneScope scope = {});
// The removal pair: the values of `policy` absent, and deleted where they are not.
std::string DetectRemovedScript(DrivePolicy policy, IntuneScope scope = {});
std::string RemoveScript(DrivePolicy policy, IntuneScope scope = {});

// As the files hold them: UTF-8 with a byte-order mark (Windows PowerShell 5.1 reads a file
// without one in the ANSI code page) and CR LF line ends.
std::string ScriptFileBytes(std::string_view text);

}  // namespace tarnwick::deploy
