#include "cli/DeployCommands.h"

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/AdEntry.h"
#include "core/Text.h"
#include "deploy/IntuneScripts.h"
#include "deploy/SambaJsonWriter.h"
#include "fileio/WriteFiles.h"
#include "fileio/mdlAPIFiles.h"
#include "paths/PathText.h"
#include "regpol/ApplyNow.h"
#include "regpol/Ldif.h"
#include "regpol/LocalPolicy.h"
#include "regpol/PolPlace.h"
#include "regpol/PolicyFiles.h"
#include "words/Words.h"

namespace tarnwick::cli {

namespace {

std::string Absolute(const std::string& path) {
    return AbsolutePath(path, CurrentPathBase());
}

// The mask's letters ("CDE"), "-" for none.
std::string LettersOrDash(std::uint32_t mask) {
    const std::string letters = MaskLetters(mask);
    return letters.empty() ? "-" : letters;
}

// What became of each value, one line each.
std::string ValueLines(const Options& options) {
    std::string lines;
    for (std::string_view name : {kNoDrivesValue, kNoViewOnDriveValue}) {
        if (name == kNoDrivesValue ? !SetsNoDrives(options.policy)
                                   : !SetsNoViewOnDrive(options.policy)) {
            continue;
        }
        lines += std::string(name) + ": ";
        if (options.remove && options.command == Command::Intune) {
            lines += std::string(msg::kDeletedByRemediation) + "\n";
        } else if (options.remove) {
            lines += std::string(msg::kRecordsRemoved) + "\n";
        } else if (options.disable) {
            lines += "disabled (**del." + std::string(name) + ")\n";
        } else {
            const std::uint32_t mask = options.drives.Mask();
            lines += std::to_string(mask) + " (drives " + LettersOrDash(mask) + ")\n";
        }
    }
    return lines;
}

regpol::PolAction ActionOf(const Options& options) {
    if (options.remove) return regpol::PolAction::Remove;
    if (options.disable) return regpol::PolAction::Disable;
    return regpol::PolAction::Set;
}

CliResult PolGpo(const Options& options, const std::string& folder, bool local) {
    AdPlan ad;
    if (!local) {
        auto plan = PlanAdEntry(options, folder);
        if (!plan) return Refused(plan.failure().message);
        ad = std::move(*plan);
    }
    const std::uint32_t mask = options.drives.Mask();
    auto change = local ? regpol::EditLocalPolicy(folder, mask, options.policy, ActionOf(options),
                                                  options.waiter)
                        : regpol::EditGpo(folder, mask, options.policy, ActionOf(options), false,
                                          options.waiter);
    if (!change) return Refused(change.failure().message);
    CliResult result{kExitDone,
                     (change->polCreated ? "Created: " : "Merged into: ") + change->polPath + "\n" +
                         (change->gptCreated ? "Created: " : "Updated: ") + change->gptPath +
                         " (Version " + std::to_string(change->oldVersion) + " -> " +
                         std::to_string(change->newVersion) + ")\n" + ValueLines(options),
                     "", true};
    if (local) return result;
    const std::string_view pairs[] = {regpol::kRegistryPolicyPair};
    const CliResult emitted =
        EmitAdEntry(options, ad, change->oldVersion, change->newVersion, pairs);
    result.exitCode = emitted.exitCode;
    result.out += emitted.out;
    result.err += emitted.err;
    return result;
}

// The files all written or none; "Created: " and the path for each.
CliResult WriteOutputs(fileio::FileSet set, bool force) {
    if (!force) set.noConsentHint = kForceHint;
    std::string out;
    for (const fileio::OutputFile& file : set.files)
        out += "Created: " + file.path + "\n";
    const Result<fileio::SetOutcome> written = fileio::WriteFiles(std::move(set));
    if (!written) return Refused(written.failure().message);
    return {kExitDone, out, "", true};
}

}  // namespace

regpol::WrittenValues WrittenByPol(const Options& options) {
    regpol::WrittenValues written{options.policy, std::nullopt, options.forSid};
    if (!options.remove && !options.disable) written.mask = options.drives.Mask();
    return written;
}

CliResult PolLocal(const Options& options, const std::string& windir) {
    CliResult result = PolGpo(options, regpol::LocalPolicyFolder(windir, options.forSid), true);
    if (result.exitCode != kExitDone) return result;
    if (options.now) {
        result.out += regpol::ApplyUserPolicyNow(WrittenByPol(options));
    } else {
        result.out += "Run: gpupdate /target:user /force\n";
    }
    return result;
}

CliResult PolCommand(const Options& options, const std::string& windir) {
    if (options.local) {
#ifndef _WIN32
        (void)windir;
        if (options.now) {
            return Refused(
                "--now asks Windows' Group Policy engine to apply the local policy; it runs on "
                "Windows only. Nothing was written.");
        }
        return Refused(
            "--local edits this Windows computer's local policy; it runs on Windows only. For a "
            "policy object's folder copied here, use --gpo FOLDER.");
#else
        if (windir.empty()) return Refused("--local needs %SystemRoot%, which is not set.");
        return PolLocal(options, windir);
#endif
    }
    if (options.gpo) return PolGpo(options, Absolute(*options.gpo), false);
    const std::string path = Absolute(*options.output);
    auto written = regpol::WritePolFile(path, options.drives.Mask(), options.policy,
                                        ActionOf(options), options.force);
    if (!written) return Refused(written.failure().message);
    return {kExitDone,
            (written->created ? "Created: " : "Merged into: ") + path + "\n" + ValueLines(options),
            "", true};
}

CliResult SambaCommand(const Options& options) {
    const std::string json = options.remove
                                 ? deploy::SambaRemoveJson(options.policy)
                                 : deploy::SambaJson(options.drives.Mask(), options.policy);
    if (!options.output) return {kExitDone, json, ""};
    const std::string path = Absolute(*options.output);
    fileio::FileSet set;
    set.files.push_back({path, json, fileio::ConsentTo(path, options.force), "The JSON file"});
    return WriteOutputs(std::move(set), options.force);
}

CliResult IntuneCommand(const Options& options) {
    // "a/b/" is the folder "a/b": the separators after its name are dropped before it is made.
    std::string folder = Absolute(*options.output);
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\') &&
           folder[folder.size() - 2] != ':')
        folder.pop_back();
    const Result<std::uint32_t> attributes = fileio::CurrentPlatform().Attributes(folder);
    if (attributes && (*attributes & fileio::kAttrDirectory) == 0) {
        return Refused("\"" + folder + "\" is a file; --output names the folder for the scripts.");
    }
    const deploy::IntuneScope scope{options.offlineProfiles, options.machine};
    const struct {
        std::string_view name;
        std::string text;
    } scripts[] = {
        {options.remove ? deploy::kDetectRemovedScriptName : deploy::kDetectScriptName,
         options.remove ? deploy::DetectRemovedScript(options.policy, scope)
                        : deploy::DetectScript(options.drives, options.policy, scope)},
        {options.remove ? deploy::kRemoveScriptName : deploy::kRemediateScriptName,
         options.remove ? deploy::RemoveScript(options.policy, scope)
                        : deploy::RemediateScript(options.drives, options.policy, scope)},
    };
    // Both or neither: the set is written as one, and without --force a script already there
    // stops the run before either is begun (or any folder made), with a word on replacing both.
    fileio::FileSet set;
    for (const auto& script : scripts) {
        const std::string path = JoinPath(folder, script.name);
        if (!options.force && fileio::FileExists(path)) {
            return Refused("The script \"" + path +
                           "\" is already there; nothing was written. Use --force to replace "
                           "both scripts.");
        }
        set.files.push_back({path, deploy::ScriptFileBytes(script.text),
                             fileio::ConsentTo(path, options.force), "The script"});
    }
    // The folder and any missing above it, as for the local policy's.
    if (Status made = fileio::MakeFolder(folder, "The folder for the scripts", true); !made) {
        return Refused(made.failure().message + " Nothing was written.");
    }
    CliResult result = WriteOutputs(std::move(set), options.force);
    if (result.exitCode == kExitDone) result.out += ValueLines(options);
    return result;
}

}  // namespace tarnwick::cli
