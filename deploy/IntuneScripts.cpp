#include "deploy/IntuneScripts.h"

#include <span>
#include <vector>

namespace tarnwick::deploy {

namespace {

enum class Role { Detect, Remediate, DetectRemoved, Remove };

bool Removes(Role role) {
    return role == Role::DetectRemoved || role == Role::Remove;
}

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

// The comparisons as one PowerShell condition: "($a -eq $b) -and (...)".
std::string Condition(std::span<const Comparison> all) {
    std::string text;
    for (const Comparison& c : all) {
        const std::string one =
            std::string(c.left) + " " + std::string(c.op) + " " + std::string(c.right);
        text += all.size() == 1 ? one : (text.empty() ? "(" : " -and (") + one + ")";
    }
    return text;
}

std::string Header(const DriveSet& drives, DrivePolicy policy, IntuneScope scope, Role role) {
    const std::uint32_t mask = drives.Mask();
    const std::string where =
        scope.machine ? "HKEY_LOCAL_MACHINE (for every user of the device),"
        : scope.offlineProfiles
            ? "HKEY_USERS\\<SID> of every user signed in, and of every profile not signed in\n"
              "#   (its NTUSER.DAT loaded for the run and unloaded again); local, domain and\n"
              "#   Microsoft Entra ID accounts alike,"
            : "HKEY_USERS\\<SID> of every user signed in (local, domain and Microsoft Entra\n"
              "#   ID accounts alike),";
    const bool detects = role == Role::Detect || role == Role::DetectRemoved;
    const std::string_view verb = role == Role::Detect      ? "Checks"
                                  : role == Role::Remediate ? "Sets"
                                  : role == Role::DetectRemoved
                                      ? "Checks that these values are gone"
                                      : "Deletes";
    const std::string_view detectName =
        Removes(role) ? kDetectRemovedScriptName : kDetectScriptName;
    const std::string_view remediateName = Removes(role) ? kRemoveScriptName : kRemediateScriptName;
    std::string text = std::string("# Tarnwick drive restriction") +
                       (Removes(role) ? ", removed" : "") + ": " +
                       (detects ? "detection" : "remediation") +
                       " script of an Intune remediation.\n#\n# " + std::string(verb) + ", in " +
                       where + " under\n#   " + std::string(kExplorerPoliciesKey) + "\n";
    for (const Value& v : ValuesOf(policy)) {
        text += "#   " + std::string(v.name) +
                (Removes(role) ? " (drives " + std::string(v.effect) + ")\n"
                               : " = " + std::to_string(mask) + " (REG_DWORD): drives " +
                                     std::string(v.effect) + "\n");
    }
    if (Removes(role)) {
        text += "# Unassign the remediation that set them first, or it sets them again.\n";
    } else {
        text += "# Drives restricted: " + Restricted(mask) + " (" +
                (drives.AllBut() ? "all but " + drives.Letters() : drives.Letters() + " only") +
                ").\n";
    }
    text +=
        "# The policy keys are writable by administrators and SYSTEM only, so the script runs\n"
        "# as SYSTEM" +
        (scope.machine ? std::string(" (or as an elevated administrator)") : std::string()) +
        " and exits 1 in any other context.\n"
        "#\n"
        "# Upload: Intune admin center > Devices > Scripts and remediations > Create.\n"
        "#   Detection script file:   " +
        std::string(detectName) +
        "\n"
        "#   Remediation script file: " +
        std::string(remediateName) +
        "\n"
        "#   Run this script using the logged-on credentials: No\n"
        "#   Enforce script signature check: No (unless you sign both files)\n"
        "#   Run script in 64-bit PowerShell: Yes\n"
        "# Then assign it to the devices' group. Explorer " +
        (Removes(role) ? "shows the drives again" : "applies the values") +
        " at the user's\n"
        "# next sign-in.\n"
        "# Written by Tarnwick; the values above are the only ones the scripts touch.\n\n";
    return text;
}

// Each role's part, run for each `$target` inside a try: it reads, sets or deletes the values
// under the target's key, and adds a line to `$failed` for each problem (`$done` for each value
// deleted).
std::string Action(Role role) {
    const std::string inPlace = Condition(kValueInPlace);
    const std::string gone = Condition(kValueGone);
    switch (role) {
        case Role::Detect:
            return R"ps(        $key = $target.Root.OpenSubKey($target.Path)
        foreach ($name in $wanted.Keys) {
            $want = $wanted[$name]
            $value = $null
            $kind = $null
            if ($key) { $value = $key.GetValue($name) }
            if ($null -ne $value) { $kind = $key.GetValueKind($name) }
            if (-not ()ps" +
                   inPlace + R"ps()) {
                if ($null -eq $value) {
                    $failed.Add("$($target.Name): $name is not set")
                } else {
                    $failed.Add("$($target.Name): $name is $value ($kind), not $want (DWord)")
                }
            }
        }
        if ($key) { $key.Close() }
)ps";
        case Role::Remediate:
            return R"ps(        $key = $target.Root.CreateSubKey($target.Path)
        foreach ($name in $wanted.Keys) {
            $key.SetValue($name, [int]$wanted[$name], [Microsoft.Win32.RegistryValueKind]::DWord)
        }
        $key.Close()
)ps";
        case Role::DetectRemoved:
            return R"ps(        $key = $target.Root.OpenSubKey($target.Path)
        foreach ($name in $names) {
            $value = $null
            if ($key) { $value = $key.GetValue($name) }
            if (-not ()ps" +
                   gone + R"ps()) {
                $failed.Add("$($target.Name): $name is still there ($value)")
            }
        }
        if ($key) { $key.Close() }
)ps";
        case Role::Remove:
            return R"ps(        $key = $target.Root.OpenSubKey($target.Path, $true)
        if ($key) {
            foreach ($name in $names) {
                $value = $key.GetValue($name)
                if (-not ()ps" +
                   gone + R"ps()) {
                    $key.DeleteValue($name)
                    $done.Add("$($target.Name): $name deleted (it was $value)")
                }
            }
            $key.Close()
        }
)ps";
    }
    return {};
}

// The first line of the output (Intune keeps 2,048 characters of it): what was found or done, in
// how many hives.
std::string Summary(Role role, bool failed) {
    switch (role) {
        case Role::Detect:
            return failed ? "the drive restriction is not in place"
                          : "the drive restriction is in place";
        case Role::Remediate:
            return failed ? "the drive restriction could not be set everywhere"
                          : "the drive restriction is set; it applies at the next sign-in";
        case Role::DetectRemoved:
            return failed ? "drive restriction values are left"
                          : "no drive restriction value is left";
        case Role::Remove:
            return failed ? "the drive restriction could not be removed everywhere"
                          : "$($done.Count) drive restriction value(s) deleted";
    }
    return {};
}

// What the scripts share: the values, the context check, the hives to act on and, around the
// role's own part, the loading and unloading of offline profiles, then the outcome and exit code.
std::string Script(const DriveSet& drives, DrivePolicy policy, IntuneScope scope, Role role) {
    std::string text = Header(drives, policy, scope, role);
    text += "$subKey = '" + std::string(kExplorerPoliciesKey) + "'\n";
    if (Removes(role)) {
        text += "$names = @(";
        for (const Value& v : ValuesOf(policy))
            text += (text.back() == '(' ? "'" : ", '") + std::string(v.name) + "'";
        text += ")\n\n";
    } else {
        text += "$wanted = [ordered]@{\n";
        for (const Value& v : ValuesOf(policy))
            text += "    '" + std::string(v.name) + "' = " + std::to_string(drives.Mask()) + "\n";
        text += "}\n\n";
    }
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

# The hive of each signed-in user: local, domain and Microsoft Entra ID accounts; not their
# _Classes hives, nor SYSTEM's and the services' own.
$view = [Microsoft.Win32.RegistryView]::Registry64
$users = [Microsoft.Win32.RegistryKey]::OpenBaseKey([Microsoft.Win32.RegistryHive]::Users, $view)
$userSid = ')ps" +
                std::string(kUserSidPattern) +
                R"ps('
$targets = New-Object System.Collections.Generic.List[object]
foreach ($sid in $users.GetSubKeyNames()) {
    if ()ps" + Condition(kUserHive) +
                R"ps() {
        $targets.Add([pscustomobject]@{ Name = "HKEY_USERS\$sid"; Root = $users; Path = "$sid\$subKey" })
    }
}
)ps";
    }
    text +=
        "$failed = New-Object System.Collections.Generic.List[string]\n"
        "$done = New-Object System.Collections.Generic.List[string]\n"
        "$checked = 0\n";
    const std::string indent = scope.offlineProfiles ? "    " : "";
    if (scope.offlineProfiles) {
        text += R"ps($mounted = New-Object System.Collections.Generic.List[string]
try {
    # Each profile not signed in: its NTUSER.DAT loaded under HKEY_USERS for the run (or still
    # loaded there by an earlier run whose unload failed, and unloaded this time).
    $profileList = 'SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList'
    $machineRoot = [Microsoft.Win32.RegistryKey]::OpenBaseKey([Microsoft.Win32.RegistryHive]::LocalMachine, $view)
    $profiles = $machineRoot.OpenSubKey($profileList)
    $signedIn = $users.GetSubKeyNames()
    foreach ($sid in $profiles.GetSubKeyNames()) {
        if (-not ()ps" +
                Condition(kProfileToLoad) + R"ps()) { continue }
        $folder = $profiles.OpenSubKey($sid).GetValue('ProfileImagePath')
        if (-not $folder) { continue }
        $hive = Join-Path ([Environment]::ExpandEnvironmentVariables($folder)) 'NTUSER.DAT'
        if (-not (Test-Path -LiteralPath $hive)) { continue }
        $mount = "Tarnwick_$sid"
        if ($signedIn -notcontains $mount) {
            & reg.exe load "HKU\$mount" "$hive" 2>&1 | Out-Null
            if ($LASTEXITCODE -ne 0) {
                $failed.Add("HKEY_USERS\$sid (not signed in): its NTUSER.DAT could not be loaded (reg load exit $LASTEXITCODE)")
                continue
            }
        }
        $mounted.Add($mount)
        $targets.Add([pscustomobject]@{ Name = "HKEY_USERS\$sid (not signed in)"; Root = $users; Path = "$mount\$subKey" })
    }
)ps";
    }
    // The role's part, indented one more level inside the offline profiles' try.
    std::string body = "foreach ($target in $targets) {\n    try {\n" + Action(role) +
                       "        $checked++\n"
                       "    } catch {\n"
                       "        $failed.Add(\"$($target.Name): $($_.Exception.Message)\")\n"
                       "    }\n"
                       "}\n";
    for (std::size_t at = 0; !indent.empty() && at < body.size(); at = body.find('\n', at) + 1)
        body.insert(at, indent);
    text += body;
    if (scope.offlineProfiles) {
        text += R"ps(} finally {
    # A loaded hive unloads only once no handle to it is left open. One left loaded keeps its
    # profile locked until Windows restarts, so each unload is checked and a failure named.
    foreach ($mount in $mounted) {
        $code = 1
        foreach ($attempt in 1..3) {
            [GC]::Collect()
            [GC]::WaitForPendingFinalizers()
            & reg.exe unload "HKU\$mount" 2>&1 | Out-Null
            $code = $LASTEXITCODE
            if ($code -eq 0) { break }
            Start-Sleep -Seconds 1
        }
        if ($code -ne 0) {
            $failed.Add("HKEY_USERS\$($mount): reg unload failed (exit $code); the hive stays loaded and its profile locked until Windows restarts")
        }
    }
}
)ps";
    }
    const std::string counted =
        scope.offlineProfiles
            ? "$checked hive(s) checked, $($mounted.Count) of them loaded for the run"
            : "$checked hive(s) checked";
    text +=
        "if ($failed.Count -gt 0) {\n"
        "    Write-Output \"Tarnwick: " +
        Summary(role, true) + " (" + counted +
        ")\"\n"
        "    foreach ($line in $failed) { Write-Output $line }\n"
        "    exit 1\n"
        "}\n";
    if (!scope.machine) {
        text +=
            "if ($targets.Count -eq 0) {\n"
            "    Write-Output 'Tarnwick: no user is signed in" +
            std::string(scope.offlineProfiles ? " and no profile was loaded" : "") +
            "; 0 hive(s) checked, nothing to do'\n"
            "    exit 0\n"
            "}\n";
    }
    text += "Write-Output \"Tarnwick: " + Summary(role, false) + " (" + counted +
            ")\"\n"
            "foreach ($line in $done) { Write-Output $line }\n"
            "exit 0\n";
    return text;
}

}  // namespace

std::string DetectScript(const DriveSet& drives, DrivePolicy policy, IntuneScope scope) {
    return Script(drives, policy, scope, Role::Detect);
}

std::string RemediateScript(const DriveSet& drives, DrivePolicy policy, IntuneScope scope) {
    return Script(drives, policy, scope, Role::Remediate);
}

std::string DetectRemovedScript(DrivePolicy policy, IntuneScope scope) {
    return Script(DriveSet(), policy, scope, Role::DetectRemoved);
}

std::string RemoveScript(DrivePolicy policy, IntuneScope scope) {
    return Script(DriveSet(), policy, scope, Role::Remove);
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
