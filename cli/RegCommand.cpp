#include "cli/RegCommand.h"

#include <cstdint>
#include <optional>

#include "fileio/NewFile.h"
#include "fileio/mdlAPIFiles.h"
#include "paths/PathText.h"
#include "regfile/RegFile.h"

namespace tarnwick::cli {

namespace {

CliResult Refused(const std::string& why) {
    return {kExitFailed, "", "tarnwick-cli: " + why + "\n"};
}

// As `make` does: nothing is replaced without --force, and with it only the file that was there
// at the start; only a complete file takes the path, and a folder or device never.
CliResult WriteRegFile(const std::string& path, const std::string& text, bool force) {
    std::optional<fileio::FileId> agreed;
    if (force) agreed = fileio::FileIdentity(path);
    const auto written = fileio::WriteNewFile(path, regfile::RegFileBytes(text), agreed);
    if (!written) {
        const fileio::NewFileFailure& failure = written.failure();
        const std::string hint =
            failure.refused && failure.hadFile && !force ? " Use --force to replace it." : "";
        return Refused("The registry file \"" + path + "\" was not written" + failure.message +
                       hint + (failure.hadFile ? " The file that was there is unchanged." : ""));
    }
    return {kExitDone, (written->replaced ? "Replaced: " : "Created: ") + path + "\n", "", true};
}

}  // namespace

CliResult RegCommand(const Options& options) {
    const std::string text = regfile::RegText(options.drives.Mask(), options.policy);
    if (!options.output) return {kExitDone, text, ""};
    return WriteRegFile(AbsolutePath(*options.output, CurrentPathBase()), text, options.force);
}

}  // namespace tarnwick::cli
