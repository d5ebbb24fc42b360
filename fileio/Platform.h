// The platform's file calls, as the file helpers need them. One implementation sits on kernel32
// (wide-character calls), one on POSIX; tests can swap in another (for example one that fails the
// k-th call) with ScopedPlatform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Result.h"

namespace tarnwick::fileio {

// A failed call fails with what the system said: its description in UTF-8 as the message, and
// errno or GetLastError() as the code.

// A file's identity: volume serial and file index on Windows, device and inode on POSIX; and when
// it last changed (POSIX: ctime, Windows: last write), so that a file that took over a freed inode
// number, or one changed since, does not pass for the file as it was.
struct FileId {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    std::uint64_t changed = 0;
    friend bool operator==(const FileId&, const FileId&) = default;
};

// A date-time to the second, in local time.
struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

// Attribute bits as Windows numbers them; the POSIX layer maps its modes onto them.
inline constexpr std::uint32_t kAttrReadOnly = 0x1;
inline constexpr std::uint32_t kAttrHidden = 0x2;
inline constexpr std::uint32_t kAttrSystem = 0x4;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;

struct FileStat {
    // When the file was made. POSIX: its birth time where the file system records one, else the
    // earlier of its last change of data and of status, before which it cannot have been made.
    LocalTime creation;
    LocalTime lastWrite, lastAccess;
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;
    FileId id;
};

enum class Access {
    Read,   // read a file's data; a folder does not open
    Write,  // write a file's data; a folder does not open
    Query,  // only Stat the result (identity, times, attributes); folders open too
};

enum class Disposition {
    OpenExisting,      // fails when the path does not exist
    CreateNew,         // fails when the path exists
    CreateOrTruncate,  // an existing file is cut to empty
};

// What a failed call's error means to an administrator, where the system's codes say it plainly.
enum class Cause {
    Other,         // only the system's own description says it
    NoFolder,      // the folder on the path does not exist
    NotAFolder,    // a part of the path that should be a folder is a file (POSIX only)
    DiskFull,      // no space left (or the quota is spent)
    AccessDenied,  // no right to do it, or the file is read-only
    ReadOnlyDisk,  // the disk or share is write-protected
    NameTaken,     // something is already at the name
};
Cause CauseOf(const Failure& error);

// What a path names, links followed.
enum class EntryKind {
    Missing,       // nothing, not even a link
    Regular,       // a regular file (through links, if any)
    Folder,        // a folder
    Special,       // a device, pipe or socket: never read from or replaced
    DanglingLink,  // a link whose target is missing
};

struct Entry {
    EntryKind kind = EntryKind::Missing;
    FileId id;           // Regular and Folder only
    std::string target;  // Regular only: the file that receives writes (a link's final target)
};

using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

// A lock not taken: `busy` when another holder has it, else the system's failure.
struct LockFailure : Failure {
    bool busy = false;
    bool cancelled = false;  // busy, and the waiter stopped waiting
};

// The bytes of a lock file that a writer locks: the first one, which every SMB server and Wine map
// to a POSIX lock unchanged.
inline constexpr std::uint64_t kLockOffset = 0;
inline constexpr std::uint64_t kLockLength = 1;

// Every open shares reading and writing with others, as the helpers require. Paths are UTF-8.
class Platform {
  public:
    virtual ~Platform() = default;
    virtual Result<std::uint32_t> Attributes(const std::string& path) = 0;
    // Fails only when the system cannot tell (a folder on the way that may not be searched).
    virtual Result<Entry> Lookup(const std::string& path) = 0;
    virtual Result<Handle> Open(const std::string& path, Access access,
                                Disposition disposition) = 0;
    virtual Result<std::uint64_t> Size(Handle handle) = 0;
    virtual Status Seek(Handle handle, std::uint64_t offset) = 0;
    // Reads up to `size` bytes and gives how many; fewer only at the end of the file.
    virtual Result<std::size_t> Read(Handle handle, void* buffer, std::size_t size) = 0;
    virtual Status Write(Handle handle, const void* buffer, std::size_t size) = 0;
    // Copies `size` bytes from `from`'s position to `to`'s inside the system, never through this
    // process's memory (Linux: copy_file_range), and moves both positions on. False, with nothing
    // copied, where the system has no such copy for these files; the caller then reads and
    // writes. A layer without one (Windows, the tests' own layers) keeps this default.
    virtual Result<bool> CopyRange(Handle from, Handle to, std::uint64_t size) {
        (void)from;
        (void)to;
        (void)size;
        return false;
    }
    virtual Result<FileStat> Stat(Handle handle) = 0;
    // Puts what was written through `handle` on the disk.
    virtual Status Flush(Handle handle) = 0;
    virtual Status Close(Handle handle) = 0;
    // Moves `from` to `to` only while nothing is at `to`; fails, changing nothing, otherwise.
    virtual Status MoveNew(const std::string& from, const std::string& to) = 0;
    // Moves `from` over the existing file `to`, which keeps what was set on it (Windows: its ACL,
    // attributes and streams; POSIX: its mode, its extended attributes and POSIX ACL, and where
    // allowed its owner; an attribute this process can read but not give is a failure, with
    // nothing moved). A read-only `to` is refused. When nothing is at `to`, the same as MoveNew.
    virtual Status Replace(const std::string& from, const std::string& to) = 0;
    virtual Status Remove(const std::string& path) = 0;
    // Makes a folder; fails when anything is at `path` already.
    virtual Status CreateFolder(const std::string& path) = 0;
    // Fills `buffer` with unpredictable bytes from the system.
    virtual Status Random(void* buffer, std::size_t size) = 0;

    // The names in a folder (not "." or ".."), in no particular order.
    virtual Result<std::vector<std::string>> ListFolder(const std::string& path) = 0;
    // A second name `to` for the existing file `from` (a hard link); fails when anything is at
    // `to` or the file system has no links.
    virtual Status Link(const std::string& from, const std::string& to) = 0;
    // Takes the byte-range lock on the lock file at `path` (created when missing) for the returned
    // handle alone, without waiting: kLockOffset and kLockLength, exclusive, on a handle that
    // shares reading, writing and deleting (POSIX: an open-file-description fcntl lock, or a
    // process one; Windows: LockFileEx). Both builds lock the same bytes, so they see each other on
    // one machine, under Wine (which maps LockFileEx to fcntl) and through Samba (which maps an SMB
    // client's locks to fcntl). Busy when another holder has it; the holder's process ending frees
    // it.
    virtual Result<Handle, LockFailure> TryLock(const std::string& path) = 0;
    // Gives the lock up. The file stays, so that no writer ever holds a lock on a removed file.
    virtual Status Unlock(const std::string& path, Handle handle) = 0;
    // Waits this long before a lock is tried again.
    virtual void Pause(std::uint32_t milliseconds) = 0;
};

// The system's own layer (kernel32 or POSIX).
Platform& NativePlatform();

// This process's identifier (getpid() or GetCurrentProcessId()), for names unique to the process.
std::uint32_t CurrentProcessId();

// The layer the helpers use now: the native one unless a ScopedPlatform is in force.
Platform& CurrentPlatform();

class ScopedPlatform {
  public:
    explicit ScopedPlatform(Platform& platform);
    ~ScopedPlatform();
    ScopedPlatform(const ScopedPlatform&) = delete;
    ScopedPlatform& operator=(const ScopedPlatform&) = delete;

  private:
    Platform* previous_;
};

}  // namespace tarnwick::fileio
