// The file calls on POSIX, standing in for kernel32 so that the helpers and their tests also run on
// Linux. Modes are mapped onto the Windows attribute bits the helpers report.
#include <dirent.h>
#ifdef __linux__
#include <linux/fs.h>
#endif
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>

#include "fileio/Leftovers.h"
#include "fileio/Platform.h"

namespace tarnwick::fileio {

namespace {

Failure ErrnoFailure(int code) {
    return Failure{std::error_code(code, std::generic_category()).message(),
                   static_cast<std::uint32_t>(code)};
}

// What the last failed call left in errno.
Failure LastErrno() {
    return ErrnoFailure(errno);
}

int Fd(Handle handle) {
    return static_cast<int>(handle);
}

std::uint32_t AttributesOf(const struct stat& st) {
    std::uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode)) attributes |= kAttrDirectory;
    if (S_ISREG(st.st_mode)) attributes |= kAttrArchive;
    if ((st.st_mode & S_IWUSR) == 0) attributes |= kAttrReadOnly;
    return attributes;
}

LocalTime ToLocalTime(const struct timespec& when) {
    std::tm parts{};
    const std::time_t seconds = when.tv_sec;
    localtime_r(&seconds, &parts);
    return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                     parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

int OpenFlags(Access access, Disposition disposition) {
    int flags = O_CLOEXEC;
    // Non-blocking, so that a pipe or a device named by mistake is refused at once instead of
    // holding the program in open() until someone writes or reads at the other end.
    switch (access) {
        case Access::Read:
            flags |= O_RDONLY | O_NONBLOCK;
            break;
        case Access::Write:
            flags |= O_WRONLY | O_NONBLOCK;
            break;
#ifdef O_PATH
        // Needs no read permission, like FILE_READ_ATTRIBUTES on Windows.
        case Access::Query:
            flags |= O_PATH;
            break;
#else
        case Access::Query:
            flags |= O_RDONLY;
            break;
#endif
    }
    switch (disposition) {
        case Disposition::OpenExisting:
            break;
        case Disposition::CreateNew:
            flags |= O_CREAT | O_EXCL;
            break;
        case Disposition::CreateOrTruncate:
            flags |= O_CREAT | O_TRUNC;
            break;
    }
    return flags;
}

Failure NotRegular() {
    return Failure{"It is not a regular file (a device, pipe or socket).",
                   static_cast<std::uint32_t>(EINVAL)};
}

// Data is read from and written to regular files only. open() lets a folder be opened for reading
// (CreateFileW does not, and the helpers rely on that) and a device or pipe for anything. Once the
// file is known to be regular, its reads and writes block again as usual.
Status AcceptRegularOnly(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return LastErrno();
    if (S_ISDIR(st.st_mode)) return ErrnoFailure(EISDIR);
    if (!S_ISREG(st.st_mode)) return NotRegular();
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return LastErrno();
    return {};
}

FileId IdOf(const struct stat& st) {
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                  static_cast<std::uint64_t>(st.st_ctim.tv_sec) * 1000000000u +
                      static_cast<std::uint64_t>(st.st_ctim.tv_nsec)};
}

EntryKind KindOf(const struct stat& st) {
    if (S_ISREG(st.st_mode)) return EntryKind::Regular;
    if (S_ISDIR(st.st_mode)) return EntryKind::Folder;
    return EntryKind::Special;
}

// A missing entry, or a path through something that is no folder, names nothing.
bool NamesNothing(int code) {
    return code == ENOENT || code == ENOTDIR;
}

// When the open file was made: its birth time where the file system records one (statx, Linux 4.11
// on ext4, XFS, Btrfs, tmpfs), else the earliest time known of it, its last change of data or of
// status, neither of which can precede the making.
LocalTime CreationOf(int fd, const struct stat& st) {
    struct timespec when = st.st_ctim;
    if (st.st_mtim.tv_sec < when.tv_sec ||
        (st.st_mtim.tv_sec == when.tv_sec && st.st_mtim.tv_nsec < when.tv_nsec)) {
        when = st.st_mtim;
    }
#ifdef STATX_BTIME
    struct statx birth {};
    if (statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &birth) == 0 &&
        (birth.stx_mask & STATX_BTIME) != 0) {
        when.tv_sec = birth.stx_btime.tv_sec;
        when.tv_nsec = birth.stx_btime.tv_nsec;
    }
#else
    (void)fd;
#endif
    return ToLocalTime(when);
}

// Puts a rename in the folder holding `path` on the disk: the renamed file's data already is, but
// until its folder is synced a crash may bring back the old name. The file is in place whatever
// this gives (some file systems refuse to sync a folder), so a failure here fails nothing.
void SyncFolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    while (fsync(fd) != 0 && errno == EINTR) {
    }
    close(fd);
}

// renameat2 with RENAME_NOREPLACE where the kernel and the file system have it, else a hard link
// to the new name (which fails when the name is taken) and the removal of the old one.
bool MoveWithoutReplacing(const char* from, const char* to) {
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
#endif
    if (link(from, to) != 0) return false;
    unlink(from);  // should this fail, the complete file is in place and only its old name stays
    return true;
}

// Reads a list or value whose size is asked first; it may grow between the two calls, and then the
// second call fails with ERANGE and both are made again.
template <typename Call>
bool ReadSized(Call call, std::string& out) {
    for (;;) {
        const ssize_t size = call(nullptr, 0);
        if (size < 0) return false;
        out.resize(static_cast<std::size_t>(size));
        const ssize_t got = call(out.data(), out.size());
        if (got >= 0) {
            out.resize(static_cast<std::size_t>(got));
            return true;
        }
        if (errno != ERANGE) return false;
    }
}

// The names of a "\0"-separated list.
template <typename Visit>
void ForEachName(const std::string& list, Visit visit) {
    for (std::size_t at = 0; at < list.size();) {
        const std::size_t end = list.find('\0', at);
        const std::string name = list.substr(at, end - at);
        at = end == std::string::npos ? list.size() : end + 1;
        if (!name.empty()) visit(name);
    }
}

bool HasName(const std::string& list, std::string_view name) {
    bool found = false;
    ForEachName(list, [&](const std::string& each) { found = found || each == name; });
    return found;
}

Failure AttributeFailure(const std::string& name, const char* what, int code) {
    // The code is left out on purpose: "Operation not permitted" on an attribute says nothing
    // about the file's own access, which is what a plain access-denied cause would claim.
    return Failure{"its extended attribute " + name + " could not be " + what + " (" +
                   std::error_code(code, std::generic_category()).message() + ")"};
}

// Gives the new file (`fd`) every extended attribute that the file it replaces (`path`) carries,
// and only those: on a Samba server the Windows ACL is security.NTACL and the DOS attributes
// user.DOSATTRIB, and the POSIX ACL is system.posix_acl_access. listxattr shows only what this
// process may read (trusted.* needs root), and each of those must arrive, or nothing is replaced.
Status CopyExtendedAttributes(const char* path, int fd) {
    std::string names;
    if (!ReadSized([&](char* b, std::size_t n) { return listxattr(path, b, n); }, names)) {
        if (errno == ENOTSUP) return {};  // a file system without them: nothing to keep
        return LastErrno();
    }
    std::string ours;
    if (!ReadSized([&](char* b, std::size_t n) { return flistxattr(fd, b, n); }, ours)) {
        if (errno != ENOTSUP) return LastErrno();
        ours.clear();
    }
    std::optional<Failure> failed;
    // What the new file got from its folder (a default ACL) and the old one lacked goes; the
    // system's own security labels stay if it will not let them go.
    ForEachName(ours, [&](const std::string& name) {
        if (failed || HasName(names, name) || fremovexattr(fd, name.c_str()) == 0) return;
        if (errno == ENODATA || name.starts_with("security.")) return;
        failed = AttributeFailure(name, "removed from the new file", errno);
    });
    ForEachName(names, [&](const std::string& name) {
        if (failed) return;
        std::string value;
        if (!ReadSized([&](char* b, std::size_t n) { return getxattr(path, name.c_str(), b, n); },
                       value)) {
            if (errno == ENODATA) return;  // removed since it was listed
            failed = AttributeFailure(name, "read", errno);
            return;
        }
        std::string current;
        if (ReadSized([&](char* b, std::size_t n) { return fgetxattr(fd, name.c_str(), b, n); },
                      current) &&
            current == value) {
            return;
        }
        if (fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0) {
            failed = AttributeFailure(name, "given to the new file", errno);
        }
    });
    if (failed) return std::move(*failed);
    return {};
}

class PosixPlatform final : public Platform {
  public:
    Result<std::uint32_t> Attributes(const std::string& path) override {
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) return LastErrno();
        return AttributesOf(st);
    }

    Result<Entry> Lookup(const std::string& path) override {
        Entry entry;
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0) {
            if (NamesNothing(errno)) return entry;
            return LastErrno();
        }
        std::string target = path;
        if (S_ISLNK(st.st_mode)) {
            if (stat(path.c_str(), &st) != 0) {
                // A missing target, or a loop of links that never reaches one.
                if (!NamesNothing(errno) && errno != ELOOP) return LastErrno();
                entry.kind = EntryKind::DanglingLink;
                return entry;
            }
            const std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr),
                                                                   &std::free);
            if (!real) return LastErrno();
            target = real.get();
        }
        entry.kind = KindOf(st);
        if (entry.kind == EntryKind::Special) return entry;
        entry.id = IdOf(st);
        if (entry.kind == EntryKind::Regular) entry.target = target;
        return entry;
    }

    Result<Handle> Open(const std::string& path, Access access, Disposition disposition) override {
        // A signal that arrives while a slow file system (NFS, FUSE) opens the file interrupts
        // the open, which then simply has not happened yet.
        int fd = -1;
        do {
            fd = open(path.c_str(), OpenFlags(access, disposition), 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) return LastErrno();
        if (access != Access::Query) {
            if (Status regular = AcceptRegularOnly(fd); !regular) {
                close(fd);
                return regular.failure();
            }
        }
        return Handle{fd};
    }

    Result<std::uint64_t> Size(Handle handle) override {
        struct stat st {};
        if (fstat(Fd(handle), &st) != 0) return LastErrno();
        return static_cast<std::uint64_t>(st.st_size);
    }

    Status Seek(Handle handle, std::uint64_t offset) override {
        if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
            return ErrnoFailure(EOVERFLOW);
        }
        if (lseek(Fd(handle), static_cast<off_t>(offset), SEEK_SET) < 0) return LastErrno();
        return {};
    }

    Result<std::size_t> Read(Handle handle, void* buffer, std::size_t size) override {
        auto* out = static_cast<unsigned char*>(buffer);
        std::size_t got = 0;
        while (got < size) {
            const ssize_t n = read(Fd(handle), out + got, size - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return LastErrno();
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        return got;
    }

    Status Write(Handle handle, const void* buffer, std::size_t size) override {
        const auto* in = static_cast<const unsigned char*>(buffer);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = write(Fd(handle), in + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return LastErrno();
            done += static_cast<std::size_t>(n);
        }
        return {};
    }

    Result<bool> CopyRange(Handle from, Handle to, std::uint64_t size) override {
        std::uint64_t done = 0;
        while (done < size) {
            const auto chunk = static_cast<std::size_t>(
                std::min<std::uint64_t>(size - done, std::size_t{1} << 30));
            const ssize_t n = copy_file_range(Fd(from), nullptr, Fd(to), nullptr, chunk, 0);
            if (n < 0 && errno == EINTR) continue;
            // No such copy between these files (another file system, an old kernel, a special
            // file): reading and writing does the same, as long as nothing was copied yet.
            if (n < 0 && done == 0 &&
                (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                 errno == EBADF)) {
                return false;
            }
            if (n < 0) return LastErrno();
            if (n == 0) return ErrnoFailure(EIO);  // the source ended before its size
            done += static_cast<std::uint64_t>(n);
        }
        return true;
    }

    Result<FileStat> Stat(Handle handle) override {
        struct stat st {};
        if (fstat(Fd(handle), &st) != 0) return LastErrno();
        FileStat stat;
        stat.creation = CreationOf(Fd(handle), st);
        stat.lastWrite = ToLocalTime(st.st_mtim);
        stat.lastAccess = ToLocalTime(st.st_atim);
        stat.attributes = AttributesOf(st);
        stat.size = static_cast<std::uint64_t>(st.st_size);
        stat.id = IdOf(st);
        return stat;
    }

    // fdatasync: the template's bytes and its size reach the disk before the file takes the new
    // name, on every file system (XFS, and ext4 mounted without auto_da_alloc, would otherwise
    // let a crash leave an empty file where the administrator's template was). The cost is the
    // time the disk takes to write the template, which the program then truly waits for.
    Status Flush(Handle handle) override {
        while (fdatasync(Fd(handle)) != 0) {
            if (errno != EINTR) return LastErrno();
        }
        return {};
    }

    Status Close(Handle handle) override {
        // After EINTR the descriptor is gone on Linux, so close() is never retried.
        if (close(Fd(handle)) != 0) return LastErrno();
        return {};
    }

    Status MoveNew(const std::string& from, const std::string& to) override {
        if (!MoveWithoutReplacing(from.c_str(), to.c_str())) return LastErrno();
        SyncFolderOf(to);
        return {};
    }

    Status Replace(const std::string& from, const std::string& to) override {
        struct stat target {};
        if (stat(to.c_str(), &target) != 0) {
            if (NamesNothing(errno)) return MoveNew(from, to);
            return LastErrno();
        }
        if (!S_ISREG(target.st_mode)) return NotRegular();
        // rename() ignores the mode of the file it replaces; MoveFileExW refuses a read-only
        // one, and an administrator who made the file read-only meant it to stay.
        if ((target.st_mode & S_IWUSR) == 0) return ErrnoFailure(EACCES);
        // The new file takes the old one's owner where the system allows it (the group, when the
        // user belongs to it; the user only for root), then its extended attributes (after the
        // owner, whose change drops a file capability), then its mode. The set-id bits go along
        // only with the owner they were meant for.
        const int fd = open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return LastErrno();
        const bool ownerKept = fchown(fd, target.st_uid, target.st_gid) == 0;
        if (!ownerKept) (void)fchown(fd, static_cast<uid_t>(-1), target.st_gid);
        const mode_t mode = target.st_mode & (ownerKept ? 07777 : 01777);
        Status kept = CopyExtendedAttributes(to.c_str(), fd);
        if (kept && fchmod(fd, mode) != 0) kept = LastErrno();
        close(fd);
        if (!kept) return kept;
        if (std::rename(from.c_str(), to.c_str()) != 0) return LastErrno();
        SyncFolderOf(to);
        return {};
    }

    Status Remove(const std::string& path) override {
        if (unlink(path.c_str()) != 0) return LastErrno();
        return {};
    }

    Status CreateFolder(const std::string& path) override {
        if (mkdir(path.c_str(), 0777) != 0) return LastErrno();
        return {};
    }

    Status Random(void* buffer, std::size_t size) override {
        auto* out = static_cast<unsigned char*>(buffer);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = getrandom(out + done, size - done, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return LastErrno();
            done += static_cast<std::size_t>(n);
        }
        return {};
    }

    Result<std::vector<std::string>> ListFolder(const std::string& path) override {
        std::vector<std::string> names;
        DIR* dir = opendir(path.c_str());
        if (!dir) return LastErrno();
        int code = 0;
        for (;;) {
            errno = 0;
            const dirent* entry = readdir(dir);
            if (!entry) {
                code = errno;
                break;
            }
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
        if (code != 0) return ErrnoFailure(code);
        return names;
    }

    Status Link(const std::string& from, const std::string& to) override {
        if (link(from.c_str(), to.c_str()) != 0) return LastErrno();
        return {};
    }

    // An open-file-description lock where the kernel has one (it also keeps two threads of one
    // process apart), else a process lock. Both end with the descriptor, so a run that crashed
    // holds nothing.
    Result<Handle, LockFailure> TryLock(const std::string& path) override {
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0) return LockFailure{LastErrno()};
        // Whoever shares the store must be able to lock a file that a killed run left behind;
        // the file holds nothing. Only its owner can do this, and need not.
        (void)fchmod(fd, 0666);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = static_cast<off_t>(kLockOffset);
        lock.l_len = static_cast<off_t>(kLockLength);
        int locked = -1;
#ifdef F_OFD_SETLK
        locked = fcntl(fd, F_OFD_SETLK, &lock);
        if (locked != 0 && errno == EINVAL) locked = fcntl(fd, F_SETLK, &lock);
#else
        locked = fcntl(fd, F_SETLK, &lock);
#endif
        if (locked != 0) {
            const bool busy = errno == EAGAIN || errno == EACCES;
            LockFailure failure{LastErrno(), busy};
            close(fd);
            return failure;
        }
        // Someone removed or replaced the file by hand: the lock must be on the file others open.
        struct stat held {
        }, named{};
        if (fstat(fd, &held) != 0 || stat(path.c_str(), &named) != 0 ||
            held.st_dev != named.st_dev || held.st_ino != named.st_ino) {
            close(fd);
            return LockFailure{ErrnoFailure(EAGAIN), true};
        }
        return Handle{fd};
    }

    // Closing the descriptor lets the lock go.
    Status Unlock(const std::string&, Handle handle) override {
        if (close(Fd(handle)) != 0) return LastErrno();
        return {};
    }

    void Pause(std::uint32_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

}  // namespace

Cause CauseOf(const Failure& error) {
    switch (error.code) {
        case ENOENT:
            return Cause::NoFolder;
        case ENOTDIR:
            return Cause::NotAFolder;
        case ENOSPC:
        case EDQUOT:
            return Cause::DiskFull;
        case EACCES:
        case EPERM:
            return Cause::AccessDenied;
        case EROFS:
            return Cause::ReadOnlyDisk;
        case EEXIST:
            return Cause::NameTaken;
        default:
            return Cause::Other;
    }
}

Platform& NativePlatform() {
    static PosixPlatform platform;
    return platform;
}

std::uint32_t CurrentProcessId() {
    return static_cast<std::uint32_t>(getpid());
}

bool ProcessEnded(std::uint32_t id) {
    // EPERM: it lives, under another user.
    return kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH;
}

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

bool FolderAppendOnly(const std::string& folder) {
#ifdef FS_IOC_GETFLAGS
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    const bool read = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    close(fd);
    return read && (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
#else
    (void)folder;
    return false;
#endif
}

}  // namespace tarnwick::fileio
