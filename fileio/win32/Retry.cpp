#include "fileio/win32/Retry.h"

#include "fileio/win32/SystemError.h"

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

Status WithRetries(const std::function<bool()>& attempt) {
    for (const DWORD pause : kRetryPauses) {
        if (attempt()) return {};
        if (!Transient(GetLastError())) return LastError();
        CurrentRenameCalls().sleep(pause);
    }
    if (attempt()) return {};
    return LastError();
}

}  // namespace tarnwick::fileio::win32
