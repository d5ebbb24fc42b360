// tarnwick-cli's command line: what to do and with which selection and paths. Parsing is kept
// apart from running so that every accepted and refused form can be tested without a process.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/DriveSet.h"

namespace tarnwick::cli {

enum class Command { Make, Mask, Show, Reg, Admx, Pol, Samba, Intune, Help, Version };

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
    // pol: where (--output FILE, --gpo FOLDER or --local) and what (set, --remove or --disable)
    std::optional<std::string> gpo;
    bool local = false;
    bool remove = false;
    bool disable = false;
    // intune: also the profiles not signed in, or HKEY_LOCAL_MACHINE instead of the users' hives
    bool offlineProfiles = false;
    bool machine = false;
    // show --here: what applies on this computer now
    bool here = false;
};

struct ParseOutcome {
    bool ok = false;
    Options options;
    std::string error;  // why the arguments were refused, when !ok
};

// `args` excludes the program name.
ParseOutcome ParseArguments(const std::vector<std::string>& args);

// Drive letters in any case, alone or separated by commas or colons ("CDE", "c,d,e", "C:,D:").
// The letters found, in the following mode; false (with `drives` unspecified) for anything else.
bool ParseDriveLetters(const std::string& text, DriveSet& drives);

std::string UsageText();

}  // namespace tarnwick::cli
