#include "app/ExportCommand.h"

#include <objbase.h>
#include <shobjidl.h>

#include "app/LockWait.h"
#include "app/TargetDialog.h"
#include "app/WideText.h"
#include "app/resource.h"
#include "command/Messages.h"
#include "core/Text.h"
#include "deploy/IntuneScripts.h"
#include "deploy/SambaJsonWriter.h"
#include "fileio/WriteFiles.h"
#include "fileio/mdlAPIFiles.h"
#include "policy/PolicyText.h"
#include "prefs/Audience.h"
#include "prefs/GppFiles.h"
#include "regfile/RegFile.h"
#include "regpol/ApplyNow.h"
#include "regpol/Ldif.h"
#include "regpol/PolPlace.h"
#include "regpol/PolicyFiles.h"
#include "win32/ComRef.h"

namespace tarnwick::app {

namespace {

constexpr DrivePolicy kPolicy = DrivePolicy::Hide;

const char* ExtensionOf(ExportKind kind) {
    switch (kind) {
        case ExportKind::Reg:
            return ".reg";
        case ExportKind::Pol:
            return ".pol";
        case ExportKind::SambaJson:
            return ".json";
        case ExportKind::Preferences:
            return ".xml";
        case ExportKind::Intune:
            break;
    }
    return "";
}

bool HasExtension(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    const auto dot = path.rfind('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
}

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string ValueText(const DriveSet& drives) {
    const std::string letters = MaskLetters(drives.Mask());
    return std::string(kNoDrivesValue) + " = " + std::to_string(drives.Mask()) + " (drives " +
           (letters.empty() ? std::string("none") : letters) + " hidden)";
}

// A removal as tarnwick-cli lists it: what was done where, then the value's line.
std::string Removal(const std::string& done, const char* how) {
    return done + ":\n" + std::string(kNoDrivesValue) + ": " + how;
}

// `files` all written or none; an existing file replaced only with the dialog's consent.
Status Written(std::vector<fileio::OutputFile> files, std::vector<std::string> folders = {}) {
    fileio::FileSet set;
    set.folders = std::move(folders);
    set.files = std::move(files);
    if (auto written = fileio::WriteFiles(std::move(set)); !written) return written.failure();
    return {};
}

Status Written(const std::string& path, std::string bytes, bool agreed) {
    return Written({{path, std::move(bytes), fileio::ConsentTo(path, agreed)}});
}

struct ScriptNames {
    std::string_view detect, remediate;
};

ScriptNames IntuneNames(bool remove) {
    if (remove) return {deploy::kDetectRemovedScriptName, deploy::kRemoveScriptName};
    return {deploy::kDetectScriptName, deploy::kRemediateScriptName};
}

Status WriteIntune(const DriveSet& drives, const std::string& folder, bool remove) {
    const Result<std::uint32_t> attributes = fileio::CurrentPlatform().Attributes(folder);
    if (attributes && (*attributes & fileio::kAttrDirectory) == 0) {
        return Failure{Quoted(folder) +
                       " is a file. For the Intune scripts, name a new folder. Nothing was "
                       "written."};
    }
    const ScriptNames names = IntuneNames(remove);
    const std::string detect = JoinPath(folder, names.detect);
    const std::string remediate = JoinPath(folder, names.remediate);
    for (const std::string& path : {detect, remediate}) {
        if (fileio::FileExists(path)) {
            return Failure{Quoted(path) + " is already there. Nothing was written."};
        }
    }
    return Written({{detect,
                     deploy::ScriptFileBytes(remove ? deploy::DetectRemovedScript(kPolicy)
                                                    : deploy::DetectScript(drives, kPolicy)),
                     std::nullopt},
                    {remediate,
                     deploy::ScriptFileBytes(remove ? deploy::RemoveScript(kPolicy)
                                                    : deploy::RemediateScript(drives, kPolicy)),
                     std::nullopt}},
                   {folder});
}

// The policy object's folder when `path` is its User\Preferences\Registry\Registry.xml (in any
// case), else empty.
std::string PolicyObjectOf(const std::string& path) {
    std::string rest = path;
    for (const char* name : {"Registry.xml", "Registry", "Preferences", "User"}) {
        const auto cut = rest.find_last_of("\\/");
        if (cut == std::string::npos || !EqualNoCase(rest.substr(cut + 1), name)) return "";
        rest.erase(cut);
    }
    return rest;
}

// What the policy object's entry in Active Directory needs after its folder's version moved: the
// LDIF for it when the folder is named by its {GUID}, as pol --gpo and gpp print it.
std::string DirectoryNote(const std::string& folder, std::uint32_t oldVersion,
                          std::uint32_t version, std::string_view pair) {
    const std::string need = "its entry in Active Directory must agree: versionNumber " +
                             std::to_string(version) + " and gPCUserExtensionNames listing " +
                             std::string(pair) + ".";
    const auto entry = regpol::GpoEntryOf(folder, {});
    if (!entry) return "Edited in SYSVOL, " + need;
    const std::string_view pairs[] = {pair};
    return "Edited in SYSVOL, " + need + " This LDIF does it, once " +
           std::string(regpol::kDomainPlaceholder) +
           " in it is your domain's DN (ldifde -i -f FILE; Samba: ldbmodify):\n\n" +
           regpol::GpoLdif(*entry, oldVersion, version, pairs);
}

// The items into a policy object (with its gpt.ini), or into a Registry.xml alone; the text after
// the saved values.
Result<std::string> WritePreferences(const DriveSet& drives, const std::string& path, bool agreed,
                                     const std::vector<prefs::Target>& targets,
                                     prefs::ItemAction action, fileio::Waiter* waiter) {
    const Result<std::string> changed = prefs::ChangedNow();
    if (!changed) return Failure{changed.failure().message + ". Nothing was written."};
    const std::string gpo = PolicyObjectOf(path);
    if (!gpo.empty()) {
        prefs::GppRequest request;
        request.drives = drives;
        request.policy = kPolicy;
        request.targets = targets;
        request.action = action;
        request.changed = *changed;
        request.waiter = waiter;
        const auto written = prefs::WriteGpp(gpo, request);
        if (!written) return written.failure();
        return "The items apply " + prefs::AudienceText(targets) +
               ". The policy object's version is now " + std::to_string(written->newVersion) +
               ". " +
               DirectoryNote(gpo, written->oldVersion, written->newVersion, written->extensionPair);
    }
    const std::vector<prefs::Item> items =
        prefs::ItemsFor(drives, kPolicy, targets, *changed, action);
    auto existing = regpol::ReadExisting(path);
    if (!existing) return existing.failure();
    std::string bytes = prefs::RenderRegistryXml(items);
    std::optional<fileio::FileId> consent;
    if (*existing && agreed) {
        // The file read is the one replaced, and only if it is still that file.
        auto edit = prefs::AddItems((*existing)->bytes, items);
        if (!edit) {
            return Failure{"The existing " + Quoted(path) + " cannot be edited: " +
                           edit.failure().message + ". Nothing was changed."};
        }
        bytes = std::move(edit->bytes);
        consent = (*existing)->id;
    }
    if (Status written = Written({{path, std::move(bytes), consent}}); !written) {
        return written.failure();
    }
    return "The items apply " + prefs::AudienceText(targets) +
           ". They belong in a policy object's User\\Preferences\\Registry folder, whose "
           "gpt.ini version must move; tarnwick-cli gpp --gpo does both, and so does saving "
           "them there.";
}

}  // namespace

Result<std::string> WriteExport(const DriveSet& drives, const ExportTarget& target,
                                fileio::Waiter* waiter) {
    const bool remove = target.remove;
    const std::uint32_t mask = remove ? 0 : drives.Mask();
    std::string path = target.path;
    bool agreed = target.agreed;
    // A name typed without an extension gets the type's; the dialog asked nothing about that
    // name, so a file there is not replaced.
    if (target.kind != ExportKind::Intune && !HasExtension(path)) {
        path += ExtensionOf(target.kind);
        agreed = false;
    }
    Status outcome;
    std::string next;
    std::string done = "Saved " + ValueText(drives) + " to " + Quoted(path) + ".";
    switch (target.kind) {
        case ExportKind::Reg:
            outcome = Written(path,
                              regfile::RegFileBytes(remove ? regfile::RegDeleteText(kPolicy)
                                                           : regfile::RegText(mask, kPolicy)),
                              agreed);
            if (remove) {
                done = Removal("Saved the file that removes the restriction to " + Quoted(path),
                               msg::kDeletedOnImport);
            }
            next =
                "Import it with \"reg import\" or a double-click; Explorer applies it at the "
                "user's next sign-in.";
            break;
        case ExportKind::Pol: {
            // Saved into a policy object or the local policy, it is that object's, edited as
            // pol --gpo and pol --local edit it: merged, under the object's lock, with its
            // gpt.ini version moved (for the local policy in the real System32).
            const auto place = regpol::PolPlaceOf(path);
            if (!place) return place.failure();
            const auto action = remove ? regpol::PolAction::Remove : regpol::PolAction::Set;
            if (place->kind != regpol::PolPlaceKind::File) {
                const bool local = place->kind == regpol::PolPlaceKind::LocalPolicy;
                auto change =
                    local ? regpol::EditLocalPolicy(place->folder, mask, kPolicy, action, waiter)
                          : regpol::EditGpo(place->folder, mask, kPolicy, action, false, waiter);
                if (!change) return change.failure();
                const std::string where = (local ? "the local policy in " : "the policy object ") +
                                          Quoted(place->folder) + " (gpt.ini version " +
                                          std::to_string(change->oldVersion) + " -> " +
                                          std::to_string(change->newVersion) + ")";
                const std::string saved =
                    remove ? Removal("Removed the restriction from " + where, msg::kRecordsRemoved)
                           : "Saved " + ValueText(drives) + " to " + where + ".";
                if (local) return saved;
                return saved + "\n\n" +
                       DirectoryNote(place->folder, change->oldVersion, change->newVersion,
                                     regpol::kRegistryPolicyPair);
            }
            // A Registry.pol agreed to is merged: its other settings stay.
            auto written = regpol::WritePolFile(path, mask, kPolicy, action, agreed);
            if (!written) outcome = written.failure();
            if (remove) {
                done =
                    Removal("Removed the restriction from " + Quoted(path), msg::kRecordsRemoved);
            }
            next = std::string(
                       "It belongs in a policy object's User folder, whose gpt.ini version "
                       "must move; tarnwick-cli pol ") +
                   (remove ? "--remove " : "") + "--gpo does both, and so does saving it there.";
            break;
        }
        case ExportKind::SambaJson:
            outcome = Written(
                path, remove ? deploy::SambaRemoveJson(kPolicy) : deploy::SambaJson(mask, kPolicy),
                agreed);
            if (remove) {
                done = Removal("Saved the JSON that removes the restriction to " + Quoted(path),
                               msg::kRecordsRemoved);
            }
            next = std::string("On the domain controller: samba-tool gpo ") +
                   (remove ? "remove" : "load") + " {GPO-GUID} --content " + Quoted(path) +
                   " -U Administrator";
            break;
        case ExportKind::Preferences: {
            const auto action = remove ? prefs::ItemAction::Delete : prefs::ItemAction::Update;
            auto written = WritePreferences(drives, path, agreed, target.targets, action, waiter);
            if (!written) return written.failure();
            if (remove) {
                done = Removal("Saved the items that remove the restriction to " + Quoted(path),
                               msg::kDeletedByClient);
                next = std::string(msg::kKeepDeletionItems) + " ";
            }
            next += std::move(*written);
            break;
        }
        case ExportKind::Intune: {
            outcome = WriteIntune(drives, path, remove);
            const ScriptNames names = IntuneNames(remove);
            if (remove) {
                done = Removal("Saved the scripts that remove the restriction to " + Quoted(path),
                               msg::kDeletedByRemediation);
            }
            next = "Upload " + std::string(names.detect) + " and " + std::string(names.remediate) +
                   " as an Intune remediation; the scripts' first lines say how.";
            break;
        }
    }
    if (!outcome) return outcome.failure();
    return done + "\n\n" + next;
}

void Export_Click(FormView& view, HWND owner) {
    const DriveSet drives = ReadDriveSet(view);
    win32::ComScope com;
    win32::ComRef<IFileSaveDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileSaveDialog, reinterpret_cast<void**>(dialog.out())))) {
        view.MsgBox("The system's Save dialog is not available.", kMbCritical, msg::kAppTitle);
        return;
    }
    const COMDLG_FILTERSPEC types[] = {
        {L"Registry file (*.reg)", L"*.reg"},
        {L"Registry.pol for a policy object (*.pol)", L"*.pol"},
        {L"Samba JSON for samba-tool gpo load (*.json)", L"*.json"},
        {L"Intune remediation scripts (a new folder)", L"*"},
        {L"Preference items with targeting (Registry.xml)", L"*.xml"},
    };
    dialog->SetFileTypes(ARRAYSIZE(types), types);
    dialog->SetFileTypeIndex(1);
    dialog->SetTitle(L"Export the drive restriction");
    dialog->SetFileName(Widen(policy::kPairName).c_str());
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_OVERWRITEPROMPT | FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR);
    // The way back, one choice beside the file type; a dialog that cannot add it exports only.
    constexpr DWORD kRemoveChoice = 1;
    win32::ComRef<IFileDialogCustomize> custom;
    if (SUCCEEDED(dialog->QueryInterface(IID_IFileDialogCustomize,
                                         reinterpret_cast<void**>(custom.out())))) {
        custom->AddCheckButton(kRemoveChoice, L"Remove the restriction", FALSE);
    }
    if (FAILED(dialog->Show(owner))) return;  // cancelled
    BOOL remove = FALSE;
    if (custom.get() != nullptr) custom->GetCheckButtonState(kRemoveChoice, &remove);
    // Setting needs drives; removing takes out whatever the values hold.
    if (!remove && drives.Empty()) {
        view.MsgBox(msg::kSelectDrives, kMbCritical, msg::kAppTitle);
        return;
    }
    UINT typeIndex = 1;
    dialog->GetFileTypeIndex(&typeIndex);
    win32::ComRef<IShellItem> chosen;
    PWSTR wide = nullptr;
    if (FAILED(dialog->GetResult(chosen.out())) ||
        FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &wide)) || !wide) {
        view.MsgBox("The Save dialog gave no file system path. Nothing was written.", kMbCritical,
                    msg::kAppTitle);
        return;
    }
    ExportTarget target;
    target.remove = remove != FALSE;
    target.path = Narrow(wide);
    CoTaskMemFree(wide);
    target.kind =
        typeIndex >= 1 && typeIndex <= 5 ? static_cast<ExportKind>(typeIndex) : ExportKind::Reg;
    if (target.kind == ExportKind::Preferences && !AskTargets(owner, target.targets)) {
        return;  // cancelled: nothing written
    }
    // The dialog's overwrite prompt is the consent, for the file that is there now.
    target.agreed = fileio::FileExists(target.path);
    const Result<std::string> outcome = [&] {
        // Should another run hold what is written, the window shows its waiting and can stop it;
        // the box goes before the outcome is told.
        LockWait wait(owner);
        return WriteExport(drives, target, &wait);
    }();
    if (!outcome) {
        view.MsgBox(outcome.failure().message, kMbCritical, msg::kAppTitle);
        return;
    }
    const auto place = regpol::PolPlaceOf(target.path);
    if (target.kind != ExportKind::Pol || !place ||
        place->kind != regpol::PolPlaceKind::LocalPolicy) {
        view.MsgBox(*outcome, MB_ICONINFORMATION, msg::kAppTitle);
        return;
    }
    // Local policy: offer what pol --local --now does.
    const int answer = view.MsgBox(*outcome +
                                       "\n\nApply it now? Windows applies user policy at once, "
                                       "and Tarnwick checks the values in force.",
                                   MB_YESNO | MB_ICONQUESTION, msg::kAppTitle);
    if (answer != IDYES) return;
    const regpol::WrittenValues written{
        kPolicy, target.remove ? std::nullopt : std::optional<std::uint32_t>(drives.Mask()),
        std::nullopt};
    view.MsgBox(regpol::ApplyUserPolicyNow(written), MB_ICONINFORMATION, msg::kAppTitle);
}

}  // namespace tarnwick::app
