#include "fileio/FileLock.h"

#include "fileio/NewFile.h"
#include "fileio/TempFiles.h"

namespace tarnwick::fileio {

namespace {

constexpr std::uint32_t kRetryMilliseconds = 100;

}  // namespace

Result<void, LockFailure> FileLock::Take(const std::string& path, std::chrono::milliseconds wait) {
    Release();
    Platform& platform = CurrentPlatform();
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        LockFailure failure;
        {
            // The file is known to the interruption handlers from the moment it is held.
            const InterruptionsHeld interruptions;
            Result<Handle, LockFailure> held = platform.TryLock(path);
            if (held) {
                path_ = path;
                handle_ = *held;
                slot_ = TrackTempFile(path);
                return {};
            }
            failure = held.failure();
        }
        failure.message = failure.busy ? "." : CauseText(failure, true);
        if (!failure.busy || std::chrono::steady_clock::now() >= deadline) return failure;
        platform.Pause(kRetryMilliseconds);
    }
}

void FileLock::Release() {
    if (handle_ == kNoHandle) return;
    UntrackTempFile(slot_);
    slot_ = -1;
    (void)CurrentPlatform().Unlock(path_, handle_);
    handle_ = kNoHandle;
    path_.clear();
}

}  // namespace tarnwick::fileio
