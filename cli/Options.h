// tarnwick-cli's command line: what to do and with which selection and paths. Parsing is kept
// apart from running so that every accepted and refused form can be tested without a process.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/DriveSet.h"
#include "core/Result.h"
#include "prefs/RegistryXml.h"

namespace tarnwick::fileio {
class Waiter;
}

namespace tarnwick::cli {

enum class Command { Make, Mask, Show, Reg, Admx, Pol, Samba, Intune, Gpp, Help, Version };

struct Options {
    Command command = Command::Help;
    DriveSet drives;  // the letters of --drives, in the mode --all-but chose
    std::optional<std::string> source;
    std::optional<std::string> output;
    bool force = false;
    // show
    std::string file;
    bool tsv = false;
    std::optional<std::string> language;
    // reg, pol, samba, intune: which values they set
    DrivePolicy policy = DrivePolicy::Hide;
    // admx
    std::optional<std::string> folder;
    // pol: where (--output FILE, --gpo FOLDER or --local) and what (set, --remove or --disable);
    // reg, samba: --remove for the form that takes the values away again;
    // show --local: the local policy folders
    std::optional<std::string> gpo;
    bool local = false;
    bool remove = false;
    bool disable = false;
    // pol --gpo, gpp: the Active Directory half (written with --ldif, else printed)
    std::optional<std::string> ldif;
    std::optional<std::string> domain;
    std::optional<std::string> extensions;
    std::optional<std::string> versionNumber;
    // pol --local: whose local policy (--for, as a SID) and whether to apply it now
    std::optional<std::string> forSid;
    bool now = false;
    // intune: also the profiles not signed in, or HKEY_LOCAL_MACHINE instead of the users' hives
    bool offlineProfiles = false;
    bool machine = false;
    // show --here: what applies on this computer now
    bool here = false;
    // gpp (with --gpo and the same Active Directory half): for whom the preference items apply,
    // in the order given
    std::vector<prefs::Target> targets;
    // Not parsed: how a write waits for another run's lock (none: in silence).
    fileio::Waiter* waiter = nullptr;
};

// `args` excludes the program name. A refusal's message says why, without the program's name.
Result<Options> ParseArguments(const std::vector<std::string>& args);

// Drive letters in any case, alone or separated by commas or colons ("CDE", "c,d,e", "C:,D:").
// The letters found, in the following mode; nothing for anything else.
std::optional<DriveSet> ParseDriveLetters(const std::string& text);

std::string UsageText();

}  // namespace tarnwick::cli
