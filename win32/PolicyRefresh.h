// Asking Windows to apply user policy now: the Group Policy engine's refresh (userenv.dll, from the
// system folder only), a wait for it to finish, and the broadcast that tells running programs,
// Explorer first, that policy changed.
#pragma once

#include <cstdint>

namespace tarnwick::win32 {

enum class RefreshOutcome {
    Applied,   // the engine signalled that it applied user policy
    TimedOut,  // it did not signal within the wait
    NoEngine,  // Wine: no Group Policy engine runs, so nothing was asked
    Failed,    // userenv.dll or its refresh could not be used; `code` says why
};

struct PolicyRefresh {
    RefreshOutcome outcome = RefreshOutcome::Failed;
    std::uint32_t code = 0;  // GetLastError() of the failed step
};

// Whether this process runs under Wine (ntdll exports wine_get_version there).
bool RunsUnderWine();

// RefreshPolicyEx(FALSE, RP_FORCE), waiting up to `waitMs` for the engine's notification that user
// policy was applied; then WM_SETTINGCHANGE with "Policy" to every top-level window
// (SendMessageTimeout, SMTO_ABORTIFHUNG, so a hung window cannot hold the caller). Under Wine
// neither: NoEngine.
PolicyRefresh RefreshUserPolicy(std::uint32_t waitMs);

}  // namespace tarnwick::win32
