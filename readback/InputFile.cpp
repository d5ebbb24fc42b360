#include "readback/InputFile.h"

#include <utility>

#include "core/Text.h"
#include "fileio/NewFile.h"
#include "fileio/Platform.h"

namespace tarnwick::readback {

namespace {

Failure CannotRead(const std::string& path, const Failure& why) {
    return {Quoted(path) + " cannot be read" + fileio::Because(why), why.code};
}

}  // namespace

std::string TooLargeText(std::uint64_t size, std::uint64_t limit) {
    return "it is " + SizeText(size) + ", more than the " + LimitText(limit) +
           " that Tarnwick reads";
}

Result<std::string> ReadInputFile(const std::string& path, std::uint64_t limit) {
    fileio::Platform& platform = fileio::CurrentPlatform();
    const Result<fileio::Entry> entry = platform.Lookup(path);
    if (!entry) return CannotRead(path, entry.failure());
    switch (entry->kind) {
        case fileio::EntryKind::Missing:
            return Failure{Quoted(path) + " does not exist."};
        case fileio::EntryKind::DanglingLink:
            return Failure{Quoted(path) + " is a link to a file that does not exist."};
        case fileio::EntryKind::Folder:
            return Failure{Quoted(path) + " is a folder, not a template."};
        case fileio::EntryKind::Special:
            return Failure{Quoted(path) + " is not a regular file (a device, pipe or socket)."};
        case fileio::EntryKind::Regular:
            break;
    }
    const Result<fileio::Handle> opened =
        platform.Open(path, fileio::Access::Read, fileio::Disposition::OpenExisting);
    if (!opened) return CannotRead(path, opened.failure());
    const fileio::Handle handle = *opened;
    const Result<std::uint64_t> size = platform.Size(handle);
    if (size && *size > limit) {
        (void)platform.Close(handle);
        return Failure{Quoted(path) + " was not read: " + TooLargeText(*size, limit) + "."};
    }
    std::string bytes(size ? static_cast<std::size_t>(*size) : 0, '\0');
    const Result<std::size_t> got = size ? platform.Read(handle, bytes.data(), bytes.size())
                                         : Result<std::size_t>(size.failure());
    const Status closed = platform.Close(handle);
    if (!got) return CannotRead(path, got.failure());
    if (!closed) return CannotRead(path, closed.failure());
    bytes.resize(*got);  // a file that shrank meanwhile
    return bytes;
}

}  // namespace tarnwick::readback
