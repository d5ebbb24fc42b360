#include "app/mdlMain.h"

#include <windows.h>

#include <commctrl.h>

#include "app/frmMain.h"
#include "win32/SystemFolder.h"

namespace tarnwick::app {
namespace {

// The one window lives as long as the process.
frmMain& TheForm() {
    static frmMain form;
    return form;
}

}  // namespace

bool Main() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    frmMain& form = TheForm();
    if (!form.Load(GetModuleHandleW(nullptr))) return false;
    form.Show(SW_SHOWDEFAULT);
    return true;
}

int RunEventLoop() {
    HWND window = TheForm().Handle();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // The dialog keys: Tab and Shift+Tab in tab order, arrows within the option pair.
        if (IsWindow(window) && IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace tarnwick::app

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    tarnwick::win32::LoadSystemDllsOnly();
    if (!tarnwick::app::Main()) return 1;
    return tarnwick::app::RunEventLoop();
}
