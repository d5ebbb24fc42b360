#include "cli/Run.h"

#include <new>

#include "cli/AdmxCommand.h"
#include "cli/DeployCommands.h"
#include "cli/GppCommand.h"
#include "cli/MakeTemplate.h"
#include "cli/Options.h"
#include "cli/RegCommand.h"
#include "cli/ShowCommand.h"
#include "words/Words.h"

namespace tarnwick::cli {

namespace {

CliResult PrintMask(const Options& options) {
    return {kExitDone, std::to_string(options.drives.Mask()) + "\n", ""};
}

CliResult Dispatch(const Options& options, const std::string& windir) {
    switch (options.command) {
        case Command::Help:
            return {kExitDone, UsageText(), ""};
        case Command::Version:
            return {kExitDone, std::string(msg::kVersion) + "\n", ""};
        case Command::Mask:
            return PrintMask(options);
        case Command::Make:
#ifndef _WIN32
            // The default source lies under %windir%, which only Windows has.
            if (!options.source) {
                return UsageError("make needs --source PATH (the template to copy) on this system");
            }
#endif
            return MakeTemplate(options, windir);
        case Command::Show:
            if (options.local) {
#ifndef _WIN32
                return {kExitFailed, "",
                        "tarnwick-cli: show --local reads this Windows computer's local policy; it "
                        "runs on Windows only. show FOLDER reads a copied policy folder.\n"};
#endif
                return ShowLocal(options, windir);
            }
            return ShowCommand(options);
        case Command::Reg:
            return RegCommand(options);
        case Command::Admx:
            return MakeAdmx(options, windir);
        case Command::Pol:
            return PolCommand(options, windir);
        case Command::Samba:
            return SambaCommand(options);
        case Command::Intune:
            return IntuneCommand(options);
        case Command::Gpp:
            return GppCommand(options);
    }
    return UsageError("unknown command");
}

}  // namespace

CliResult UsageError(const std::string& why) {
    return {kExitUsage, "", "tarnwick-cli: " + why + "\nRun 'tarnwick-cli --help' for usage.\n"};
}

CliResult Refused(const std::string& why) {
    return {kExitFailed, "", "tarnwick-cli: " + why + "\n"};
}

int ExitCodeAfterPrinting(const CliResult& result, bool outWritten, bool errWritten) {
    if (result.changed && result.exitCode == kExitFailed) return kExitPartly;
    if (outWritten && errWritten) return result.exitCode;
    return result.changed ? result.exitCode : kExitFailed;
}

CliResult RunCli(const std::vector<std::string>& args, const std::string& windir,
                 fileio::Waiter* waiter) {
    Result<Options> parsed = ParseArguments(args);
    if (!parsed) return UsageError(parsed.failure().message);
    parsed->waiter = waiter;
    // Every expected failure comes back as a result; only running out of memory is thrown, and
    // the core leaves nothing half-written then either. Anything else is a bug, which ends the
    // process with its report (win32/Terminate.cpp).
    try {
        return Dispatch(*parsed, windir);
    } catch (const std::bad_alloc& e) {
        return {kExitFailed, "",
                std::string("tarnwick-cli: unexpected failure: ") + e.what() + "\n"};
    }
}

}  // namespace tarnwick::cli
