// The file calls on POSIX, standing in for kernel32 so that the helpers and their tests also run on
// Linux. Modes are mapped onto the Windows attribute bits the helpers report.
#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <memory>
#include <string_view>
#include <system_error>
#include <thread>

#include "fileio/Platform.h"

namespace tarnwick::fileio {

namespace {

SysError ErrnoError(int code) {
    return SysError{static_cast<std::uint32_t>(code),
                    std::error_code(code, std::generic_category()).message()};
}

bool Fail(SysError& error) {
    error = ErrnoError(errno);
    return false;
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

// There is no portable birth time; the status-change time stands in for the creation time.
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

SysError NotRegular() {
    return SysError{static_cast<std::uint32_t>(EINVAL),
                    "It is not a regular file (a device, pipe or socket)."};
}

// Data is read from and written to regular files only. open() lets a folder be opened for reading
// (CreateFileW does not, and the helpers rely on that) and a device or pipe for anything. Once the
// file is known to be regular, its reads and writes block again as usual.
bool AcceptRegularOnly(int fd, SysError& error) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return Fail(error);
    if (S_ISDIR(st.st_mode)) {
        error = ErrnoError(EISDIR);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = NotRegular();
        return false;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return Fail(error);
    return true;
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

SysError AttributeError(const std::string& name, const char* what, int code) {
    // The code is left out on purpose: "Operation not permitted" on an attribute says nothing
    // about the file's own access, which is what a plain access-denied cause would claim.
    return SysError{0, "its extended attribute " + name + " could not be " + what + " (" +
                           std::error_code(code, std::generic_category()).message() + ")"};
}

// Gives the new file (`fd`) every extended attribute that the file it replaces (`path`) carries,
// and only those: on a Samba server the Windows ACL is security.NTACL and the DOS attributes
// user.DOSATTRIB, and the POSIX ACL is system.posix_acl_access. listxattr shows only what this
// process may read (trusted.* needs root), and each of those must arrive, or nothing is replaced.
bool CopyExtendedAttributes(const char* path, int fd, SysError& error) {
    std::string names;
    if (!ReadSized([&](char* b, std::size_t n) { return listxattr(path, b, n); }, names)) {
        if (errno == ENOTSUP) return true;  // a file system without them: nothing to keep
        return Fail(error);
    }
    std::string ours;
    if (!ReadSized([&](char* b, std::size_t n) { return flistxattr(fd, b, n); }, ours)) {
        if (errno != ENOTSUP) return Fail(error);
        ours.clear();
    }
    bool ok = true;
    // What the new file got from its folder (a default ACL) and the old one lacked goes; the
    // system's own security labels stay if it will not let them go.
    ForEachName(ours, [&](const std::string& name) {
        if (!ok || HasName(names, name) || fremovexattr(fd, name.c_str()) == 0) return;
        if (errno == ENODATA || name.starts_with("security.")) return;
        error = AttributeError(name, "removed from the new file", errno);
        ok = false;
    });
    ForEachName(names, [&](const std::string& name) {
        if (!ok) return;
        std::string value;
        if (!ReadSized([&](char* b, std::size_t n) { return getxattr(path, name.c_str(), b, n); },
                       value)) {
            if (errno == ENODATA) return;  // removed since it was listed
            error = AttributeError(name, "read", errno);
            ok = false;
            return;
        }
        std::string current;
        if (ReadSized([&](char* b, std::size_t n) { return fgetxattr(fd, name.c_str(), b, n); },
                      current) &&
            current == value) {
            return;
        }
        if (fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0) {
            error = AttributeError(name, "given to the new file", errno);
            ok = false;
        }
    });
    return ok;
}

class PosixPlatform final : public Platform {
  public:
    bool Attributes(const std::string& path, std::uint32_t& attributes) override {
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) return false;
        attributes = AttributesOf(st);
        return true;
    }

    bool Lookup(const std::string& path, Entry& entry, SysError& error) override {
        entry = Entry{};
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0) return NamesNothing(errno) || Fail(error);
        std::string target = path;
        if (S_ISLNK(st.st_mode)) {
            if (stat(path.c_str(), &st) != 0) {
                // A missing target, or a loop of links that never reaches one.
                if (!NamesNothing(errno) && errno != ELOOP) return Fail(error);
                entry.kind = EntryKind::DanglingLink;
                return true;
            }
            const std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr),
                                                                   &std::free);
            if (!real) return Fail(error);
            target = real.get();
        }
        entry.kind = KindOf(st);
        if (entry.kind == EntryKind::Special) return true;
        entry.id = IdOf(st);
        if (entry.kind == EntryKind::Regular) entry.target = target;
        return true;
    }

    bool Open(const std::string& path, Access access, Disposition disposition, Handle& handle,
              SysError& error) override {
        const int fd = open(path.c_str(), OpenFlags(access, disposition), 0666);
        if (fd < 0) return Fail(error);
        if (access != Access::Query && !AcceptRegularOnly(fd, error)) {
            close(fd);
            return false;
        }
        handle = fd;
        return true;
    }

    bool Size(Handle handle, std::uint64_t& size, SysError& error) override {
        struct stat st {};
        if (fstat(Fd(handle), &st) != 0) return Fail(error);
        size = static_cast<std::uint64_t>(st.st_size);
        return true;
    }

    bool Seek(Handle handle, std::uint64_t offset, SysError& error) override {
        if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
            error = ErrnoError(EOVERFLOW);
            return false;
        }
        if (lseek(Fd(handle), static_cast<off_t>(offset), SEEK_SET) < 0) return Fail(error);
        return true;
    }

    bool Read(Handle handle, void* buffer, std::size_t size, std::size_t& got,
              SysError& error) override {
        auto* out = static_cast<unsigned char*>(buffer);
        got = 0;
        while (got < size) {
            const ssize_t n = read(Fd(handle), out + got, size - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return Fail(error);
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool Write(Handle handle, const void* buffer, std::size_t size, SysError& error) override {
        const auto* in = static_cast<const unsigned char*>(buffer);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = write(Fd(handle), in + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return Fail(error);
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool Stat(Handle handle, FileStat& stat, SysError& error) override {
        struct stat st {};
        if (fstat(Fd(handle), &st) != 0) return Fail(error);
        stat.creation = ToLocalTime(st.st_ctim);
        stat.lastWrite = ToLocalTime(st.st_mtim);
        stat.lastAccess = ToLocalTime(st.st_atim);
        stat.attributes = AttributesOf(st);
        stat.size = static_cast<std::uint64_t>(st.st_size);
        stat.id = IdOf(st);
        return true;
    }

    // fdatasync: the template's bytes and its size reach the disk before the file takes the new
    // name, on every file system (XFS, and ext4 mounted without auto_da_alloc, would otherwise
    // let a crash leave an empty file where the administrator's template was). The cost is the
    // time the disk takes to write the template, which the program then truly waits for.
    bool Flush(Handle handle, SysError& error) override {
        while (fdatasync(Fd(handle)) != 0) {
            if (errno != EINTR) return Fail(error);
        }
        return true;
    }

    bool Close(Handle handle, SysError& error) override {
        // After EINTR the descriptor is gone on Linux, so close() is never retried.
        if (close(Fd(handle)) != 0) return Fail(error);
        return true;
    }

    bool MoveNew(const std::string& from, const std::string& to, SysError& error) override {
        return MoveWithoutReplacing(from.c_str(), to.c_str()) || Fail(error);
    }

    bool Replace(const std::string& from, const std::string& to, SysError& error) override {
        struct stat target {};
        if (stat(to.c_str(), &target) != 0) {
            return NamesNothing(errno) ? MoveNew(from, to, error) : Fail(error);
        }
        if (!S_ISREG(target.st_mode)) {
            error = NotRegular();
            return false;
        }
        // rename() ignores the mode of the file it replaces; MoveFileExW refuses a read-only
        // one, and an administrator who made the file read-only meant it to stay.
        if ((target.st_mode & S_IWUSR) == 0) {
            errno = EACCES;
            return Fail(error);
        }
        // The new file takes the old one's owner where the system allows it (the group, when the
        // user belongs to it; the user only for root), then its extended attributes (after the
        // owner, whose change drops a file capability), then its mode. The set-id bits go along
        // only with the owner they were meant for.
        const int fd = open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return Fail(error);
        const bool ownerKept = fchown(fd, target.st_uid, target.st_gid) == 0;
        if (!ownerKept) (void)fchown(fd, static_cast<uid_t>(-1), target.st_gid);
        const mode_t mode = target.st_mode & (ownerKept ? 07777 : 01777);
        const bool kept =
            CopyExtendedAttributes(to.c_str(), fd, error) && (fchmod(fd, mode) == 0 || Fail(error));
        close(fd);
        if (!kept) return false;
        if (std::rename(from.c_str(), to.c_str()) != 0) return Fail(error);
        return true;
    }

    bool Remove(const std::string& path, SysError& error) override {
        if (unlink(path.c_str()) != 0) return Fail(error);
        return true;
    }

    bool CreateFolder(const std::string& path, SysError& error) override {
        if (mkdir(path.c_str(), 0777) != 0) return Fail(error);
        return true;
    }

    bool Random(void* buffer, std::size_t size, SysError& error) override {
        auto* out = static_cast<unsigned char*>(buffer);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = getrandom(out + done, size - done, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return Fail(error);
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool ListFolder(const std::string& path, std::vector<std::string>& names,
                    SysError& error) override {
        names.clear();
        DIR* dir = opendir(path.c_str());
        if (!dir) return Fail(error);
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
        if (code == 0) return true;
        error = ErrnoError(code);
        return false;
    }

    bool Link(const std::string& from, const std::string& to, SysError& error) override {
        return link(from.c_str(), to.c_str()) == 0 || Fail(error);
    }

    // An open-file-description lock where the kernel has one (it also keeps two threads of one
    // process apart), else a process lock. Both end with the descriptor, so a run that crashed
    // holds nothing. The file is removed on release; a waiter that locked the removed file sees
    // that the name leads elsewhere now and reports busy, to try again.
    bool TryLock(const std::string& path, Handle& handle, bool& busy, SysError& error) override {
        busy = false;
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0) return Fail(error);
        // Whoever shares the store must be able to lock a file that a killed run left behind;
        // the file holds nothing. Only its owner can do this, and need not.
        (void)fchmod(fd, 0666);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        int locked = -1;
#ifdef F_OFD_SETLK
        locked = fcntl(fd, F_OFD_SETLK, &lock);
        if (locked != 0 && errno == EINVAL) locked = fcntl(fd, F_SETLK, &lock);
#else
        locked = fcntl(fd, F_SETLK, &lock);
#endif
        if (locked != 0) {
            busy = errno == EAGAIN || errno == EACCES;
            Fail(error);
            close(fd);
            return false;
        }
        struct stat held {
        }, named{};
        if (fstat(fd, &held) != 0 || stat(path.c_str(), &named) != 0 ||
            held.st_dev != named.st_dev || held.st_ino != named.st_ino) {
            busy = true;
            error = ErrnoError(EAGAIN);
            close(fd);
            return false;
        }
        handle = fd;
        return true;
    }

    bool Unlock(const std::string& path, Handle handle, SysError& error) override {
        // Removed while still held, so that no one locks the old file after it is let go.
        const bool removed = unlink(path.c_str()) == 0 || errno == ENOENT;
        if (!removed) Fail(error);
        const bool closed = close(Fd(handle)) == 0;
        if (!closed && removed) Fail(error);
        return removed && closed;
    }

    void Pause(std::uint32_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

}  // namespace

Cause CauseOf(const SysError& error) {
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

}  // namespace tarnwick::fileio
