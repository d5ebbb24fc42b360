#include "tests/support/FaultyPlatform.h"

#include <algorithm>
#include <utility>

namespace tarnwick::test {

using fileio::Handle;

void FaultyPlatform::FailAt(std::size_t k) {
    anyKind_ = true;
    failAt_ = k;
    failTimes_ = 1;
}

void FaultyPlatform::FailAt(Call kind, std::size_t k, std::size_t times) {
    anyKind_ = false;
    failKind_ = kind;
    failAt_ = k;
    failTimes_ = times;
}

const char* CallName(Call kind) {
    static const char* const kNames[] = {
        "attributes", "lookup",      "open",  "size",     "seek",    "read",   "write",
        "stat",       "flush",       "close", "move-new", "replace", "remove", "create-folder",
        "random",     "list-folder", "link",  "try-lock", "unlock"};
    return kNames[static_cast<std::size_t>(kind)];
}

void FaultyPlatform::Before(Call kind, std::size_t k, std::function<void()> action) {
    hooks_[{kind, k}] = std::move(action);
}

std::optional<Failure> FaultyPlatform::Inject(Call kind, fileio::Access access) {
    const std::size_t ofKind = ++counts_[Index(kind)];
    const auto hook = hooks_.find({kind, ofKind});
    if (hook != hooks_.end()) hook->second();
    if (kind == Call::Attributes) return std::nullopt;
    log_.push_back({kind, access});
    const std::size_t overall = ++total_;
    if (overall == callHook_.first) callHook_.second();
    const bool chosen = anyKind_ ? overall == failAt_
                                 : (kind == failKind_ && failAt_ != 0 && ofKind >= failAt_ &&
                                    ofKind - failAt_ < failTimes_);
    if (!chosen) return std::nullopt;
    injected_ = true;
    return failure_;
}

fileio::Access FaultyPlatform::AccessOf(Handle handle) const {
    const auto found = accessOf_.find(handle);
    return found == accessOf_.end() ? fileio::Access::Query : found->second;
}

Result<std::uint32_t> FaultyPlatform::Attributes(const std::string& path) {
    (void)Inject(Call::Attributes);
    return inner_.Attributes(path);
}

Result<fileio::Entry> FaultyPlatform::Lookup(const std::string& path) {
    if (auto failure = Inject(Call::Lookup)) return *failure;
    return inner_.Lookup(path);
}

Result<Handle> FaultyPlatform::Open(const std::string& path, fileio::Access access,
                                    fileio::Disposition disposition) {
    if (auto failure = Inject(Call::Open, access)) return *failure;
    Result<Handle> opened = inner_.Open(path, access, disposition);
    if (!opened) return opened;
    ++openHandles_;
    accessOf_[*opened] = access;
    return opened;
}

Result<std::uint64_t> FaultyPlatform::Size(Handle handle) {
    if (auto failure = Inject(Call::Size, AccessOf(handle))) return *failure;
    return inner_.Size(handle);
}

Status FaultyPlatform::Seek(Handle handle, std::uint64_t offset) {
    if (auto failure = Inject(Call::Seek, AccessOf(handle))) return *failure;
    return inner_.Seek(handle, offset);
}

Result<std::size_t> FaultyPlatform::Read(Handle handle, void* buffer, std::size_t size) {
    if (auto failure = Inject(Call::Read, AccessOf(handle))) return *failure;
    return inner_.Read(handle, buffer, size);
}

Status FaultyPlatform::Write(Handle handle, const void* buffer, std::size_t size) {
    if (auto failure = Inject(Call::Write, AccessOf(handle))) return *failure;
    return inner_.Write(handle, buffer, size);
}

Result<fileio::FileStat> FaultyPlatform::Stat(Handle handle) {
    if (auto failure = Inject(Call::Stat, AccessOf(handle))) return *failure;
    return inner_.Stat(handle);
}

Status FaultyPlatform::Flush(Handle handle) {
    if (auto failure = Inject(Call::Flush, AccessOf(handle))) return *failure;
    return inner_.Flush(handle);
}

Status FaultyPlatform::Close(Handle handle) {
    const std::optional<Failure> failure = Inject(Call::Close, AccessOf(handle));
    accessOf_.erase(handle);
    Status closed = inner_.Close(handle);
    --openHandles_;
    if (failure) return *failure;
    return closed;
}

Status FaultyPlatform::MoveNew(const std::string& from, const std::string& to) {
    if (auto failure = Inject(Call::MoveNew)) return *failure;
    return inner_.MoveNew(from, to);
}

Status FaultyPlatform::Replace(const std::string& from, const std::string& to) {
    if (auto failure = Inject(Call::Replace)) return *failure;
    return inner_.Replace(from, to);
}

Status FaultyPlatform::Remove(const std::string& path) {
    if (auto failure = Inject(Call::Remove)) return *failure;
    return inner_.Remove(path);
}

Status FaultyPlatform::CreateFolder(const std::string& path) {
    if (auto failure = Inject(Call::CreateFolder)) return *failure;
    return inner_.CreateFolder(path);
}

Status FaultyPlatform::Random(void* buffer, std::size_t size) {
    if (auto failure = Inject(Call::Random)) return *failure;
    if (random_.empty()) return inner_.Random(buffer, size);
    std::vector<std::uint8_t> bytes = std::move(random_.front());
    random_.pop_front();
    bytes.resize(size);
    std::copy(bytes.begin(), bytes.end(), static_cast<std::uint8_t*>(buffer));
    return {};
}

Result<std::vector<std::string>> FaultyPlatform::ListFolder(const std::string& path) {
    if (auto failure = Inject(Call::ListFolder)) return *failure;
    return inner_.ListFolder(path);
}

Status FaultyPlatform::Link(const std::string& from, const std::string& to) {
    if (auto failure = Inject(Call::Link)) return *failure;
    return inner_.Link(from, to);
}

Result<Handle, fileio::LockFailure> FaultyPlatform::TryLock(const std::string& path) {
    if (auto failure = Inject(Call::TryLock)) return fileio::LockFailure{*failure};
    Result<Handle, fileio::LockFailure> held = inner_.TryLock(path);
    if (held) ++openHandles_;
    return held;
}

// A failed release still lets the real lock go, so that no test leaves one held.
Status FaultyPlatform::Unlock(const std::string& path, Handle handle) {
    const std::optional<Failure> failure = Inject(Call::Unlock);
    Status unlocked = inner_.Unlock(path, handle);
    --openHandles_;
    if (failure) return *failure;
    return unlocked;
}

void FaultyPlatform::Pause(std::uint32_t milliseconds) {
    inner_.Pause(milliseconds);
}

}  // namespace tarnwick::test
