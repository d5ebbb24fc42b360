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
    std::string out;
    for (int i = 0; i < kDriveCount; ++i) {
        if (((mask >> i) & 1u) == 0) continue;
        if (!out.empty()) out += ", ";
        out += static_cast<char>('A' + i);
    }
    return out.empty() ? "none" : out;
}

std::string Header(const DriveSet& drives, DrivePolicy policy, std::string_view role) {
    const std::uint32_t mask = drives.Mask();
    std::string text = "# Tarnwick drive restriction: " + std::string(role) +
                       " script of an Intune remediation.\n"
                       "#\n"
                       "# " +
                       std::string(role == "detection" ? "Checks" : "Sets") +
                       ", for the signed-in user, under\n"
                       "#   HKEY_CURRENT_USER\\" +
                       std::string(kExplorerPoliciesKey) + "\n";
    for (const Value& v : ValuesOf(policy)) {
        text += "#   " + std::string(v.name) + " = " + std::to_string(mask) +
                " (REG_DWORD): drives " + std::string(v.effect) + "\n";
    }
    text += "# Drives restricted: " + Restricted(mask) + " (" +
            (drives.AllBut() ? "all but " + drives.Letters() : drives.Letters() + " only") +
            ").\n"
            "#\n"
            "# Upload: Intune admin center > Devices > Scripts and remediations > Create.\n"
            "#   Detection script file:   " +
            std::string(kDetectScriptName) +
            "\n"
            "#   Remediation script file: " +
            std::string(kRemediateScriptName) +
            "\n"
            "#   Run this script using the logged-on credentials: Yes\n"
            "#   Enforce script signature check: No (unless you sign both files)\n"
            "#   Run script in 64-bit PowerShell: Yes\n"
            "# Then assign it to the users' or devices' group. Explorer applies the values at the\n"
            "# user's next sign-in.\n"
            "# Written by Tarnwick; the values above are the only ones the scripts touch.\n\n";
    return text;
}

std::string Wanted(const DriveSet& drives, DrivePolicy policy) {
    std::string text =
        "$key = 'HKCU:\\" + std::string(kExplorerPoliciesKey) + "'\n$wanted = [ordered]@{\n";
    for (const Value& v : ValuesOf(policy))
        text += "    '" + std::string(v.name) + "' = " + std::to_string(drives.Mask()) + "\n";
    return text + "}\n\n";
}

}  // namespace

std::string DetectScript(const DriveSet& drives, DrivePolicy policy) {
    return Header(drives, policy, "detection") + Wanted(drives, policy) +
           "# Exit 0: every value is a DWORD of the wanted number; exit 1: Intune runs the\n"
           "# remediation.\n"
           "foreach ($name in $wanted.Keys) {\n"
           "    $item = Get-ItemProperty -LiteralPath $key -Name $name -ErrorAction "
           "SilentlyContinue\n"
           "    if ($null -eq $item) {\n"
           "        Write-Output \"$name is not set\"\n"
           "        exit 1\n"
           "    }\n"
           "    $value = $item.$name\n"
           "    if (-not ($value -is [int]) -or $value -ne $wanted[$name]) {\n"
           "        Write-Output \"$name is $value, not $($wanted[$name])\"\n"
           "        exit 1\n"
           "    }\n"
           "}\n"
           "Write-Output 'Drive restriction in place'\n"
           "exit 0\n";
}

std::string RemediateScript(const DriveSet& drives, DrivePolicy policy) {
    return Header(drives, policy, "remediation") + Wanted(drives, policy) +
           "# Creates the key when missing and sets each value; exit 0 when done, 1 with the\n"
           "# reason otherwise.\n"
           "try {\n"
           "    if (-not (Test-Path -LiteralPath $key)) {\n"
           "        New-Item -Path $key -Force -ErrorAction Stop | Out-Null\n"
           "    }\n"
           "    foreach ($name in $wanted.Keys) {\n"
           "        New-ItemProperty -LiteralPath $key -Name $name -PropertyType DWord `\n"
           "            -Value $wanted[$name] -Force -ErrorAction Stop | Out-Null\n"
           "    }\n"
           "    Write-Output 'Drive restriction set; it applies at the next sign-in'\n"
           "    exit 0\n"
           "} catch {\n"
           "    Write-Output \"Drive restriction not set: $($_.Exception.Message)\"\n"
           "    exit 1\n"
           "}\n";
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
