#include "app/PolicyCommand.h"

#include <objbase.h>
#include <shobjidl.h>

#include "app/WideText.h"
#include "generate/Messages.h"
#include "policy/MakePolicy.h"
#include "win32/ComRef.h"

namespace tarnwick::app {

namespace {

// COM for the picker, for as long as it is up; a thread that has it already keeps it.
class ComScope {
  public:
    ComScope()
        : ok_(SUCCEEDED(
              CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComScope() {
        if (ok_) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    bool ok_;
};

}  // namespace

std::optional<std::string> PickPolicyFolder(HWND owner, const std::string& start) {
    ComScope com;
    win32::ComRef<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileOpenDialog, reinterpret_cast<void**>(dialog.out())))) {
        return std::nullopt;
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
    if (FAILED(dialog->Show(owner))) return std::nullopt;  // cancelled, or no picker
    win32::ComRef<IShellItem> chosen;
    if (FAILED(dialog->GetResult(chosen.out()))) return std::nullopt;
    PWSTR path = nullptr;
    if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) return std::nullopt;
    const std::string folder = Narrow(path);
    CoTaskMemFree(path);
    return folder;
}

void MakePolicyDefinitions_Click(FormView& view, HWND owner, const std::string& windir) {
    const DriveSet drives = ReadDriveSet(view);
    if (drives.Empty()) {
        view.MsgBox(msg::kSelectDrives, kMbCritical, msg::kAppTitle);
        return;
    }
    const std::string start = windir.empty() ? std::string() : windir + "\\PolicyDefinitions";
    const std::optional<std::string> folder = PickPolicyFolder(owner, start);
    if (!folder) return;
    const Result<policy::PolicyOutcome> made = policy::MakePolicyDefinitions(drives, *folder);
    view.MsgBox(made ? made->message : made.failure().message,
                made ? MB_ICONINFORMATION : kMbCritical, msg::kAppTitle);
}

}  // namespace tarnwick::app
