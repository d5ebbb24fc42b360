#include "cli/GppCommand.h"

#include "cli/AdEntry.h"
#include "paths/PathText.h"
#include "prefs/Audience.h"
#include "prefs/GppFiles.h"
#include "words/Words.h"

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
    const bool remove = options.remove;
    if (remove) request.action = prefs::ItemAction::Delete;
    const Result<prefs::GppOutcome> written = prefs::WriteGpp(folder, request);
    if (!written) return Refused(written.failure().message);
    const prefs::GppOutcome& outcome = *written;

    std::string out = (outcome.xmlCreated ? "Created: " : "Updated: ") + outcome.xmlPath + "\n";
    const std::uint32_t mask = options.drives.Mask();
    const std::vector<prefs::Item> items =
        prefs::ItemsFor(options.drives, options.policy, options.targets, *changed, request.action);
    // The targets as written: OU and user names in their one form.
    const std::string audience = items.empty() ? "" : prefs::AudienceText(items.front().targets);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string what = remove
                                     ? std::string(msg::kDeletedByClient)
                                     : std::to_string(mask) + " (drives " +
                                           (mask == 0 ? std::string("-") : MaskLetters(mask)) + ")";
        out += std::string(items[i].valueName) + ": " + what + ", item " + outcome.uids[i] + ", " +
               audience + "\n";
    }
    // "Not in" an OU that does not exist holds for everyone: the directory is not read here.
    for (const prefs::Target& target : items.front().targets) {
        if (target.kind != prefs::TargetKind::OrgUnit || !target.negated) continue;
        std::string quoted = target.name;
        for (std::size_t at = quoted.find('\''); at != std::string::npos;
             at = quoted.find('\'', at + 2))
            quoted.insert(at, 1, '\'');
        out += "Note: \"not in " + target.name +
               "\" holds for every user if no OU has that name; check that it exists "
               "(Get-ADOrganizationalUnit -Identity '" +
               quoted + "', or samba-tool ou list).\n";
    }
    if (outcome.replaced > 0) {
        out += std::string(remove ? "Rewrote " : "Replaced ") + std::to_string(outcome.replaced) +
               " item(s) written earlier for the same value and targets" +
               (remove ? " as deletions.\n" : ".\n");
    }
    if (remove) {
        out += std::string(msg::kKeepDeletionItems) + "\n";
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
