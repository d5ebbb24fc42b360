// A Platform for fault-injection tests: it passes every call to another layer (the native one by
// default), counts the calls of each kind, and makes one chosen call fail with kInjectedError.
//
//   FaultyPlatform faulty;
//   faulty.FailAt(Call::Write, 2);          // the second write fails, all else passes through
//   fileio::ScopedPlatform use(faulty);
//   ... run the code under test ...
//   EXPECT_EQ(faulty.OpenHandles(), 0);     // nothing left open
//
// Attributes calls (FileExists) are counted but never fail and take no part in the numbering of
// FailAt(k): a failed attribute query means "no such file", not a failure to inject.
// An injected Close failure still closes the real handle, so no test leaks one.
//
// Hooks let a test change the world at an exact point instead of by timing:
//   faulty.Before(Call::Flush, 1, [&] { WriteAll(target, "someone else's"); });
// runs the action just before the first Flush (the last moment before the final step) is passed
// on. Random bytes can be fixed, to make temporary names collide on purpose.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fileio/Platform.h"

namespace tarnwick::test {

enum class Call {
    Attributes,
    Lookup,
    Open,
    Size,
    Seek,
    Read,
    Write,
    Stat,
    Flush,
    Close,
    MoveNew,
    Replace,
    Remove,
    CreateFolder,
    Random,
    ListFolder,
    Link,
    TryLock,
    Unlock,
};
const char* CallName(Call kind);

// One call as made: its kind, and what the file it opens or uses was opened for (Query for a
// call on a path).
struct CallRecord {
    Call kind;
    fileio::Access access;
};

// A code that means nothing in particular on either system, so messages carry the text.
inline constexpr std::uint32_t kInjectedCode = 1117;
inline constexpr const char* kInjectedText = "injected failure";

class FaultyPlatform : public fileio::Platform {
  public:
    explicit FaultyPlatform(fileio::Platform& inner = fileio::NativePlatform()) : inner_(inner) {}

    // Makes the k-th call (1-based) of any kind but Attributes fail; 0 injects nothing.
    void FailAt(std::size_t k);
    // Makes the k-th call (1-based) of `kind` fail, and the `times` - 1 of that kind after it;
    // 0 injects nothing.
    void FailAt(Call kind, std::size_t k, std::size_t times = 1);

    std::size_t Count(Call kind) const { return counts_[Index(kind)]; }
    // All counted calls but Attributes.
    std::size_t Total() const { return total_; }
    // Every call but Attributes, in order.
    const std::vector<CallRecord>& Log() const { return log_; }
    // The error the chosen call fails with (kInjectedCode and kInjectedText unless set).
    void FailWith(Failure error) { failure_ = std::move(error); }
    // Runs `action` just before the k-th call (1-based) of `kind` is counted and passed on.
    void Before(Call kind, std::size_t k, std::function<void()> action);
    // Runs `action` just before the k-th call (1-based) of any kind but Attributes is passed on:
    // in a child process, an _exit there is a death at that step.
    void BeforeCall(std::size_t k, std::function<void()> action) { callHook_ = {k, action}; }
    // The bytes that the next Random calls give, one entry per call, before the system's own.
    void QueueRandom(std::vector<std::uint8_t> bytes) { random_.push_back(std::move(bytes)); }

    // Whether the chosen call has been made (and failed).
    bool Injected() const { return injected_; }
    // Handles opened through this platform and not closed yet.
    int OpenHandles() const { return openHandles_; }

    Result<std::uint32_t> Attributes(const std::string& path) override;
    Result<fileio::Entry> Lookup(const std::string& path) override;
    Result<fileio::Handle> Open(const std::string& path, fileio::Access access,
                                fileio::Disposition disposition) override;
    Result<std::uint64_t> Size(fileio::Handle handle) override;
    Status Seek(fileio::Handle handle, std::uint64_t offset) override;
    Result<std::size_t> Read(fileio::Handle handle, void* buffer, std::size_t size) override;
    Status Write(fileio::Handle handle, const void* buffer, std::size_t size) override;
    Result<fileio::FileStat> Stat(fileio::Handle handle) override;
    Status Flush(fileio::Handle handle) override;
    Status Close(fileio::Handle handle) override;
    Status MoveNew(const std::string& from, const std::string& to) override;
    Status Replace(const std::string& from, const std::string& to) override;
    Status Remove(const std::string& path) override;
    Status CreateFolder(const std::string& path) override;
    Status Random(void* buffer, std::size_t size) override;
    Result<std::vector<std::string>> ListFolder(const std::string& path) override;
    Status Link(const std::string& from, const std::string& to) override;
    Result<fileio::Handle, fileio::LockFailure> TryLock(const std::string& path) override;
    Status Unlock(const std::string& path, fileio::Handle handle) override;
    // Passed on, never failed: waiting has no outcome to inject.
    void Pause(std::uint32_t milliseconds) override;

  private:
    static constexpr std::size_t Index(Call kind) { return static_cast<std::size_t>(kind); }
    static constexpr std::size_t kKinds = static_cast<std::size_t>(Call::Unlock) + 1;  // the last
    // Counts the call; the failure when it is the one to fail.
    std::optional<Failure> Inject(Call kind, fileio::Access access = fileio::Access::Query);
    fileio::Access AccessOf(fileio::Handle handle) const;

    fileio::Platform& inner_;
    std::array<std::size_t, kKinds> counts_{};
    std::size_t total_ = 0;
    bool anyKind_ = true;
    Call failKind_ = Call::Open;
    std::size_t failAt_ = 0;
    std::size_t failTimes_ = 1;
    bool injected_ = false;
    int openHandles_ = 0;
    std::vector<CallRecord> log_;
    std::map<fileio::Handle, fileio::Access> accessOf_;
    std::map<std::pair<Call, std::size_t>, std::function<void()>> hooks_;
    std::pair<std::size_t, std::function<void()>> callHook_;
    std::deque<std::vector<std::uint8_t>> random_;
    Failure failure_{kInjectedText, kInjectedCode};
};

}  // namespace tarnwick::test
