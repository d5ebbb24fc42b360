#include "readback/InputFile.h"

#include <cstdio>
#include <utility>

#include "fileio/NewFile.h"
#include "fileio/Platform.h"

namespace tarnwick::readback {

namespace {

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string Size(std::uint64_t bytes) {
    if (bytes < (std::uint64_t{1} << 20)) return std::to_string(bytes) + " bytes";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
    return text;
}

Failure CannotRead(const std::string& path, const Failure& why) {
    return {Quoted(path) + " cannot be read" + fileio::Because(why), why.code};
}

}  // namespace

std::string TooLargeText(std::uint64_t size, std::uint64_t limit) {
    const bool mebibytes = limit % (1 << 20) == 0 && limit > 0;
    return "it is " + Size(size) + ", more than the " +
           (mebibytes ? std::to_string(limit >> 20) + " MiB" : Size(limit)) +
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
