#include "cli/GppCommand.h"

#include "cli/AdEntry.h"
#include "paths/PathText.h"
#include "prefs/Audience.h"
#include "prefs/GppFiles.h"

namespace tarnwick::cli {

CliResult GppCommand(const Options& options) {
    const std::string folder = AbsolutePath(*options.gpo, CurrentPathBase());
    // The LDIF's refusals come before anything is written.
    auto plan = PlanAdEntry(options, folder);
    if (!plan) return Refused(plan.failure().message);
    const Result<std::string> changed = prefs::ChangedNow();
    if (!changed) return Refused(changed.failure().message + ". Nothing was written.");
    prefs::GppRequest request;
    request.drives = options.drives;
    request.policy = options.policy;
    request.targets = options.targets;
    request.changed = *changed;
    request.waiter = options.waiter;
    const Result<prefs::GppOutcome> written = prefs::WriteGpp(folder, request);
    if (!written) return Refused(written.failure().message);
    const prefs::GppOutcome& outcome = *written;

    std::string out = (outcome.xmlCreated ? "Created: " : "Updated: ") + outcome.xmlPath + "\n";
    const std::uint32_t mask = options.drives.Mask();
    const std::string audience = prefs::AudienceText(options.targets);
    const std::vector<prefs::Item> items =
        prefs::ItemsFor(options.drives, options.policy, options.targets, *changed);
    for (std::size_t i = 0; i < items.size(); ++i) {
        out += std::string(items[i].valueName) + ": " + std::to_string(mask) + " (drives " +
               (mask == 0 ? std::string("-") : MaskLetters(mask)) + "), item " + outcome.uids[i] +
               ", " + audience + "\n";
    }
    if (outcome.replaced > 0) {
        out += "Replaced " + std::to_string(outcome.replaced) +
               " item(s) written earlier for the same value and targets.\n";
    }
    out += (outcome.gptCreated ? "Created: " : "Updated: ") + outcome.gptPath + " (Version " +
           std::to_string(outcome.oldVersion) + " -> " + std::to_string(outcome.newVersion) + ")\n";
    CliResult result{kExitDone, out, "", true};
    const std::string_view pairs[] = {outcome.extensionPair};
    const CliResult emitted =
        EmitAdEntry(options, *plan, outcome.oldVersion, outcome.newVersion, pairs);
    result.exitCode = emitted.exitCode;
    result.out += emitted.out;
    result.err += emitted.err;
    return result;
}

}  // namespace tarnwick::cli
