#include "fileio/FileLock.h"

#include "fileio/NewFile.h"
#include "fileio/TempFiles.h"

namespace tarnwick::fileio {

namespace {

constexpr std::uint32_t kRetryMilliseconds = 100;

}  // namespace

Status FileLock::Take(const std::string& path, std::chrono::milliseconds wait, bool& busy) {
    Release();
    Platform& platform = CurrentPlatform();
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        SysError why;
        Handle handle = kNoHandle;
        bool held = false;
        {
            // The file is known to the interruption handlers from the moment it is held.
            const InterruptionsHeld interruptions;
            if (platform.TryLock(path, handle, held, why)) {
                path_ = path;
                handle_ = handle;
                slot_ = TrackTempFile(path);
                busy = false;
                return {};
            }
        }
        busy = held;
        if (!held) return Failure{CauseText(why, true), why.code};
        if (std::chrono::steady_clock::now() >= deadline) return Failure{".", why.code};
        platform.Pause(kRetryMilliseconds);
    }
}

void FileLock::Release() {
    if (handle_ == kNoHandle) return;
    UntrackTempFile(slot_);
    slot_ = -1;
    SysError ignored;
    CurrentPlatform().Unlock(path_, handle_, ignored);
    handle_ = kNoHandle;
    path_.clear();
}

}  // namespace tarnwick::fileio
