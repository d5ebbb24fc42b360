// The two PowerShell scripts of an Intune remediation that sets the drive values: detection exits 0
// when the values are as chosen and 1 otherwise, and Intune then runs the remediation, which sets
// them. Intune's own setting for these policies offers only the stock drive combinations, and a
// custom ADMX cannot reach a key under Software\Microsoft.
//
// The policy keys are writable by administrators and SYSTEM only, so the scripts run as SYSTEM
// (Intune's default: not with the logged-on credentials) and act on the hive of each signed-in
// user under HKEY_USERS, and optionally on the hives of profiles not signed in (loaded for the
// run and unloaded again), or on HKEY_LOCAL_MACHINE for every user of the device. Each checks the
// context it runs in first and exits 1 with a message in the wrong one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/DriveSet.h"

namespace tarnwick::deploy {

inline constexpr std::string_view kDetectScriptName = "Detect-TarnwickDrives.ps1";
inline constexpr std::string_view kRemediateScriptName = "Remediate-TarnwickDrives.ps1";

struct IntuneScope {
    // Also the profiles that are not signed in: their NTUSER.DAT loaded under HKEY_USERS.
    bool offlineProfiles = false;
    // HKEY_LOCAL_MACHINE instead of the users' hives: one place for every user of the device; as
    // SYSTEM or an elevated administrator.
    bool machine = false;
};

// The scripts' text, LF line ends, ASCII.
std::string DetectScript(const DriveSet& drives, DrivePolicy policy, IntuneScope scope = {});
std::string RemediateScript(const DriveSet& drives, DrivePolicy policy, IntuneScope scope = {});

// As the files hold them: UTF-8 with a byte-order mark (Windows PowerShell 5.1 reads a file
// without one in the ANSI code page) and CR LF line ends.
std::string ScriptFileBytes(std::string_view text);

}  // namespace tarnwick::deploy
