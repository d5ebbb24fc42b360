#include "app/PolicyCommand.h"

#include <objbase.h>
#include <shobjidl.h>

#include "app/LockWait.h"
#include "app/PickerAnswer.h"
#include "app/WideText.h"
#include "command/Messages.h"
#include "policy/MakePolicy.h"
#include "win32/ComRef.h"
#include "win32/SystemError.h"

namespace tarnwick::app {

namespace {

// The picker that did not come up, and what the system said of it.
Failure NoPicker(HRESULT result) {
    const win32::SystemError error = win32::ErrorFromCode(static_cast<std::uint32_t>(result));
    return Failure{"The folder picker could not be opened: " + error.text +
                       (!error.text.empty() && error.text.back() == '.' ? "" : "."),
                   error.code};
}

std::wstring TakeString(PWSTR text) {
    std::wstring taken = text != nullptr ? text : L"";
    CoTaskMemFree(text);
    return taken;
}

std::wstring PathOf(IShellItem* item) {
    PWSTR path = nullptr;
    if (item == nullptr || FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) return {};
    return TakeString(path);
}

// COM interfaces have no virtual destructor: objects go through Release, never delete.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// Keeps, when the user presses Open, what the name box holds and the folder the picker shows:
// together they say which folder was meant, whatever the picker then gives back.
class AnswerWatch final : public IFileDialogEvents {
  public:
    std::wstring typed, shownFolder;

    IFACEMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IFileDialogEvents) {
            *object = static_cast<IFileDialogEvents*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on the stack for as long as the picker is up: counting is not needed.
    IFACEMETHODIMP_(ULONG) AddRef() override { return 2; }
    IFACEMETHODIMP_(ULONG) Release() override { return 1; }
    IFACEMETHODIMP OnFileOk(IFileDialog* dialog) override {
        PWSTR name = nullptr;
        if (SUCCEEDED(dialog->GetFileName(&name))) typed = TakeString(name);
        win32::ComRef<IShellItem> folder;
        if (SUCCEEDED(dialog->GetFolder(folder.out()))) shownFolder = PathOf(folder.get());
        return S_OK;
    }
    IFACEMETHODIMP OnFolderChanging(IFileDialog*, IShellItem*) override { return S_OK; }
    IFACEMETHODIMP OnFolderChange(IFileDialog*) override { return S_OK; }
    IFACEMETHODIMP OnSelectionChange(IFileDialog*) override { return S_OK; }
    IFACEMETHODIMP OnShareViolation(IFileDialog*, IShellItem*,
                                    FDE_SHAREVIOLATION_RESPONSE*) override {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP OnTypeChange(IFileDialog*) override { return S_OK; }
    IFACEMETHODIMP OnOverwrite(IFileDialog*, IShellItem*, FDE_OVERWRITE_RESPONSE*) override {
        return E_NOTIMPL;
    }

    bool Whole(const std::wstring& answer) const {
        return PickerAnswerIsWhole(answer, typed, shownFolder);
    }
};
#pragma GCC diagnostic pop

}  // namespace

Result<std::optional<PickedPath>> PickPolicyFolder(HWND owner, const std::string& start) {
    win32::ComScope com;
    win32::ComRef<IFileOpenDialog> dialog;
    if (const HRESULT created =
            CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IFileOpenDialog, reinterpret_cast<void**>(dialog.out()));
        FAILED(created)) {
        return NoPicker(created);
    }
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST |
                       FOS_NOCHANGEDIR);
    dialog->SetTitle(L"PolicyDefinitions folder (local or central store)");
    if (!start.empty()) {
        win32::ComRef<IShellItem> folder;
        const std::wstring wideStart = Widen(start);
        if (SUCCEEDED(SHCreateItemFromParsingName(wideStart.c_str(), nullptr, IID_IShellItem,
                                                  reinterpret_cast<void**>(folder.out())))) {
            dialog->SetFolder(folder.operator->());
        }
    }
    AnswerWatch watch;
    DWORD cookie = 0;
    const bool watched = SUCCEEDED(dialog->Advise(&watch, &cookie));
    const HRESULT shown = dialog->Show(owner);
    if (watched) dialog->Unadvise(cookie);
    if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return std::optional<PickedPath>();
    if (FAILED(shown)) return NoPicker(shown);
    win32::ComRef<IShellItem> chosen;
    if (FAILED(dialog->GetResult(chosen.out()))) return std::optional<PickedPath>();
    const std::wstring path = PathOf(chosen.get());
    if (path.empty()) return std::optional<PickedPath>();
    if (!watch.Whole(path)) return std::optional<PickedPath>(PickedPath{"", true});
    return std::optional<PickedPath>(PickedPath{Narrow(path), false});
}

void MakePolicyDefinitions_Click(FormView& view, HWND owner, const std::string& windir) {
    const DriveSet drives = ReadDriveSet(view);
    if (drives.Empty()) {
        view.MsgBox(msg::kSelectDrives, kMbCritical, msg::kAppTitle);
        return;
    }
    const std::string start = windir.empty() ? std::string() : policy::LocalStore(windir);
    const Result<std::optional<PickedPath>> answer = PickPolicyFolder(owner, start);
    if (!answer) {
        view.MsgBox(answer.failure().message, kMbCritical, msg::kAppTitle);
        return;
    }
    const std::optional<PickedPath>& picked = *answer;
    if (!picked) return;
    if (picked->cut) {
        view.MsgBox(msg::kPickedPathCut, kMbCritical, msg::kAppTitle);
        return;
    }
    const std::string& folder = picked->folder;
    if (!policy::IsPolicyStore(folder) &&
        view.MsgBox(msg::StoreHint(folder) + msg::kCrLf + msg::kCrLf + msg::kWriteThereAnyway,
                    kMbYesNo | MB_ICONWARNING, msg::kAppTitle) != kIdYes) {
        return;
    }
    const Result<policy::PolicyOutcome> made = [&] {
        // Should another run hold the store, the window shows its waiting and can stop it; the
        // box goes before the outcome is told.
        LockWait wait(owner);
        return policy::MakePolicyDefinitions(drives, folder, {&wait});
    }();
    view.MsgBox(made ? made->message : made.failure().message,
                made ? MB_ICONINFORMATION : kMbCritical, msg::kAppTitle);
}

}  // namespace tarnwick::app
