// The file calls on kernel32, wide-character throughout: the ANSI calls cannot name a file outside
// the code page. Every open shares reading and writing, so a file that another handle holds (the
// splicer's reader, an editor) can still be read.
#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

#include "fileio/Leftovers.h"
#include "fileio/Platform.h"
#include "fileio/win32/Retry.h"
#include "fileio/win32/SystemPath.h"
#include "win32/SystemError.h"
#include "win32/WideText.h"

namespace tarnwick::fileio {

namespace {

using win32::SystemPath;

// The system's description of `code` (win32/SystemError) as the file layer reports it.
Failure FailureOf(DWORD code) {
    tarnwick::win32::SystemError error = tarnwick::win32::ErrorFromCode(code);
    return Failure{std::move(error.text), error.code};
}

Failure LastFailure() {
    return FailureOf(GetLastError());
}

// Windows answers access denied both for a lack of rights and for a name whose file is deleted but
// still held open by another program; only the system's own status tells them apart. The second
// passes once that program lets go, so it is reported as what it is, which the retry policy waits
// out. RtlGetLastNtStatus is in every ntdll since Windows XP (and in Wine's), but in no import
// library, so it is looked up, once, before any call that it explains.
using StatusReader = LONG(WINAPI*)();

StatusReader LastStatusReader() {
    return reinterpret_cast<StatusReader>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetLastNtStatus")));
}

Failure LastOpenError(StatusReader lastStatus) {
    const DWORD code = GetLastError();
    constexpr LONG kStatusDeletePending = static_cast<LONG>(0xC0000056L);
    const bool pending = code == ERROR_ACCESS_DENIED && lastStatus != nullptr &&
                         lastStatus() == kStatusDeletePending;
    return FailureOf(pending ? ERROR_DELETE_PENDING : code);
}

// The portable core names attributes by the numbers Windows gives them.
static_assert(kAttrReadOnly == FILE_ATTRIBUTE_READONLY);
static_assert(kAttrHidden == FILE_ATTRIBUTE_HIDDEN);
static_assert(kAttrSystem == FILE_ATTRIBUTE_SYSTEM);
static_assert(kAttrDirectory == FILE_ATTRIBUTE_DIRECTORY);
static_assert(kAttrArchive == FILE_ATTRIBUTE_ARCHIVE);
// The retry policy names the codes it waits out by number.
static_assert(win32::kSharingViolation == ERROR_SHARING_VIOLATION);
static_assert(win32::kLockViolation == ERROR_LOCK_VIOLATION);
static_assert(win32::kNetworkBusy == ERROR_NETWORK_BUSY);
static_assert(win32::kUnexpectedNetError == ERROR_UNEXP_NET_ERR);
static_assert(win32::kNetNameDeleted == ERROR_NETNAME_DELETED);
static_assert(win32::kSemaphoreTimeout == ERROR_SEM_TIMEOUT);
static_assert(win32::kDeletePending == ERROR_DELETE_PENDING);

// Others may read and write what the helpers open; a file being written may also be deleted, so
// that the console handler can remove a temporary file while it is still open.
constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kShareAll = kShareReadWrite | FILE_SHARE_DELETE;

// ReadFile and WriteFile take 32-bit sizes; larger transfers go in pieces of this size.
constexpr DWORD kMaxTransfer = 1u << 30;

HANDLE Win32Handle(Handle handle) {
    return reinterpret_cast<HANDLE>(handle);
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

DWORD ShareMode(Access access) {
    return access == Access::Read ? kShareReadWrite : kShareAll;
}

// Closes a handle on every way out of a lookup.
class ScopedHandle {
  public:
    explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
    ~ScopedHandle() {
        if (valid()) CloseHandle(handle_);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

bool NamesNothing(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

bool IsLink(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The path of the file an open handle reaches, links followed.
bool FinalPath(HANDLE file, std::string& path) {
    std::wstring wide(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetFinalPathNameByHandleW(file, wide.data(), static_cast<DWORD>(wide.size()), 0);
        if (length == 0) return false;
        if (length < wide.size()) {
            wide.resize(length);
            path = tarnwick::win32::WideToUtf8(wide);
            return true;
        }
        wide.resize(length);
    }
}

Failure NotRegular() {
    return Failure{"It is not a regular file (a device, pipe or socket).", ERROR_INVALID_FUNCTION};
}

// A folder opens only with backup semantics; reads and writes must keep refusing folders.
DWORD FlagsFor(Access access) {
    return access == Access::Query ? FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL;
}

std::uint64_t Join(DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

FileId IdOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return FileId{info.dwVolumeSerialNumber, Join(info.nFileIndexHigh, info.nFileIndexLow),
                  Join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime)};
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
    Result<std::uint32_t> Attributes(const std::string& path) override {
        const std::optional<std::wstring> wide = SystemPath(path);
        if (!wide) return LastFailure();
        const DWORD found = GetFileAttributesW(wide->c_str());
        if (found == INVALID_FILE_ATTRIBUTES) return LastFailure();
        return std::uint32_t{found};
    }

    Result<Entry> Lookup(const std::string& path) override {
        Entry entry;
        const std::optional<std::wstring> wide = SystemPath(path);
        if (!wide) return LastFailure();
        const ScopedHandle file(CreateFileW(wide->c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!file.valid()) {
            const DWORD code = GetLastError();
            if (!NamesNothing(code)) return LastFailure();
            // A link whose target is missing still has attributes of its own.
            if (IsLink(*wide)) entry.kind = EntryKind::DanglingLink;
            return entry;
        }
        if (GetFileType(file.get()) != FILE_TYPE_DISK) {
            entry.kind = EntryKind::Special;
            return entry;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(file.get(), &info)) return LastFailure();
        const bool folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.kind = folder ? EntryKind::Folder : EntryKind::Regular;
        entry.id = IdOf(info);
        if (folder) return entry;
        entry.target = path;
        if (IsLink(*wide) && !FinalPath(file.get(), entry.target)) return LastFailure();
        return entry;
    }

    Result<Handle> Open(const std::string& path, Access access, Disposition disposition) override {
        const std::optional<std::wstring> wide = SystemPath(path);
        if (!wide) return LastFailure();
        const HANDLE opened =
            CreateFileW(wide->c_str(), DesiredAccess(access), ShareMode(access), nullptr,
                        CreationDisposition(disposition), FlagsFor(access), nullptr);
        if (opened == INVALID_HANDLE_VALUE) return LastOpenError(lastStatus_);
        // Data is read from and written to files on disk only, never a device or a pipe.
        if (access != Access::Query && GetFileType(opened) != FILE_TYPE_DISK) {
            CloseHandle(opened);
            return NotRegular();
        }
        return reinterpret_cast<Handle>(opened);
    }

    Result<std::uint64_t> Size(Handle handle) override {
        LARGE_INTEGER found{};
        if (!GetFileSizeEx(Win32Handle(handle), &found)) return LastFailure();
        return static_cast<std::uint64_t>(found.QuadPart);
    }

    Status Seek(Handle handle, std::uint64_t offset) override {
        if (offset > static_cast<std::uint64_t>(std::numeric_limits<LONGLONG>::max())) {
            return FailureOf(ERROR_NEGATIVE_SEEK);
        }
        LARGE_INTEGER distance{};
        distance.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(Win32Handle(handle), distance, nullptr, FILE_BEGIN)) {
            return LastFailure();
        }
        return {};
    }

    Result<std::size_t> Read(Handle handle, void* buffer, std::size_t size) override {
        auto* out = static_cast<unsigned char*>(buffer);
        std::size_t got = 0;
        while (got < size) {
            const DWORD wanted =
                static_cast<DWORD>(std::min<std::size_t>(size - got, kMaxTransfer));
            DWORD read = 0;
            if (!ReadFile(Win32Handle(handle), out + got, wanted, &read, nullptr)) {
                return LastFailure();
            }
            if (read == 0) break;
            got += read;
        }
        return got;
    }

    Status Write(Handle handle, const void* buffer, std::size_t size) override {
        const auto* in = static_cast<const unsigned char*>(buffer);
        std::size_t done = 0;
        while (done < size) {
            const DWORD wanted =
                static_cast<DWORD>(std::min<std::size_t>(size - done, kMaxTransfer));
            DWORD written = 0;
            if (!WriteFile(Win32Handle(handle), in + done, wanted, &written, nullptr)) {
                return LastFailure();
            }
            if (written == 0) return FailureOf(ERROR_WRITE_FAULT);
            done += written;
        }
        return {};
    }

    Result<FileStat> Stat(Handle handle) override {
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(Win32Handle(handle), &info)) return LastFailure();
        FILETIME creation{}, lastAccess{}, lastWrite{};
        if (!GetFileTime(Win32Handle(handle), &creation, &lastAccess, &lastWrite)) {
            return LastFailure();
        }
        FileStat found;
        if (!ToLocalTime(creation, found.creation) || !ToLocalTime(lastWrite, found.lastWrite) ||
            !ToLocalTime(lastAccess, found.lastAccess)) {
            return LastFailure();
        }
        found.attributes = info.dwFileAttributes;
        found.size = Join(info.nFileSizeHigh, info.nFileSizeLow);
        found.id = IdOf(info);
        return found;
    }

    Status Close(Handle handle) override {
        if (!CloseHandle(Win32Handle(handle))) return LastFailure();
        return {};
    }

    // NTFS gives no promise that a renamed file's data reaches the disk before the rename, so the
    // data is flushed first: a crash cannot leave a replaced template with lost content.
    Status Flush(Handle handle) override {
        if (!FlushFileBuffers(Win32Handle(handle))) return LastFailure();
        return {};
    }

    Status MoveNew(const std::string& from, const std::string& to) override {
        const std::optional<std::wstring> wideFrom = SystemPath(from);
        if (!wideFrom) return LastFailure();
        const std::optional<std::wstring> wideTo = SystemPath(to);
        if (!wideTo) return LastFailure();
        // Without MOVEFILE_REPLACE_EXISTING, a file at `to` makes the move fail.
        if (!MoveFileExW(wideFrom->c_str(), wideTo->c_str(), MOVEFILE_WRITE_THROUGH)) {
            return LastOpenError(lastStatus_);
        }
        return {};
    }

    Status Replace(const std::string& from, const std::string& to) override {
        const std::optional<std::wstring> wideFrom = SystemPath(from);
        if (!wideFrom) return LastFailure();
        const std::optional<std::wstring> wideTo = SystemPath(to);
        if (!wideTo) return LastFailure();
        const DWORD targetAttributes = GetFileAttributesW(wideTo->c_str());
        if (targetAttributes == INVALID_FILE_ATTRIBUTES) {
            if (NamesNothing(GetLastError())) return MoveNew(from, to);
            return LastFailure();
        }
        // Windows refuses to replace a read-only file; Wine run as root does not, so ask first.
        if ((targetAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return FailureOf(ERROR_ACCESS_DENIED);
        }
        // A file that another program holds without letting others delete it cannot be
        // replaced; asking first keeps ReplaceFileW from starting (Wine's leaves a stray
        // temporary file of its own behind when it fails).
        {
            const ScopedHandle probe(CreateFileW(wideTo->c_str(), DELETE, kShareAll, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!probe.valid()) return LastOpenError(lastStatus_);
        }
        // The replaced file's ACL, attributes and streams stay with the new template. Its
        // attributes are also set on the new file first, for layers whose ReplaceFileW only
        // renames (Wine's).
        constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        if ((targetAttributes & kKept) != 0 &&
            !SetFileAttributesW(wideFrom->c_str(), targetAttributes & kKept)) {
            return LastFailure();
        }
        if (!ReplaceFileW(wideTo->c_str(), wideFrom->c_str(), nullptr, 0, nullptr, nullptr)) {
            return LastOpenError(lastStatus_);
        }
        return {};
    }

    Status Remove(const std::string& path) override {
        const std::optional<std::wstring> wide = SystemPath(path);
        if (!wide) return LastFailure();
        if (!DeleteFileW(wide->c_str())) return LastOpenError(lastStatus_);
        return {};
    }

    Status CreateFolder(const std::string& path) override {
        const std::optional<std::wstring> wide = SystemPath(path);
        if (!wide || !CreateDirectoryW(wide->c_str(), nullptr)) return LastFailure();
        return {};
    }

    Status Random(void* buffer, std::size_t size) override {
        if (size > std::numeric_limits<ULONG>::max() ||
            BCryptGenRandom(nullptr, static_cast<PUCHAR>(buffer), static_cast<ULONG>(size),
                            BCRYPT_USE_SYSTEM_PREFERRED_RNG) < 0) {
            return Failure{"The system gave no random numbers.", ERROR_GEN_FAILURE};
        }
        return {};
    }

    Result<std::vector<std::string>> ListFolder(const std::string& path) override {
        std::vector<std::string> names;
        const std::optional<std::wstring> wide = SystemPath(path + "\\*");
        if (!wide) return LastFailure();
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileW(wide->c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return LastFailure();
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") names.push_back(tarnwick::win32::Narrow(name));
        } while (FindNextFileW(search, &found));
        const DWORD code = GetLastError();
        FindClose(search);
        if (code != ERROR_NO_MORE_FILES) return FailureOf(code);
        return names;
    }

    Status Link(const std::string& from, const std::string& to) override {
        const std::optional<std::wstring> wideFrom = SystemPath(from);
        const std::optional<std::wstring> wideTo = SystemPath(to);
        if (!wideFrom || !wideTo) return LastFailure();
        if (!CreateHardLinkW(wideTo->c_str(), wideFrom->c_str(), nullptr)) return LastFailure();
        return {};
    }

    // A shared handle with a byte-range lock: the file never goes away, and a lock is what Wine
    // and an SMB server pass on to POSIX writers.
    Result<Handle, LockFailure> TryLock(const std::string& path) override {
        const std::optional<std::wstring> wide = SystemPath(path);
        if (!wide) return LockFailure{LastFailure()};
        const HANDLE file = CreateFileW(wide->c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            // An older run's unshared handle also means another writer.
            const DWORD code = GetLastError();
            return LockFailure{FailureOf(code), code == ERROR_SHARING_VIOLATION};
        }
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(kLockOffset);
        at.OffsetHigh = static_cast<DWORD>(kLockOffset >> 32);
        if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                        static_cast<DWORD>(kLockLength), static_cast<DWORD>(kLockLength >> 32),
                        &at)) {
            const DWORD code = GetLastError();
            CloseHandle(file);
            return LockFailure{FailureOf(code), code == ERROR_LOCK_VIOLATION};
        }
        return reinterpret_cast<Handle>(file);
    }

    // Closing the handle would free the lock too; unlocking first frees it at once rather than
    // whenever the system gets to it.
    Status Unlock(const std::string&, Handle handle) override {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(kLockOffset);
        at.OffsetHigh = static_cast<DWORD>(kLockOffset >> 32);
        const BOOL unlocked = UnlockFileEx(Win32Handle(handle), 0, static_cast<DWORD>(kLockLength),
                                           static_cast<DWORD>(kLockLength >> 32), &at);
        const DWORD code = GetLastError();
        if (!CloseHandle(Win32Handle(handle))) return LastFailure();
        if (!unlocked) return FailureOf(code);
        return {};
    }

    void Pause(std::uint32_t milliseconds) override { Sleep(milliseconds); }

  private:
    const StatusReader lastStatus_ = LastStatusReader();
};

}  // namespace

Cause CauseOf(const Failure& error) {
    switch (error.code) {
        case ERROR_PATH_NOT_FOUND:
        case ERROR_FILE_NOT_FOUND:
            return Cause::NoFolder;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return Cause::DiskFull;
        case ERROR_ACCESS_DENIED:
            return Cause::AccessDenied;
        case ERROR_WRITE_PROTECT:
            return Cause::ReadOnlyDisk;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return Cause::NameTaken;
        default:
            return Cause::Other;
    }
}

// Every call that a transient failure may hit, under the one retry policy.
Platform& NativePlatform() {
    static Win32Platform calls;
    static win32::RetryingPlatform platform(calls);
    return platform;
}

std::uint32_t CurrentProcessId() {
    return GetCurrentProcessId();
}

bool ProcessEnded(std::uint32_t id) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    // No such process answers "invalid parameter"; one we may not open lives.
    if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool ended = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
    CloseHandle(process);
    return ended;
}

std::string HostName() {
    wchar_t name[256] = {};
    DWORD size = 255;
    if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size)) return {};
    return tarnwick::win32::Narrow(std::wstring(name, size));
}

bool FolderAppendOnly(const std::string&) {
    return false;
}

}  // namespace tarnwick::fileio
