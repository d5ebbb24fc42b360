#include "fileio/win32/Retry.h"

namespace tarnwick::fileio::win32 {

namespace {
bool Transient(DWORD code) {
    return code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED;
}
}  // namespace

RenameCalls& CurrentRenameCalls() {
    static RenameCalls calls;
    return calls;
}

bool WithRetries(const std::function<bool()>& attempt) {
    for (const DWORD pause : kRetryPauses) {
        if (attempt()) return true;
        if (!Transient(GetLastError())) return false;
        CurrentRenameCalls().sleep(pause);
    }
    return attempt();
}

}  // namespace tarnwick::fileio::win32
