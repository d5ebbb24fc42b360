#include "cli/AdmxCommand.h"

#include "cli/DriveSelection.h"
#include "generate/PathText.h"
#include "policy/MakePolicy.h"

namespace tarnwick::cli {

CliResult MakeAdmx(const Options& options, const std::string& windir) {
    std::string folder;
    if (options.folder) {
        folder = *options.folder;
    } else {
#ifdef _WIN32
        if (windir.empty()) {
            return {kExitFailed, "",
                    "tarnwick-cli: %windir% is not set; give the PolicyDefinitions folder with "
                    "--dir. Nothing was written.\n"};
        }
        folder = windir + "\\PolicyDefinitions";
#else
        (void)windir;
        return UsageError("admx needs --dir FOLDER (the PolicyDefinitions folder) on this system");
#endif
    }
    // Absolute, so that every message says where the files went.
    const policy::PolicyResult result =
        policy::MakePolicyDefinitions(options.drives, AbsolutePath(folder, CurrentPathBase()));
    if (!result.ok()) return {kExitFailed, "", "tarnwick-cli: " + result.message + "\n"};
    std::string out;
    switch (result.status) {
        case policy::PolicyStatus::Created:
            out = "Created: " + result.admxPath + "\nCreated: " + result.admlPath + "\n";
            break;
        case policy::PolicyStatus::Added:
            out = "Added to: " + result.admxPath + "\nAdded to: " + result.admlPath + "\n";
            break;
        default:
            out = "Already offered by: " + result.offeredBy + " in " + result.admxPath +
                  " (both files unchanged)\n";
            break;
    }
    return {kExitDone,
            out + "Entry name: " + result.entryName + "\nDrive mask: " + result.maskText + "\n",
            ""};
}

}  // namespace tarnwick::cli
