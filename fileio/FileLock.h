// One writer at a time for a set of files: a byte-range lock on a lock file that every writer, of
// either build, takes before it reads what it will replace and holds until the replace is done. A
// holder that ends without letting go (killed, crashed) frees the lock with its process, so no run
// waits on a dead one.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/Result.h"
#include "fileio/Platform.h"

namespace tarnwick::fileio {

// How long a writer waits for another before it gives up, by default.
inline constexpr std::chrono::milliseconds kLockWait{30000};

// How a writer spends the time while another run holds the lock of what it writes. This one sleeps
// between two tries and says nothing; the window shows the wait and can stop it, the CLI says on
// stderr that it waits.
class Waiter {
  public:
    explicit Waiter(std::chrono::milliseconds limit = kLockWait) : limit_(limit) {}
    virtual ~Waiter() = default;
    Waiter(const Waiter&) = delete;
    Waiter& operator=(const Waiter&) = delete;

    // How long to wait before giving up.
    std::chrono::milliseconds Limit() const { return limit_; }
    // The pause between two tries of the lock on `what` ("the policy object \"...\""), which
    // another run holds; false to stop waiting.
    virtual bool Pause(std::string_view what, std::uint32_t milliseconds);
    // The lock on `what` was taken after at least one pause.
    virtual void GoingOn(std::string_view /*what*/) {}

  private:
    std::chrono::milliseconds limit_;
};

class FileLock {
  public:
    FileLock() = default;
    ~FileLock() { Release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock at `path`, which guards `what`, trying again every tenth of a second for up
    // to the waiter's limit, with the waiter's pause between two tries. Busy when another writer
    // held it all that time, cancelled (and busy) when the waiter stopped waiting; otherwise a
    // failure is the system's (a folder that may not be written), with the message completing a
    // sentence that names the lock file.
    Result<void, LockFailure> Take(const std::string& path, std::string_view what, Waiter& waiter);
    // The same, waiting up to `wait` in silence.
    Result<void, LockFailure> Take(const std::string& path, std::chrono::milliseconds wait);
    // Lets the lock go; the file stays for the next writer. What fails then is of no consequence
    // to the files written, and the lock ends with the process anyway.
    void Release();

  private:
    std::string path_;
    Handle handle_ = kNoHandle;
};

}  // namespace tarnwick::fileio
