#include "fileio/FileLock.h"

#include "fileio/NewFile.h"

namespace tarnwick::fileio {

namespace {

constexpr std::uint32_t kRetryMilliseconds = 100;

}  // namespace

bool Waiter::Pause(std::string_view, std::uint32_t milliseconds) {
    CurrentPlatform().Pause(milliseconds);
    return true;
}

Result<void, LockFailure> FileLock::Take(const std::string& path, std::string_view what,
                                         Waiter& waiter) {
    Release();
    Platform& platform = CurrentPlatform();
    const auto deadline = std::chrono::steady_clock::now() + waiter.Limit();
    for (bool paused = false;; paused = true) {
        Result<Handle, LockFailure> held = platform.TryLock(path);
        if (held) {
            path_ = path;
            handle_ = *held;
            if (paused) waiter.GoingOn(what);
            return {};
        }
        LockFailure failure = held.failure();
        failure.message = failure.busy ? "." : CauseText(failure, true);
        if (!failure.busy || std::chrono::steady_clock::now() >= deadline) return failure;
        if (!waiter.Pause(what, kRetryMilliseconds)) {
            failure.cancelled = true;
            return failure;
        }
    }
}

Result<void, LockFailure> FileLock::Take(const std::string& path, std::chrono::milliseconds wait) {
    Waiter silent(wait);
    return Take(path, path, silent);
}

void FileLock::Release() {
    if (handle_ == kNoHandle) return;
    (void)CurrentPlatform().Unlock(path_, handle_);
    handle_ = kNoHandle;
    path_.clear();
}

}  // namespace tarnwick::fileio
