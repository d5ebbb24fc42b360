// One writer at a time for a set of files: a byte-range lock on a lock file that every writer, of
// either build, takes before it reads what it will replace and holds until the replace is done. A
// holder that ends without letting go (killed, crashed) frees the lock with its process, so no run
// waits on a dead one.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "core/Result.h"
#include "fileio/Platform.h"

namespace tarnwick::fileio {

// How long a writer waits for another before it gives up, by default.
inline constexpr std::chrono::milliseconds kLockWait{30000};

class FileLock {
  public:
    FileLock() = default;
    ~FileLock() { Release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock at `path`, trying again every tenth of a second for up to `wait`. Busy when
    // another writer held it all that time, or `pause` gave up; otherwise a failure is the
    // system's (a folder that may not be written), with the message completing a sentence that
    // names the lock file. `pause`, when given, does the waiting between two tries instead of a
    // sleep (a window handles its messages meanwhile) and answers false to stop waiting.
    Result<void, LockFailure> Take(const std::string& path, std::chrono::milliseconds wait,
                                   const std::function<bool(std::uint32_t)>& pause = {});
    // Lets the lock go; the file stays for the next writer. What fails then is of no consequence
    // to the files written, and the lock ends with the process anyway.
    void Release();

  private:
    std::string path_;
    Handle handle_ = kNoHandle;
};

}  // namespace tarnwick::fileio
