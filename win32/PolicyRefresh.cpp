#include "win32/PolicyRefresh.h"

#include <windows.h>

#include "win32/SystemFolder.h"

namespace tarnwick::win32 {

namespace {

using RefreshPolicyExFn = BOOL(WINAPI*)(BOOL machine, DWORD options);
using GpNotificationFn = BOOL(WINAPI*)(HANDLE event, BOOL machine);
using UnregisterFn = BOOL(WINAPI*)(HANDLE event);
using SendTimeoutFn = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM, UINT, UINT, PDWORD_PTR);

constexpr DWORD kForce = 1;  // RP_FORCE: apply every setting again, changed or not
constexpr UINT kBroadcastWaitMs = 5000;

template <typename F>
F Find(HMODULE module, const char* name) {
    // The cast through a generic function pointer is how GetProcAddress's result is typed.
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Explorer re-reads its restrictions when told that "Policy" changed.
void BroadcastPolicyChange() {
    HMODULE user32 = LoadSystemLibrary(L"user32.dll");
    if (!user32) return;
    if (auto send = Find<SendTimeoutFn>(user32, "SendMessageTimeoutW")) {
        DWORD_PTR answer = 0;
        send(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Policy"),
             SMTO_ABORTIFHUNG, kBroadcastWaitMs, &answer);
    }
    FreeLibrary(user32);
}

PolicyRefresh AskEngine(std::uint32_t waitMs) {
    HMODULE userenv = LoadSystemLibrary(L"userenv.dll");
    if (!userenv) return {RefreshOutcome::Failed, GetLastError()};
    const auto refresh = Find<RefreshPolicyExFn>(userenv, "RefreshPolicyEx");
    const auto notify = Find<GpNotificationFn>(userenv, "RegisterGPNotification");
    const auto unregister = Find<UnregisterFn>(userenv, "UnregisterGPNotification");
    PolicyRefresh result;
    if (!refresh) {
        result.code = GetLastError();
        FreeLibrary(userenv);
        return result;
    }
    // The notification is registered before the refresh, so that a fast engine cannot signal
    // before anyone listens.
    HANDLE applied = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const bool listening = applied && notify && unregister && notify(applied, FALSE);
    if (!refresh(FALSE, kForce)) {
        result.code = GetLastError();
    } else if (!listening) {
        // Asked, but with no way to know when it is done: the engine applies it in the
        // background, and the caller reads what is in force when it reads.
        result.outcome = RefreshOutcome::TimedOut;
    } else {
        result.outcome = WaitForSingleObject(applied, waitMs) == WAIT_OBJECT_0
                             ? RefreshOutcome::Applied
                             : RefreshOutcome::TimedOut;
    }
    if (listening) unregister(applied);
    if (applied) CloseHandle(applied);
    FreeLibrary(userenv);
    return result;
}

}  // namespace

bool RunsUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

PolicyRefresh RefreshUserPolicy(std::uint32_t waitMs) {
    // Wine has neither the engine nor an Explorer that reads these policies, and its first window
    // message starts a desktop process that would inherit (and hold) the caller's standard
    // handles: nothing is asked there.
    if (RunsUnderWine()) return {RefreshOutcome::NoEngine, 0};
    const PolicyRefresh result = AskEngine(waitMs);
    BroadcastPolicyChange();
    return result;
}

}  // namespace tarnwick::win32
