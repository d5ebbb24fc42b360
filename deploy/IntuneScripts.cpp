#include "deploy/IntuneScripts.h"

#include <vector>

namespace tarnwick::deploy {

namespace {

struct Value {
    std::string_view name;
    std::string_view effect;
};

std::vector<Value> ValuesOf(DrivePolicy policy) {
    std::vector<Value> values;
    if (SetsNoDrives(policy)) values.push_back({kNoDrivesValue, "hidden in This PC"});
    if (SetsNoViewOnDrive(policy))
        values.push_back({kNoViewOnDriveValue, "not opened in Explorer"});
    return values;
}

// The letters the mask restricts, for people: "C, D, E", "none".
std::string Restricted(std::uint32_t mask) {
    const std::string letters = MaskLetters(mask, ", ");
    return letters.empty() ? "none" : letters;
}

std::string Header(const DriveSet& drives, DrivePolicy policy, IntuneScope scope,
                   std::string_view role) {
    const std::uint32_t mask = drives.Mask();
    const std::string where =
        scope.machine ? "HKEY_LOCAL_MACHINE, for every user of the device"
        : scope.offlineProfiles
            ? "HKEY_USERS\\<SID> of every user signed in, and of every profile not signed in\n"
              "#   (its NTUSER.DAT loaded for the run and unloaded again)"
            : "HKEY_USERS\\<SID> of every user signed in";
    std::string text = "# Tarnwick drive restriction: " + std::string(role) +
                       " script of an Intune remediation.\n"
                       "#\n"
                       "# " +
                       std::string(role == "detection" ? "Checks" : "Sets") + ", in " + where +
                       ", under\n"
                       "#   " +
                       std::string(kExplorerPoliciesKey) + "\n";
    for (const Value& v : ValuesOf(policy)) {
        text += "#   " + std::string(v.name) + " = " + std::to_string(mask) +
                " (REG_DWORD): drives " + std::string(v.effect) + "\n";
    }
    text += "# Drives restricted: " + Restricted(mask) + " (" +
            (drives.AllBut() ? "all but " + drives.Letters() : drives.Letters() + " only") +
            ").\n"
            "# The policy keys are writable by administrators and SYSTEM only, so the script runs\n"
            "# as SYSTEM" +
            (scope.machine ? std::string(" (or as an elevated administrator)") : std::string()) +
            " and exits 1 in any other context.\n"
            "#\n"
            "# Upload: Intune admin center > Devices > Scripts and remediations > Create.\n"
            "#   Detection script file:   " +
            std::string(kDetectScriptName) +
            "\n"
            "#   Remediation script file: " +
            std::string(kRemediateScriptName) +
            "\n"
            "#   Run this script using the logged-on credentials: No\n"
            "#   Enforce script signature check: No (unless you sign both files)\n"
            "#   Run script in 64-bit PowerShell: Yes\n"
            "# Then assign it to the devices' group. Explorer applies the values at the user's\n"
            "# next sign-in.\n"
            "# Written by Tarnwick; the values above are the only ones the scripts touch.\n\n";
    return text;
}

// What both scripts share: the values, the context check, the hives to act on and, around the
// role's own part (which reads or sets `$target`'s key and adds to `$failed`), the loading and
// unloading of offline profiles.
std::string Script(const DriveSet& drives, DrivePolicy policy, IntuneScope scope,
                   std::string_view role, std::string_view action, std::string_view done) {
    std::string text = Header(drives, policy, scope, role);
    text += "$subKey = '" + std::string(kExplorerPoliciesKey) + "'\n$wanted = [ordered]@{\n";
    for (const Value& v : ValuesOf(policy))
        text += "    '" + std::string(v.name) + "' = " + std::to_string(drives.Mask()) + "\n";
    text += "}\n\n";
    if (scope.machine) {
        text += R"ps(# The context: SYSTEM (S-1-5-18) or an elevated administrator.
$identity = [System.Security.Principal.WindowsIdentity]::GetCurrent()
$system = $identity.User.Value -eq 'S-1-5-18'
$principal = New-Object System.Security.Principal.WindowsPrincipal($identity)
$admin = $principal.IsInRole([System.Security.Principal.WindowsBuiltInRole]::Administrator)
if (-not ($system -or $admin)) {
    Write-Output "Tarnwick: HKEY_LOCAL_MACHINE is written as SYSTEM or an elevated administrator, not as $($identity.Name)."
    exit 1
}

$view = [Microsoft.Win32.RegistryView]::Registry64
$root = [Microsoft.Win32.RegistryKey]::OpenBaseKey([Microsoft.Win32.RegistryHive]::LocalMachine, $view)
$targets = @([pscustomobject]@{ Name = 'HKEY_LOCAL_MACHINE'; Root = $root; Path = $subKey })
)ps";
    } else {
        text += R"ps(# The context: SYSTEM (S-1-5-18), which may write every user's policy keys.
$identity = [System.Security.Principal.WindowsIdentity]::GetCurrent()
$system = $identity.User.Value -eq 'S-1-5-18'
if (-not $system) {
    Write-Output "Tarnwick: run as SYSTEM (Intune: Run this script using the logged-on credentials: No), not as $($identity.Name)."
    exit 1
}

# The hive of each signed-in user (not their _Classes hives).
$view = [Microsoft.Win32.RegistryView]::Registry64
$users = [Microsoft.Win32.RegistryKey]::OpenBaseKey([Microsoft.Win32.RegistryHive]::Users, $view)
$userSid = '^S-1-5-21-[0-9-]+$'
$targets = New-Object System.Collections.Generic.List[object]
foreach ($sid in $users.GetSubKeyNames()) {
    if ($sid -match $userSid) {
        $targets.Add([pscustomobject]@{ Name = "HKEY_USERS\$sid"; Root = $users; Path = "$sid\$subKey" })
    }
}
)ps";
    }
    text += "$failed = New-Object System.Collections.Generic.List[string]\n";
    const std::string indent = scope.offlineProfiles ? "    " : "";
    if (scope.offlineProfiles) {
        text += R"ps($mounted = New-Object System.Collections.Generic.List[string]
try {
    # Each profile not signed in: its NTUSER.DAT loaded under HKEY_USERS for the run.
    $profileList = 'SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList'
    $machineRoot = [Microsoft.Win32.RegistryKey]::OpenBaseKey([Microsoft.Win32.RegistryHive]::LocalMachine, $view)
    $profiles = $machineRoot.OpenSubKey($profileList)
    $signedIn = $users.GetSubKeyNames()
    foreach ($sid in $profiles.GetSubKeyNames()) {
        if ($sid -notmatch $userSid -or $signedIn -contains $sid) { continue }
        $folder = $profiles.OpenSubKey($sid).GetValue('ProfileImagePath')
        if (-not $folder) { continue }
        $hive = Join-Path ([Environment]::ExpandEnvironmentVariables($folder)) 'NTUSER.DAT'
        if (-not (Test-Path -LiteralPath $hive)) { continue }
        $mount = "Tarnwick_$sid"
        & reg.exe load "HKU\$mount" "$hive" | Out-Null
        if ($LASTEXITCODE -ne 0) {
            $failed.Add("HKEY_USERS\$sid (not signed in): its NTUSER.DAT could not be loaded")
            continue
        }
        $mounted.Add($mount)
        $targets.Add([pscustomobject]@{ Name = "HKEY_USERS\$sid (not signed in)"; Root = $users; Path = "$mount\$subKey" })
    }
)ps";
    }
    // The role's part, indented one more level inside the offline profiles' try.
    std::string body = "foreach ($target in $targets) {\n    try {\n" + std::string(action) +
                       "    } catch {\n"
                       "        $failed.Add(\"$($target.Name): $($_.Exception.Message)\")\n"
                       "    }\n"
                       "}\n";
    for (std::size_t at = 0; !indent.empty() && at < body.size(); at = body.find('\n', at) + 1)
        body.insert(at, indent);
    text += body;
    if (scope.offlineProfiles) {
        text += R"ps(} finally {
    # A loaded hive unloads only once no handle to it is left open.
    [GC]::Collect()
    [GC]::WaitForPendingFinalizers()
    foreach ($mount in $mounted) {
        & reg.exe unload "HKU\$mount" | Out-Null
    }
}
)ps";
    }
    text += R"ps(if ($failed.Count -gt 0) {
    foreach ($line in $failed) { Write-Output $line }
    exit 1
}
if ($targets.Count -eq 0) {
    Write-Output 'Tarnwick: no user is signed in; nothing to do'
    exit 0
}
)ps";
    text += done;
    return text;
}

}  // namespace

std::string DetectScript(const DriveSet& drives, DrivePolicy policy, IntuneScope scope) {
    // Exit 0: every value is a DWORD of the wanted number in every hive; exit 1: Intune runs the
    // remediation.
    return Script(drives, policy, scope, "detection",
                  R"ps(        $key = $target.Root.OpenSubKey($target.Path)
        foreach ($name in $wanted.Keys) {
            $value = $null
            if ($key) { $value = $key.GetValue($name) }
            if ($null -eq $value) {
                $failed.Add("$($target.Name): $name is not set")
            } elseif ($key.GetValueKind($name) -ne [Microsoft.Win32.RegistryValueKind]::DWord -or $value -ne $wanted[$name]) {
                $failed.Add("$($target.Name): $name is $value, not $($wanted[$name])")
            }
        }
        if ($key) { $key.Close() }
)ps",
                  "Write-Output \"Drive restriction in place in $($targets.Count) hive(s)\"\n"
                  "exit 0\n");
}

std::string RemediateScript(const DriveSet& drives, DrivePolicy policy, IntuneScope scope) {
    // Creates the key where missing and sets each value; exit 0 when done everywhere, 1 with the
    // reasons otherwise.
    return Script(
        drives, policy, scope, "remediation",
        R"ps(            $key = $target.Root.CreateSubKey($target.Path)
            foreach ($name in $wanted.Keys) {
                $key.SetValue($name, [int]$wanted[$name], [Microsoft.Win32.RegistryValueKind]::DWord)
            }
            $key.Close()
)ps",
        "Write-Output \"Drive restriction set in $($targets.Count) hive(s); it applies at "
        "the next sign-in\"\n"
        "exit 0\n");
}

std::string ScriptFileBytes(std::string_view text) {
    std::string bytes = "\xEF\xBB\xBF";
    for (char c : text) {
        if (c == '\n') bytes += '\r';
        bytes += c;
    }
    return bytes;
}

}  // namespace tarnwick::deploy
