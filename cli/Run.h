// tarnwick-cli as a function: arguments in, exit code and the texts for stdout and stderr out.
// main() only converts the arguments and writes the texts.
#pragma once

#include <string>
#include <vector>

namespace tarnwick::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;  // refused or failed; nothing written
inline constexpr int kExitUsage = 2;

struct CliResult {
    int exitCode = kExitDone;
    std::string out;  // UTF-8
    std::string err;  // UTF-8
};

// A usage error: the cause on one line, then where to find the usage (not the whole usage, which
// would bury the cause).
CliResult UsageError(const std::string& why);

// `args` excludes the program name; `windir` (empty when unset) gives the default source path.
CliResult RunCli(const std::vector<std::string>& args, const std::string& windir);

}  // namespace tarnwick::cli
