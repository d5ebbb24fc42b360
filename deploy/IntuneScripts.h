// The two PowerShell scripts of an Intune remediation that sets the drive values for the
// signed-in user: detection exits 0 when the values are as chosen and 1 otherwise, and Intune then
// runs the remediation, which sets them. Intune's own setting for these policies offers only the
// stock drive combinations, and a custom ADMX cannot reach a key under Software\Microsoft.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/DriveSet.h"

namespace tarnwick::deploy {

inline constexpr std::string_view kDetectScriptName = "Detect-TarnwickDrives.ps1";
inline constexpr std::string_view kRemediateScriptName = "Remediate-TarnwickDrives.ps1";

// The scripts' text, LF line ends, ASCII.
std::string DetectScript(const DriveSet& drives, DrivePolicy policy);
std::string RemediateScript(const DriveSet& drives, DrivePolicy policy);

// As the files hold them: UTF-8 with a byte-order mark (Windows PowerShell 5.1 reads a file
// without one in the ANSI code page) and CR LF line ends.
std::string ScriptFileBytes(std::string_view text);

}  // namespace tarnwick::deploy
