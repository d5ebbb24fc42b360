#include "cli/AdmxCommand.h"

#include "cli/DriveSelection.h"
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
        return {kExitUsage, "",
                "tarnwick-cli: admx needs --dir FOLDER (the PolicyDefinitions folder) on this "
                "system\n\n" +
                    UsageText()};
#endif
    }
    const DriveSelection selection(options.drives, options.allBut);
    const policy::PolicyResult result = policy::MakePolicyDefinitions(selection, folder);
    if (!result.ok()) return {kExitFailed, "", "tarnwick-cli: " + result.message + "\n"};
    const char* what = result.status == policy::PolicyStatus::Created ? "created"
                       : result.status == policy::PolicyStatus::Added ? "added"
                                                                      : "already offered";
    return {
        kExitDone,
        result.message + "\n" + what + ": " + result.entryName + " mask " + result.maskText + "\n",
        ""};
}

}  // namespace tarnwick::cli
