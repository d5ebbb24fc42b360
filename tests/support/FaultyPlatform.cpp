#include "tests/support/FaultyPlatform.h"

#include <algorithm>
#include <utility>

namespace tarnwick::test {

using fileio::Handle;
using fileio::SysError;

void FaultyPlatform::FailAt(std::size_t k) {
    anyKind_ = true;
    failAt_ = k;
}

void FaultyPlatform::FailAt(Call kind, std::size_t k) {
    anyKind_ = false;
    failKind_ = kind;
    failAt_ = k;
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

bool FaultyPlatform::Inject(Call kind, SysError& error, fileio::Access access) {
    const std::size_t ofKind = ++counts_[Index(kind)];
    const auto hook = hooks_.find({kind, ofKind});
    if (hook != hooks_.end()) hook->second();
    if (kind == Call::Attributes) return false;
    log_.push_back({kind, access});
    const std::size_t overall = ++total_;
    const bool chosen = anyKind_ ? overall == failAt_ : (kind == failKind_ && ofKind == failAt_);
    if (!chosen) return false;
    injected_ = true;
    error = failure_;
    return true;
}

fileio::Access FaultyPlatform::AccessOf(Handle handle) const {
    const auto found = accessOf_.find(handle);
    return found == accessOf_.end() ? fileio::Access::Query : found->second;
}

bool FaultyPlatform::Attributes(const std::string& path, std::uint32_t& attributes) {
    SysError unused;
    Inject(Call::Attributes, unused);
    return inner_.Attributes(path, attributes);
}

bool FaultyPlatform::Lookup(const std::string& path, fileio::Entry& entry, SysError& error) {
    return !Inject(Call::Lookup, error) && inner_.Lookup(path, entry, error);
}

bool FaultyPlatform::Open(const std::string& path, fileio::Access access,
                          fileio::Disposition disposition, Handle& handle, SysError& error) {
    if (Inject(Call::Open, error, access)) return false;
    if (!inner_.Open(path, access, disposition, handle, error)) return false;
    ++openHandles_;
    accessOf_[handle] = access;
    return true;
}

bool FaultyPlatform::Size(Handle handle, std::uint64_t& size, SysError& error) {
    return !Inject(Call::Size, error, AccessOf(handle)) && inner_.Size(handle, size, error);
}

bool FaultyPlatform::Seek(Handle handle, std::uint64_t offset, SysError& error) {
    return !Inject(Call::Seek, error, AccessOf(handle)) && inner_.Seek(handle, offset, error);
}

bool FaultyPlatform::Read(Handle handle, void* buffer, std::size_t size, std::size_t& got,
                          SysError& error) {
    return !Inject(Call::Read, error, AccessOf(handle)) &&
           inner_.Read(handle, buffer, size, got, error);
}

bool FaultyPlatform::Write(Handle handle, const void* buffer, std::size_t size, SysError& error) {
    return !Inject(Call::Write, error, AccessOf(handle)) &&
           inner_.Write(handle, buffer, size, error);
}

bool FaultyPlatform::Stat(Handle handle, fileio::FileStat& stat, SysError& error) {
    return !Inject(Call::Stat, error, AccessOf(handle)) && inner_.Stat(handle, stat, error);
}

bool FaultyPlatform::Flush(Handle handle, SysError& error) {
    return !Inject(Call::Flush, error, AccessOf(handle)) && inner_.Flush(handle, error);
}

bool FaultyPlatform::Close(Handle handle, SysError& error) {
    const bool inject = Inject(Call::Close, error, AccessOf(handle));
    accessOf_.erase(handle);
    SysError closeError;
    const bool closed = inner_.Close(handle, closeError);
    --openHandles_;
    if (inject) return false;
    if (!closed) error = closeError;
    return closed;
}

bool FaultyPlatform::MoveNew(const std::string& from, const std::string& to, SysError& error) {
    return !Inject(Call::MoveNew, error) && inner_.MoveNew(from, to, error);
}

bool FaultyPlatform::Replace(const std::string& from, const std::string& to, SysError& error) {
    return !Inject(Call::Replace, error) && inner_.Replace(from, to, error);
}

bool FaultyPlatform::Remove(const std::string& path, SysError& error) {
    return !Inject(Call::Remove, error) && inner_.Remove(path, error);
}

bool FaultyPlatform::CreateFolder(const std::string& path, SysError& error) {
    return !Inject(Call::CreateFolder, error) && inner_.CreateFolder(path, error);
}

bool FaultyPlatform::Random(void* buffer, std::size_t size, SysError& error) {
    if (Inject(Call::Random, error)) return false;
    if (random_.empty()) return inner_.Random(buffer, size, error);
    std::vector<std::uint8_t> bytes = std::move(random_.front());
    random_.pop_front();
    bytes.resize(size);
    std::copy(bytes.begin(), bytes.end(), static_cast<std::uint8_t*>(buffer));
    return true;
}

bool FaultyPlatform::ListFolder(const std::string& path, std::vector<std::string>& names,
                                SysError& error) {
    return !Inject(Call::ListFolder, error) && inner_.ListFolder(path, names, error);
}

bool FaultyPlatform::Link(const std::string& from, const std::string& to, SysError& error) {
    return !Inject(Call::Link, error) && inner_.Link(from, to, error);
}

bool FaultyPlatform::TryLock(const std::string& path, Handle& handle, bool& busy, SysError& error) {
    busy = false;
    if (Inject(Call::TryLock, error)) return false;
    if (!inner_.TryLock(path, handle, busy, error)) return false;
    ++openHandles_;
    return true;
}

// A failed release still lets the real lock go, so that no test leaves one held.
bool FaultyPlatform::Unlock(const std::string& path, Handle handle, SysError& error) {
    const bool inject = Inject(Call::Unlock, error);
    SysError unlockError;
    const bool unlocked = inner_.Unlock(path, handle, unlockError);
    --openHandles_;
    if (inject) return false;
    if (!unlocked) error = unlockError;
    return unlocked;
}

void FaultyPlatform::Pause(std::uint32_t milliseconds) {
    inner_.Pause(milliseconds);
}

}  // namespace tarnwick::test
