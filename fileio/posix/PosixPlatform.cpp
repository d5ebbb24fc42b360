// The file calls on POSIX, standing in for kernel32 so that the helpers and their tests also run on
// Linux. Modes are mapped onto the Windows attribute bits the helpers report.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <limits>
#include <system_error>

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
    switch (access) {
        case Access::Read:
            flags |= O_RDONLY;
            break;
        case Access::Write:
            flags |= O_WRONLY;
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

// open() lets a folder be opened for reading; CreateFileW does not, and the helpers rely on that.
bool RefuseFolder(int fd, SysError& error) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return Fail(error);
    if (!S_ISDIR(st.st_mode)) return true;
    error = ErrnoError(EISDIR);
    return false;
}

class PosixPlatform final : public Platform {
  public:
    bool Attributes(const std::string& path, std::uint32_t& attributes) override {
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) return false;
        attributes = AttributesOf(st);
        return true;
    }

    bool Open(const std::string& path, Access access, Disposition disposition, Handle& handle,
              SysError& error) override {
        const int fd = open(path.c_str(), OpenFlags(access, disposition), 0666);
        if (fd < 0) return Fail(error);
        if (access != Access::Query && !RefuseFolder(fd, error)) {
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
        stat.id =
            FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
        return true;
    }

    bool Close(Handle handle, SysError& error) override {
        // After EINTR the descriptor is gone on Linux, so close() is never retried.
        if (close(Fd(handle)) != 0) return Fail(error);
        return true;
    }

    // No fsync before the rename: ext4 (auto_da_alloc) and btrfs put a file's data on disk before
    // a rename that replaces another file commits, and syncing would triple the time of a large
    // template. The Windows layer, where NTFS gives no such promise, flushes.
    bool Replace(const std::string& from, const std::string& to, SysError& error) override {
        // rename() ignores the mode of the file it replaces; MoveFileExW refuses a read-only
        // one, and an administrator who made the file read-only meant it to stay.
        struct stat target {};
        if (stat(to.c_str(), &target) == 0 && S_ISREG(target.st_mode) &&
            (target.st_mode & S_IWUSR) == 0) {
            errno = EACCES;
            return Fail(error);
        }
        if (std::rename(from.c_str(), to.c_str()) != 0) return Fail(error);
        return true;
    }

    bool Remove(const std::string& path, SysError& error) override {
        if (unlink(path.c_str()) != 0) return Fail(error);
        return true;
    }
};

}  // namespace

Platform& NativePlatform() {
    static PosixPlatform platform;
    return platform;
}

std::uint32_t CurrentProcessId() {
    return static_cast<std::uint32_t>(getpid());
}

}  // namespace tarnwick::fileio
