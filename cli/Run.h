// tarnwick-cli as a function: arguments in, exit code and the texts for stdout and stderr out.
// main() only converts the arguments and writes the texts.
#pragma once

#include <string>
#include <vector>

namespace tarnwick::fileio {
class Waiter;
}

namespace tarnwick::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;  // refused or failed; every file unchanged
inline constexpr int kExitUsage = 2;
inline constexpr int kExitPartly = 3;  // failed after changing a file, which the output names

// Said when an output file is there and --force was not given.
inline constexpr const char* kForceHint = " Use --force to replace it.";

struct CliResult {
    int exitCode = kExitDone;
    std::string out;  // UTF-8
    std::string err;  // UTF-8
    // A file was written or replaced: the run may no longer end with kExitFailed, which promises
    // that nothing changed, even when its report cannot be printed.
    bool changed = false;
};

// The exit code once the report was printed (or not): a report that could not be written fails a
// run that changed nothing, and goes to standard error, after the fact, for one that did.
int ExitCodeAfterPrinting(const CliResult& result, bool outWritten, bool errWritten);

// A usage error: the cause on one line, then where to find the usage (not the whole usage, which
// would bury the cause).
CliResult UsageError(const std::string& why);
// A refusal or failure that changed nothing: the cause on standard error, exit code kExitFailed.
CliResult Refused(const std::string& why);

// `args` excludes the program name; `windir` (empty when unset) gives the default source path;
// `waiter` is how a write waits for another run's lock (none: in silence).
CliResult RunCli(const std::vector<std::string>& args, const std::string& windir,
                 fileio::Waiter* waiter = nullptr);

}  // namespace tarnwick::cli
