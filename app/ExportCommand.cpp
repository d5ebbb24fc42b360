#include "app/ExportCommand.h"

#include <objbase.h>
#include <shobjidl.h>

#include "app/PreferenceTarget.h"
#include "app/WideText.h"
#include "app/resource.h"
#include "command/Messages.h"
#include "core/Text.h"
#include "deploy/IntuneScripts.h"
#include "deploy/SambaJsonWriter.h"
#include "fileio/WriteFiles.h"
#include "fileio/mdlAPIFiles.h"
#include "policy/PolicyText.h"
#include "prefs/GppFiles.h"
#include "regfile/RegFile.h"
#include "regpol/ApplyNow.h"
#include "regpol/LocalPolicy.h"
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

Status WriteIntune(const DriveSet& drives, const std::string& folder) {
    const Result<std::uint32_t> attributes = fileio::CurrentPlatform().Attributes(folder);
    if (attributes && (*attributes & fileio::kAttrDirectory) == 0) {
        return Failure{Quoted(folder) +
                       " is a file. For the Intune scripts, name a new folder. Nothing was "
                       "written."};
    }
    const std::string detect = JoinPath(folder, deploy::kDetectScriptName);
    const std::string remediate = JoinPath(folder, deploy::kRemediateScriptName);
    for (const std::string& path : {detect, remediate}) {
        if (fileio::FileExists(path)) {
            return Failure{Quoted(path) + " is already there. Nothing was written."};
        }
    }
    return Written(
        {{detect, deploy::ScriptFileBytes(deploy::DetectScript(drives, kPolicy)), std::nullopt},
         {remediate, deploy::ScriptFileBytes(deploy::RemediateScript(drives, kPolicy)),
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

// The items into a policy object (with its gpt.ini), or into a Registry.xml alone; the text after
// the saved values.
Result<std::string> WritePreferences(const DriveSet& drives, const std::string& path, bool agreed,
                                     const std::vector<prefs::Target>& targets) {
    const Result<std::string> changed = prefs::ChangedNow();
    if (!changed) return Failure{changed.failure().message + ". Nothing was written."};
    const std::string gpo = PolicyObjectOf(path);
    if (!gpo.empty()) {
        prefs::GppRequest request;
        request.drives = drives;
        request.policy = kPolicy;
        request.targets = targets;
        request.changed = *changed;
        const auto written = prefs::WriteGpp(gpo, request);
        if (!written) return written.failure();
        return "The policy object's version is now " + std::to_string(written->newVersion) +
               ". Edited in SYSVOL, its entry in Active Directory must agree: versionNumber " +
               std::to_string(written->newVersion) + " and gPCUserExtensionNames listing " +
               std::string(written->extensionPair) + ".";
    }
    const std::vector<prefs::Item> items = prefs::ItemsFor(drives, kPolicy, targets, *changed);
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
    return std::string(
        "It belongs in a policy object's User\\Preferences\\Registry folder, whose gpt.ini "
        "version must move; tarnwick-cli gpp --gpo does both, and so does saving it there.");
}

// Export's dialog for whom the items apply; the answer is kept in the dialog's user data.
INT_PTR CALLBACK TargetDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        CheckRadioButton(dialog, IDC_GPP_EVERYONE, IDC_GPP_OU, IDC_GPP_EVERYONE);
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    if (LOWORD(wParam) != IDOK) return FALSE;
    const auto text = [&](int id) {
        wchar_t buffer[1024] = {};
        GetDlgItemTextW(dialog, id, buffer, 1024);
        return Narrow(buffer);
    };
    TargetAnswer answer;
    answer.audience = IsDlgButtonChecked(dialog, IDC_GPP_GROUP) == BST_CHECKED ? Audience::Group
                      : IsDlgButtonChecked(dialog, IDC_GPP_OU) == BST_CHECKED  ? Audience::OrgUnit
                                                                               : Audience::Everyone;
    answer.groupName = text(IDC_GPP_GROUPNAME);
    answer.groupSid = text(IDC_GPP_GROUPSID);
    answer.ouName = text(IDC_GPP_OUNAME);
    answer.negated = IsDlgButtonChecked(dialog, IDC_GPP_NOT) == BST_CHECKED;
    auto targets = TargetsOf(answer);
    if (!targets) {
        // The dialog stays, with what was typed, until the answer is whole or cancelled.
        MessageBoxW(dialog, Widen(targets.failure().message).c_str(), Widen(msg::kAppTitle).c_str(),
                    MB_ICONEXCLAMATION);
        return TRUE;
    }
    *reinterpret_cast<std::vector<prefs::Target>*>(GetWindowLongPtrW(dialog, DWLP_USER)) =
        std::move(*targets);
    EndDialog(dialog, IDOK);
    return TRUE;
}

}  // namespace

Result<std::string> WriteExport(const DriveSet& drives, const ExportTarget& target) {
    const std::uint32_t mask = drives.Mask();
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
    switch (target.kind) {
        case ExportKind::Reg:
            outcome = Written(path, regfile::RegFileBytes(regfile::RegText(mask, kPolicy)), agreed);
            next =
                "Import it with \"reg import\" or a double-click; Explorer applies it at the "
                "user's next sign-in.";
            break;
        case ExportKind::Pol: {
            // The local policy's own Registry.pol is edited as pol --local edits it: merged, with
            // the version and extension in gpt.ini, and in the real System32.
            if (const auto local = regpol::LocalPolicyOfPol(path)) {
                auto change = regpol::EditGpo(*local, mask, kPolicy, regpol::PolAction::Set, true);
                if (!change) return change.failure();
                return "Saved " + ValueText(drives) + " to the local policy in " + Quoted(*local) +
                       " (gpt.ini version " + std::to_string(change->newVersion) + ").";
            }
            // A Registry.pol agreed to is merged: its other settings stay.
            auto written =
                regpol::WritePolFile(path, mask, kPolicy, regpol::PolAction::Set, agreed);
            if (!written) outcome = written.failure();
            next =
                "It belongs in a policy object's User folder, whose gpt.ini version must "
                "move; tarnwick-cli pol --gpo does both.";
            break;
        }
        case ExportKind::SambaJson:
            outcome = Written(path, deploy::SambaJson(mask, kPolicy), agreed);
            next = "On the domain controller: samba-tool gpo load {GPO-GUID} --content " +
                   Quoted(path) + " -U Administrator";
            break;
        case ExportKind::Preferences: {
            auto written = WritePreferences(drives, path, agreed, target.targets);
            if (!written) return written.failure();
            next = std::move(*written);
            break;
        }
        case ExportKind::Intune:
            outcome = WriteIntune(drives, path);
            next = "Upload " + std::string(deploy::kDetectScriptName) + " and " +
                   std::string(deploy::kRemediateScriptName) +
                   " as an Intune remediation; the scripts' first lines say how.";
            break;
    }
    if (!outcome) return outcome.failure();
    return "Saved " + ValueText(drives) + " to " + Quoted(path) + ".\n\n" + next;
}

void Export_Click(FormView& view, HWND owner) {
    const DriveSet drives = ReadDriveSet(view);
    if (drives.Empty()) {
        view.MsgBox(msg::kSelectDrives, kMbCritical, msg::kAppTitle);
        return;
    }
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
    if (FAILED(dialog->Show(owner))) return;  // cancelled
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
    target.path = Narrow(wide);
    CoTaskMemFree(wide);
    target.kind =
        typeIndex >= 1 && typeIndex <= 5 ? static_cast<ExportKind>(typeIndex) : ExportKind::Reg;
    if (target.kind == ExportKind::Preferences &&
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_GPP_TARGET), owner,
                        TargetDialog, reinterpret_cast<LPARAM>(&target.targets)) != IDOK) {
        return;  // cancelled: nothing written
    }
    // The dialog's overwrite prompt is the consent, for the file that is there now.
    target.agreed = fileio::FileExists(target.path);
    const Result<std::string> outcome = WriteExport(drives, target);
    if (!outcome) {
        view.MsgBox(outcome.failure().message, kMbCritical, msg::kAppTitle);
        return;
    }
    if (target.kind != ExportKind::Pol || !regpol::LocalPolicyOfPol(target.path)) {
        view.MsgBox(*outcome, MB_ICONINFORMATION, msg::kAppTitle);
        return;
    }
    // Local policy: offer what pol --local --now does.
    const int answer = view.MsgBox(*outcome +
                                       "\n\nApply it now? Windows applies user policy at once, "
                                       "and Tarnwick checks the values in force.",
                                   MB_YESNO | MB_ICONQUESTION, msg::kAppTitle);
    if (answer != IDYES) return;
    const regpol::WrittenValues written{kPolicy, drives.Mask(), std::nullopt};
    view.MsgBox(regpol::ApplyUserPolicyNow(written), MB_ICONINFORMATION, msg::kAppTitle);
}

}  // namespace tarnwick::app
