#include "cli/DeployCommands.h"

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/AdEntry.h"
#include "core/Text.h"
#include "deploy/IntuneScripts.h"
#include "deploy/SambaJsonWriter.h"
#include "fileio/NewFile.h"
#include "fileio/mdlAPIFiles.h"
#include "paths/PathText.h"
#include "regpol/ApplyNow.h"
#include "regpol/Ldif.h"
#include "regpol/LocalPolicy.h"
#include "regpol/PolicyFiles.h"

namespace tarnwick::cli {

namespace {

CliResult Refused(const std::string& why) {
    return {kExitFailed, "", "tarnwick-cli: " + why + "\n"};
}

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
        if (options.remove) {
            lines += "not configured (its records removed)\n";
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

// Only a complete file takes the path; an existing one only with --force, and only if it is still
// the file that was there at the start.
CliResult WriteText(const std::string& path, const std::string& bytes, bool force,
                    const std::string& what) {
    std::optional<fileio::FileId> agreed;
    if (force) agreed = fileio::FileIdentity(path);
    if (auto written = fileio::WriteNewFile(path, bytes, agreed); !written) {
        const fileio::NewFileFailure& failure = written.failure();
        const std::string hint =
            failure.refused && failure.hadFile && !force ? " Use --force to replace it." : "";
        return Refused(what + " \"" + path + "\" was not written" + failure.message + hint +
                       (failure.hadFile ? " The file that was there is unchanged." : ""));
    }
    return {kExitDone, "Created: " + path + "\n", "", true};
}

CliResult PolGpo(const Options& options, const std::string& folder, bool local) {
    AdPlan ad;
    if (!local) {
        auto plan = PlanAdEntry(options, folder);
        if (!plan) return Refused(plan.failure().message);
        ad = std::move(*plan);
    }
    auto change =
        regpol::EditGpo(folder, options.drives.Mask(), options.policy, ActionOf(options), local);
    if (!change) return Refused(change.failure().message);
    CliResult result{kExitDone,
                     (change->polCreated ? "Created: " : "Merged into: ") + change->polPath + "\n" +
                         (change->gptCreated ? "Created: " : "Updated: ") + change->gptPath +
                         " (Version " + std::to_string(change->oldVersion) + " -> " +
                         std::to_string(change->newVersion) + ")\n" + ValueLines(options),
                     "", true};
    if (local) return result;
    const std::string_view pairs[] = {regpol::kRegistryPolicyPair};
    const CliResult emitted = EmitAdEntry(options, ad, change->newVersion, pairs);
    result.exitCode = emitted.exitCode;
    result.out += emitted.out;
    result.err += emitted.err;
    return result;
}

// Every folder of `path` made, from the first missing one down.
Status MakeFolders(const std::string& path) {
    fileio::Platform& platform = fileio::CurrentPlatform();
    if (platform.Attributes(path)) return {};
    const std::size_t cut = path.find_last_of("/\\");
    if (cut != std::string::npos && cut > 0) {
        if (Status parent = MakeFolders(path.substr(0, cut)); !parent) return parent;
    }
    return platform.CreateFolder(path);
}

}  // namespace

regpol::WrittenValues WrittenByPol(const Options& options) {
    regpol::WrittenValues written{options.policy, std::nullopt, options.forSid};
    if (!options.remove && !options.disable) written.mask = options.drives.Mask();
    return written;
}

CliResult PolLocal(const Options& options, const std::string& windir) {
    const std::string folder = regpol::LocalPolicyFolder(windir, options.forSid);
    // The local policy's folder exists only once a local policy was set.
    if (Status made = MakeFolders(folder); !made) {
        return Refused("The local policy folder \"" + folder + "\" could not be made" +
                       fileio::Because(made.failure()));
    }
    CliResult result = PolGpo(options, folder, true);
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
    const std::string json = deploy::SambaJson(options.drives.Mask(), options.policy);
    if (!options.output) return {kExitDone, json, ""};
    return WriteText(Absolute(*options.output), json, options.force, "The JSON file");
}

CliResult IntuneCommand(const Options& options) {
    const std::string folder = Absolute(*options.output);
    const Result<std::uint32_t> attributes = fileio::CurrentPlatform().Attributes(folder);
    if (!attributes) {
        if (Status made = fileio::CurrentPlatform().CreateFolder(folder); !made) {
            return Refused("The folder \"" + folder + "\" could not be made" +
                           fileio::Because(made.failure()));
        }
    } else if ((*attributes & fileio::kAttrDirectory) == 0) {
        return Refused("\"" + folder + "\" is a file; --output names the folder for the scripts.");
    }
    CliResult result;
    const deploy::IntuneScope scope{options.offlineProfiles, options.machine};
    const struct {
        std::string_view name;
        std::string text;
    } scripts[] = {
        {deploy::kDetectScriptName, deploy::DetectScript(options.drives, options.policy, scope)},
        {deploy::kRemediateScriptName,
         deploy::RemediateScript(options.drives, options.policy, scope)},
    };
    // Both or neither: without --force a script already there stops the run before either is
    // written.
    for (const auto& script : scripts) {
        const std::string path = JoinPath(folder, script.name);
        if (!options.force && fileio::FileExists(path)) {
            return Refused("The script \"" + path +
                           "\" is already there; nothing was written. Use --force to replace "
                           "both scripts.");
        }
    }
    for (const auto& script : scripts) {
        const CliResult one =
            WriteText(JoinPath(folder, script.name), deploy::ScriptFileBytes(script.text),
                      options.force, "The script");
        result.out += one.out;
        result.err += one.err;
        result.changed = result.changed || one.changed;
        if (one.exitCode != kExitDone) {
            result.exitCode = one.exitCode;
            break;
        }
    }
    if (result.exitCode == kExitDone) result.out += ValueLines(options);
    return result;
}

}  // namespace tarnwick::cli
