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

Failure CannotRead(const std::string& path, const fileio::SysError& why) {
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
    fileio::Entry entry;
    fileio::SysError why;
    if (!platform.Lookup(path, entry, why)) return CannotRead(path, why);
    switch (entry.kind) {
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
    fileio::Handle handle = fileio::kNoHandle;
    if (!platform.Open(path, fileio::Access::Read, fileio::Disposition::OpenExisting, handle,
                       why)) {
        return CannotRead(path, why);
    }
    std::uint64_t size = 0;
    std::string bytes;
    std::size_t got = 0;
    bool read = platform.Size(handle, size, why);
    if (read && size > limit) {
        fileio::SysError ignored;
        platform.Close(handle, ignored);
        return Failure{Quoted(path) + " was not read: " + TooLargeText(size, limit) + "."};
    }
    if (read) {
        bytes.resize(static_cast<std::size_t>(size));
        read = platform.Read(handle, bytes.data(), bytes.size(), got, why);
        bytes.resize(got);  // a file that shrank meanwhile
    }
    fileio::SysError closeWhy;
    const bool closed = platform.Close(handle, closeWhy);
    if (!read) return CannotRead(path, why);
    if (!closed) return CannotRead(path, closeWhy);
    return bytes;
}

}  // namespace tarnwick::readback
