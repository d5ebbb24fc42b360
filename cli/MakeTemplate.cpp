#include "cli/MakeTemplate.h"

#include <cstdint>
#include <optional>

#include "cli/DriveSelection.h"
#include "fileio/Platform.h"
#include "fileio/mdlAPIFiles.h"
#include "generate/EntryText.h"
#include "generate/FormState.h"
#include "generate/GenerateADM.h"
#include "paths/Defaults.h"
#include "paths/PathText.h"

namespace tarnwick::cli {

namespace {

std::optional<CliResult> CheckSource(const std::string& source) {
    if (!fileio::FileExists(source)) {
        return Refused("The source template \"" + source + "\" does not exist.");
    }
    if (IsFolder(source)) {
        return Refused("The source template \"" + source + "\" is a folder, not a file.");
    }
    return std::nullopt;
}

std::optional<CliResult> CheckOutput(const std::string& source, const std::string& output,
                                     bool force) {
    // Text first, as the window does; then identity, which catches "./", links, case and 8.3 names.
    if (output == source || fileio::SameFile(source, output)) {
        return Refused("The output \"" + output + "\" is the source template \"" + source +
                       "\" itself; choose another output path. Nothing was written.");
    }
    if (!fileio::FileExists(output)) return std::nullopt;
    if (IsFolder(output)) {
        return Refused("The output \"" + output + "\" is a folder. Nothing was written.");
    }
    if (!force) {
        return Refused("The output \"" + output +
                       "\" already exists; use --force to replace it. Nothing was written.");
    }
    return std::nullopt;
}

}  // namespace

CliResult MakeTemplate(const Options& options, const std::string& windir) {
    // Relative paths are taken against the current folder, and the messages show where.
    const PathBase base = CurrentPathBase();
    FormState state;
    state.strSourceADM = AbsolutePath(options.source.value_or(DefaultSourcePath(windir)), base);
    state.strNewADM =
        AbsolutePath(options.output.value_or(DefaultOutputPath(state.strSourceADM)), base);

    // --force agrees to replace the file at the output as it is now, and no other.
    ReplaceConsent consent;
    if (options.force) consent.file = fileio::FileIdentity(state.strNewADM);

    if (auto refusal = CheckSource(state.strSourceADM)) return *refusal;
    if (auto refusal = CheckOutput(state.strSourceADM, state.strNewADM, options.force)) {
        return *refusal;
    }

    const DriveSelection selection(options.drives);
    state.dblDriveMask = GetDriveMask(selection);
    const GenerateResult result = GenerateADM(selection, state, consent);
    if (!result) return Refused(result.failure().message);

    return {kExitDone,
            (result->replaced ? "Replaced: " : "Created: ") + state.strNewADM + "\nEntry name: " +
                state.strEntryName + "\nDrive mask: " + MaskText(state.dblDriveMask) + "\n",
            "", true};
}

}  // namespace tarnwick::cli
