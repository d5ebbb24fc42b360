// The Windows layer's one retry policy. A virus scanner or the search indexer opens a new file as
// soon as it appears, without sharing deletion; a file deleted while one of them holds it lingers
// until they let go; a share drops a connection for a moment; another process holds a byte-range
// lock. An open, a read, a write, a delete, a move, a replace or a new folder then fails although
// nothing is wrong, and is tried again a few times within a second. A call that still fails says
// how often it was tried, so that a message shows the wait was not skipped.
//
// The codes are Windows' (System Error Codes, 0-499), written as numbers rather than taken from
// windows.h so that the policy and its tests build and run natively too.
#pragma once

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "fileio/Platform.h"

namespace tarnwick::fileio::win32 {

inline constexpr std::uint32_t kSharingViolation = 32;    // ERROR_SHARING_VIOLATION
inline constexpr std::uint32_t kLockViolation = 33;       // ERROR_LOCK_VIOLATION
inline constexpr std::uint32_t kNetworkBusy = 54;         // ERROR_NETWORK_BUSY
inline constexpr std::uint32_t kUnexpectedNetError = 59;  // ERROR_UNEXP_NET_ERR
inline constexpr std::uint32_t kNetNameDeleted = 64;      // ERROR_NETNAME_DELETED
inline constexpr std::uint32_t kSemaphoreTimeout = 121;   // ERROR_SEM_TIMEOUT (an SMB timeout)
// ERROR_DELETE_PENDING. Windows reports ERROR_ACCESS_DENIED for a name whose file is deleted but
// still held; the layer reports this code instead when the system's own status says so, because
// a plain access denied (no right, a read-only file) never passes by waiting.
inline constexpr std::uint32_t kDeletePending = 303;

// Whether a failure with this code may pass by itself.
bool Transient(std::uint32_t code);

// The pauses before each new try, in milliseconds: 620 in all, so at most six tries.
inline constexpr std::uint32_t kRetryPauses[] = {20, 40, 80, 160, 320};

// `inner`, with Open, Read, Write, Remove, MoveNew, Replace and CreateFolder tried again after each
// pause in turn while they fail with a transient code. Another failure is reported as it came; the
// last one names the tries. Pauses go through `inner`, so a layer below can count them instead of
// waiting. A read or write is safe to repeat: the Windows layer makes one ReadFile or WriteFile
// call per piece of up to 1 GiB, far more than any buffer here, and a failed call moves no data.
class RetryingPlatform final : public Platform {
  public:
    explicit RetryingPlatform(Platform& inner) : inner_(inner) {}

    Result<std::uint32_t> Attributes(const std::string& path) override {
        return inner_.Attributes(path);
    }
    Result<Entry> Lookup(const std::string& path) override { return inner_.Lookup(path); }
    Result<Handle> Open(const std::string& path, Access access, Disposition disposition) override;
    Result<std::uint64_t> Size(Handle handle) override { return inner_.Size(handle); }
    Status Seek(Handle handle, std::uint64_t offset) override {
        return inner_.Seek(handle, offset);
    }
    Result<std::size_t> Read(Handle handle, void* buffer, std::size_t size) override {
        return Retried([&] { return inner_.Read(handle, buffer, size); });
    }
    Status Write(Handle handle, const void* buffer, std::size_t size) override {
        return Retried([&] { return inner_.Write(handle, buffer, size); });
    }
    Result<bool> CopyRange(Handle from, Handle to, std::uint64_t size) override {
        return inner_.CopyRange(from, to, size);
    }
    Result<FileStat> Stat(Handle handle) override { return inner_.Stat(handle); }
    Status Flush(Handle handle) override { return inner_.Flush(handle); }
    Status Close(Handle handle) override { return inner_.Close(handle); }
    Status MoveNew(const std::string& from, const std::string& to) override;
    Status Replace(const std::string& from, const std::string& to) override;
    Status Remove(const std::string& path) override;
    Status CreateFolder(const std::string& path) override {
        return Retried([&] { return inner_.CreateFolder(path); });
    }
    Status Random(void* buffer, std::size_t size) override { return inner_.Random(buffer, size); }
    Result<std::vector<std::string>> ListFolder(const std::string& path) override {
        return inner_.ListFolder(path);
    }
    Status Link(const std::string& from, const std::string& to) override {
        return inner_.Link(from, to);
    }
    Result<Handle, LockFailure> TryLock(const std::string& path) override {
        return inner_.TryLock(path);
    }
    Status Unlock(const std::string& path, Handle handle) override {
        return inner_.Unlock(path, handle);
    }
    void Pause(std::uint32_t milliseconds) override { inner_.Pause(milliseconds); }

  private:
    // `attempt` until it succeeds, fails for good, or the pauses run out.
    template <typename Attempt>
    auto Retried(Attempt attempt) -> decltype(attempt()) {
        for (std::size_t tried = 0;; ++tried) {
            auto result = attempt();
            if (result || !Transient(result.failure().code)) return result;
            if (tried == std::size(kRetryPauses)) return Tried(result.failure(), tried + 1);
            inner_.Pause(kRetryPauses[tried]);
        }
    }

    // The last failure, with the number of tries and the time waited added to its message.
    static Failure Tried(Failure failure, std::size_t tries);

    Platform& inner_;
};

}  // namespace tarnwick::fileio::win32
