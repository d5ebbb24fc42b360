#include "cli/AdmxCommand.h"

#include "paths/PathText.h"
#include "policy/MakePolicy.h"
#include "words/Words.h"

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
        folder = policy::LocalStore(windir);
#else
        (void)windir;
        return UsageError("admx needs --dir FOLDER (the PolicyDefinitions folder) on this system");
#endif
    }
    // Absolute, so that every message says where the files went.
    folder = AbsolutePath(folder, CurrentPathBase());
    // A folder the Group Policy editor does not read is the user's to choose; the note says so.
    const std::string note =
        policy::IsPolicyStore(folder) ? "" : "tarnwick-cli: note: " + msg::StoreHint(folder) + "\n";
    const Result<policy::PolicyOutcome> made =
        policy::MakePolicyDefinitions(options.drives, folder, {options.waiter});
    if (!made) return {kExitFailed, "", note + "tarnwick-cli: " + made.failure().message + "\n"};
    const policy::PolicyOutcome& result = *made;
    std::string out;
    switch (result.status) {
        case policy::PolicyStatus::Created:
            out = "Created: " + result.admxPath + "\nCreated: " + result.admlPath + "\n";
            for (const std::string& other : result.otherLanguages)
                out += "Added to: " + other + "\n";
            break;
        case policy::PolicyStatus::Added:
            out = "Added to: " + result.admxPath + "\nAdded to: " + result.admlPath + "\n";
            for (const std::string& other : result.otherLanguages)
                out += "Added to: " + other + "\n";
            break;
        case policy::PolicyStatus::AlreadyOffered:
            out = "Already offered by: " + result.offeredBy + " in " + result.admxPath +
                  " (both files unchanged)\n";
            break;
    }
    return {kExitDone,
            out + "Entry name: " + result.entryName + "\nDrive mask: " + result.maskText + "\n",
            note, result.status != policy::PolicyStatus::AlreadyOffered};
}

}  // namespace tarnwick::cli
