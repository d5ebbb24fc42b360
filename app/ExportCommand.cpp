#include "app/ExportCommand.h"

#include <objbase.h>
#include <shobjidl.h>

#include "app/WideText.h"
#include "command/Messages.h"
#include "deploy/IntuneScripts.h"
#include "deploy/SambaJson.h"
#include "fileio/NewFile.h"
#include "fileio/mdlAPIFiles.h"
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
    std::string letters;
    for (int i = 0; i < kDriveCount; ++i)
        if ((drives.Mask() >> i) & 1u) letters += static_cast<char>('A' + i);
    return std::string(kNoDrivesValue) + " = " + std::to_string(drives.Mask()) + " (drives " +
           (letters.empty() ? std::string("none") : letters) + " hidden)";
}

Status Written(const std::string& path, const std::string& bytes, bool agreed) {
    std::optional<fileio::FileId> consent;
    if (agreed) consent = fileio::FileIdentity(path);
    const auto written = fileio::WriteNewFile(path, bytes, consent);
    if (written) return {};
    const fileio::NewFileFailure& failure = written.failure();
    return Failure{"The file " + Quoted(path) + " was not written" + failure.message +
                       (failure.hadFile ? " The file that was there is unchanged." : ""),
                   failure.code};
}

Status WriteIntune(const DriveSet& drives, const std::string& folder) {
    const Result<std::uint32_t> attributes = fileio::CurrentPlatform().Attributes(folder);
    if (!attributes) {
        if (Status made = fileio::CurrentPlatform().CreateFolder(folder); !made) {
            return Failure{"The folder " + Quoted(folder) + " could not be made" +
                               fileio::Because(made.failure()),
                           made.failure().code};
        }
    } else if ((*attributes & fileio::kAttrDirectory) == 0) {
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
    const Status one =
        Written(detect, deploy::ScriptFileBytes(deploy::DetectScript(drives, kPolicy)), false);
    if (!one) return one;
    return Written(remediate, deploy::ScriptFileBytes(deploy::RemediateScript(drives, kPolicy)),
                   false);
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
    };
    dialog->SetFileTypes(ARRAYSIZE(types), types);
    dialog->SetFileTypeIndex(1);
    dialog->SetTitle(L"Export the drive restriction");
    dialog->SetFileName(L"TarnwickDrives");
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
        typeIndex >= 1 && typeIndex <= 4 ? static_cast<ExportKind>(typeIndex) : ExportKind::Reg;
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
