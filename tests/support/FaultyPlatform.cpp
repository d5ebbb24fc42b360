#include "tests/support/FaultyPlatform.h"

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

bool FaultyPlatform::Inject(Call kind, SysError& error) {
    const std::size_t ofKind = ++counts_[Index(kind)];
    if (kind == Call::Attributes) return false;
    const std::size_t overall = ++total_;
    const bool chosen = anyKind_ ? overall == failAt_ : (kind == failKind_ && ofKind == failAt_);
    if (!chosen) return false;
    injected_ = true;
    error = SysError{kInjectedCode, kInjectedText};
    return true;
}

bool FaultyPlatform::Attributes(const std::string& path, std::uint32_t& attributes) {
    SysError unused;
    Inject(Call::Attributes, unused);
    return inner_.Attributes(path, attributes);
}

bool FaultyPlatform::Open(const std::string& path, fileio::Access access,
                          fileio::Disposition disposition, Handle& handle, SysError& error) {
    if (Inject(Call::Open, error)) return false;
    if (!inner_.Open(path, access, disposition, handle, error)) return false;
    ++openHandles_;
    return true;
}

bool FaultyPlatform::Size(Handle handle, std::uint64_t& size, SysError& error) {
    return !Inject(Call::Size, error) && inner_.Size(handle, size, error);
}

bool FaultyPlatform::Seek(Handle handle, std::uint64_t offset, SysError& error) {
    return !Inject(Call::Seek, error) && inner_.Seek(handle, offset, error);
}

bool FaultyPlatform::Read(Handle handle, void* buffer, std::size_t size, std::size_t& got,
                          SysError& error) {
    return !Inject(Call::Read, error) && inner_.Read(handle, buffer, size, got, error);
}

bool FaultyPlatform::Write(Handle handle, const void* buffer, std::size_t size, SysError& error) {
    return !Inject(Call::Write, error) && inner_.Write(handle, buffer, size, error);
}

bool FaultyPlatform::Stat(Handle handle, fileio::FileStat& stat, SysError& error) {
    return !Inject(Call::Stat, error) && inner_.Stat(handle, stat, error);
}

bool FaultyPlatform::Close(Handle handle, SysError& error) {
    const bool inject = Inject(Call::Close, error);
    SysError closeError;
    const bool closed = inner_.Close(handle, closeError);
    --openHandles_;
    if (inject) return false;
    if (!closed) error = closeError;
    return closed;
}

bool FaultyPlatform::Replace(const std::string& from, const std::string& to, SysError& error) {
    return !Inject(Call::Replace, error) && inner_.Replace(from, to, error);
}

bool FaultyPlatform::Remove(const std::string& path, SysError& error) {
    return !Inject(Call::Remove, error) && inner_.Remove(path, error);
}

}  // namespace tarnwick::test
