#include "fileio/FileLock.h"

#include "fileio/NewFile.h"

namespace tarnwick::fileio {

namespace {

constexpr std::uint32_t kRetryMilliseconds = 100;

}  // namespace

Result<void, LockFailure> FileLock::Take(const std::string& path, std::chrono::milliseconds wait,
                                         const std::function<bool(std::uint32_t)>& pause) {
    Release();
    Platform& platform = CurrentPlatform();
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        Result<Handle, LockFailure> held = platform.TryLock(path);
        if (held) {
            path_ = path;
            handle_ = *held;
            return {};
        }
        LockFailure failure = held.failure();
        failure.message = failure.busy ? "." : CauseText(failure, true);
        if (!failure.busy || std::chrono::steady_clock::now() >= deadline) return failure;
        if (!pause) {
            platform.Pause(kRetryMilliseconds);
        } else if (!pause(kRetryMilliseconds)) {
            failure.cancelled = true;
            return failure;
        }
    }
}

void FileLock::Release() {
    if (handle_ == kNoHandle) return;
    (void)CurrentPlatform().Unlock(path_, handle_);
    handle_ = kNoHandle;
    path_.clear();
}

}  // namespace tarnwick::fileio
