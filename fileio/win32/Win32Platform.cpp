// The file calls on kernel32, wide-character throughout: the ANSI calls cannot name a file outside
// the code page. Every open shares reading and writing, so a file that another handle holds (the
// splicer's reader, an editor) can still be read.
#include <windows.h>

#include <algorithm>
#include <limits>
#include <optional>

#include "fileio/Platform.h"
#include "fileio/win32/SystemError.h"
#include "fileio/win32/SystemPath.h"

namespace tarnwick::fileio {

namespace {

using win32::LastError;
using win32::SystemPath;

// ReadFile and WriteFile take 32-bit sizes; larger transfers go in pieces of this size.
constexpr DWORD kMaxTransfer = 1u << 30;

HANDLE Win32Handle(Handle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

bool Fail(SysError& error) {
    error = LastError();
    return false;
}

DWORD DesiredAccess(Access access) {
    switch (access) {
        case Access::Read:
            return GENERIC_READ;
        case Access::Write:
            return GENERIC_WRITE;
        case Access::Query:
            return FILE_READ_ATTRIBUTES;
    }
    return 0;
}

DWORD CreationDisposition(Disposition disposition) {
    switch (disposition) {
        case Disposition::OpenExisting:
            return OPEN_EXISTING;
        case Disposition::CreateNew:
            return CREATE_NEW;
        case Disposition::CreateOrTruncate:
            return CREATE_ALWAYS;
    }
    return OPEN_EXISTING;
}

// A folder opens only with backup semantics; reads and writes must keep refusing folders.
DWORD FlagsFor(Access access) {
    return access == Access::Query ? FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL;
}

std::uint64_t Join(DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

bool ToLocalTime(const FILETIME& utc, LocalTime& local) {
    FILETIME localFileTime{};
    SYSTEMTIME parts{};
    if (!FileTimeToLocalFileTime(&utc, &localFileTime)) return false;
    if (!FileTimeToSystemTime(&localFileTime, &parts)) return false;
    local =
        LocalTime{parts.wYear, parts.wMonth, parts.wDay, parts.wHour, parts.wMinute, parts.wSecond};
    return true;
}

class Win32Platform final : public Platform {
  public:
    bool Attributes(const std::string& path, std::uint32_t& attributes) override {
        const std::optional<std::wstring> wide = SystemPath(path);
        if (!wide) return false;
        const DWORD found = GetFileAttributesW(wide->c_str());
        if (found == INVALID_FILE_ATTRIBUTES) return false;
        attributes = found;
        return true;
    }

    bool Open(const std::string& path, Access access, Disposition disposition, Handle& handle,
              SysError& error) override {
        const std::optional<std::wstring> wide = SystemPath(path);
        if (!wide) return Fail(error);
        const HANDLE opened =
            CreateFileW(wide->c_str(), DesiredAccess(access), FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, CreationDisposition(disposition), FlagsFor(access), nullptr);
        if (opened == INVALID_HANDLE_VALUE) return Fail(error);
        handle = reinterpret_cast<Handle>(opened);
        return true;
    }

    bool Size(Handle handle, std::uint64_t& size, SysError& error) override {
        LARGE_INTEGER found{};
        if (!GetFileSizeEx(Win32Handle(handle), &found)) return Fail(error);
        size = static_cast<std::uint64_t>(found.QuadPart);
        return true;
    }

    bool Seek(Handle handle, std::uint64_t offset, SysError& error) override {
        if (offset > static_cast<std::uint64_t>(std::numeric_limits<LONGLONG>::max())) {
            error = win32::ErrorFromCode(ERROR_NEGATIVE_SEEK);
            return false;
        }
        LARGE_INTEGER distance{};
        distance.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(Win32Handle(handle), distance, nullptr, FILE_BEGIN)) {
            return Fail(error);
        }
        return true;
    }

    bool Read(Handle handle, void* buffer, std::size_t size, std::size_t& got,
              SysError& error) override {
        auto* out = static_cast<unsigned char*>(buffer);
        got = 0;
        while (got < size) {
            const DWORD wanted =
                static_cast<DWORD>(std::min<std::size_t>(size - got, kMaxTransfer));
            DWORD read = 0;
            if (!ReadFile(Win32Handle(handle), out + got, wanted, &read, nullptr))
                return Fail(error);
            if (read == 0) break;
            got += read;
        }
        return true;
    }

    bool Write(Handle handle, const void* buffer, std::size_t size, SysError& error) override {
        const auto* in = static_cast<const unsigned char*>(buffer);
        std::size_t done = 0;
        while (done < size) {
            const DWORD wanted =
                static_cast<DWORD>(std::min<std::size_t>(size - done, kMaxTransfer));
            DWORD written = 0;
            if (!WriteFile(Win32Handle(handle), in + done, wanted, &written, nullptr)) {
                return Fail(error);
            }
            if (written == 0) {
                error = win32::ErrorFromCode(ERROR_WRITE_FAULT);
                return false;
            }
            done += written;
        }
        return true;
    }

    bool Stat(Handle handle, FileStat& stat, SysError& error) override {
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(Win32Handle(handle), &info)) return Fail(error);
        FILETIME creation{}, lastAccess{}, lastWrite{};
        if (!GetFileTime(Win32Handle(handle), &creation, &lastAccess, &lastWrite)) {
            return Fail(error);
        }
        FileStat found;
        if (!ToLocalTime(creation, found.creation) || !ToLocalTime(lastWrite, found.lastWrite) ||
            !ToLocalTime(lastAccess, found.lastAccess)) {
            return Fail(error);
        }
        found.attributes = info.dwFileAttributes;
        found.size = Join(info.nFileSizeHigh, info.nFileSizeLow);
        found.id = FileId{info.dwVolumeSerialNumber, Join(info.nFileIndexHigh, info.nFileIndexLow)};
        stat = found;
        return true;
    }

    bool Close(Handle handle, SysError& error) override {
        if (!CloseHandle(Win32Handle(handle))) return Fail(error);
        return true;
    }

    static bool FlushToDisk(const std::wstring& path) {
        const HANDLE file =
            CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        const bool flushed = FlushFileBuffers(file) != 0;
        const DWORD flushError = GetLastError();
        CloseHandle(file);
        SetLastError(flushError);
        return flushed;
    }

    bool Replace(const std::string& from, const std::string& to, SysError& error) override {
        const std::optional<std::wstring> wideFrom = SystemPath(from);
        if (!wideFrom) return Fail(error);
        const std::optional<std::wstring> wideTo = SystemPath(to);
        if (!wideTo) return Fail(error);
        // Windows refuses to replace a read-only file; Wine run as root does not, so ask first.
        const DWORD targetAttributes = GetFileAttributesW(wideTo->c_str());
        if (targetAttributes != INVALID_FILE_ATTRIBUTES &&
            (targetAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
            SetLastError(ERROR_ACCESS_DENIED);
            return Fail(error);
        }
        // The move is written through, but the moved file's data may still sit in the cache: put
        // it on disk first, so that a crash cannot leave a replaced template with lost content.
        if (!FlushToDisk(*wideFrom)) return Fail(error);
        if (!MoveFileExW(wideFrom->c_str(), wideTo->c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return Fail(error);
        }
        return true;
    }

    bool Remove(const std::string& path, SysError& error) override {
        const std::optional<std::wstring> wide = SystemPath(path);
        if (!wide) return Fail(error);
        if (!DeleteFileW(wide->c_str())) return Fail(error);
        return true;
    }
};

}  // namespace

Platform& NativePlatform() {
    static Win32Platform platform;
    return platform;
}

std::uint32_t CurrentProcessId() {
    return GetCurrentProcessId();
}

}  // namespace tarnwick::fileio
