// tarnwick-cli's command line: what to do and with which selection and paths. Parsing is kept
// apart from running so that every accepted and refused form can be tested without a process.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "generate/Selection.h"

namespace tarnwick::cli {

enum class Command { Make, Mask, Show, Reg, Admx, Help, Version };

// Which policy values `reg` writes: NoDrives (hide), NoViewOnDrive (prevent) or both.
enum class RegPolicy { Hide, Prevent, Both };

using DriveSet = std::array<bool, kDriveCount>;  // index 0 = A ... 25 = Z

struct Options {
    Command command = Command::Help;
    DriveSet drives{};
    bool allBut = false;
    std::optional<std::string> source;
    std::optional<std::string> output;
    bool force = false;
    // show
    std::string file;
    bool tsv = false;
    std::optional<std::string> language;
    // reg
    RegPolicy policy = RegPolicy::Hide;
    // admx
    std::optional<std::string> folder;
};

struct ParseOutcome {
    bool ok = false;
    Options options;
    std::string error;  // why the arguments were refused, when !ok
};

// `args` excludes the program name.
ParseOutcome ParseArguments(const std::vector<std::string>& args);

// Drive letters in any case, alone or separated by commas or colons ("CDE", "c,d,e", "C:,D:").
// Sets the letters found in `drives`; false (with `drives` unspecified) for anything else.
bool ParseDriveLetters(const std::string& text, DriveSet& drives);

std::string UsageText();

}  // namespace tarnwick::cli
