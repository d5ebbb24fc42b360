#include "cli/RegCommand.h"

#include <utility>

#include "fileio/WriteFiles.h"
#include "paths/PathText.h"
#include "regfile/RegFile.h"

namespace tarnwick::cli {

CliResult RegCommand(const Options& options) {
    const std::string text = options.remove
                                 ? regfile::RegDeleteText(options.policy)
                                 : regfile::RegText(options.drives.Mask(), options.policy);
    if (!options.output) return {kExitDone, text, ""};
    // As `make` does: nothing is replaced without --force, and with it only the file that was
    // there at the start; only a complete file takes the path, and a folder or device never.
    const std::string path = AbsolutePath(*options.output, CurrentPathBase());
    fileio::FileSet set;
    set.files.push_back({path, regfile::RegFileBytes(text), fileio::ConsentTo(path, options.force),
                         "The registry file"});
    if (!options.force) set.noConsentHint = kForceHint;
    const Result<fileio::SetOutcome> written = fileio::WriteFiles(std::move(set));
    if (!written) return Refused(written.failure().message);
    return {kExitDone, (written->replaced[0] ? "Replaced: " : "Created: ") + path + "\n", "", true};
}

}  // namespace tarnwick::cli
