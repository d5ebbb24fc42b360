#include "fileio/WholeFile.h"

#include <utility>

namespace tarnwick::fileio {

namespace {

WholeReadFailure SystemFailure(const Failure& why) {
    WholeReadFailure failure;
    static_cast<Failure&>(failure) = why;
    return failure;
}

Result<WholeFile, WholeReadFailure> ReadOpen(Platform& platform, Handle handle,
                                             std::uint64_t limit) {
    const Result<FileStat> stat = platform.Stat(handle);
    if (!stat) return SystemFailure(stat.failure());
    const Result<std::uint64_t> size = platform.Size(handle);
    if (!size) return SystemFailure(size.failure());
    WholeReadFailure refusal;
    if (*size > limit) {
        refusal.tooLarge = true;
        return refusal;
    }
    WholeFile file;
    file.id = stat->id;
    file.bytes.assign(static_cast<std::size_t>(*size), '\0');
    if (file.bytes.empty()) return file;
    const Result<std::size_t> got = platform.Read(handle, file.bytes.data(), file.bytes.size());
    if (!got) return SystemFailure(got.failure());
    if (*got != file.bytes.size()) {
        refusal.changed = true;
        return refusal;
    }
    return file;
}

}  // namespace

Result<WholeFile, WholeReadFailure> ReadWholeFile(const std::string& path, std::uint64_t limit) {
    Platform& platform = CurrentPlatform();
    const Result<Handle> opened = platform.Open(path, Access::Read, Disposition::OpenExisting);
    if (!opened) return SystemFailure(opened.failure());
    Result<WholeFile, WholeReadFailure> read = ReadOpen(platform, *opened, limit);
    (void)platform.Close(*opened);
    return read;
}

}  // namespace tarnwick::fileio
