// Reading a whole regular file for an edit: its bytes and its identity as read, so that only that
// file is replaced afterwards.
#pragma once

#include <cstdint>
#include <string>

#include "core/Result.h"
#include "fileio/Platform.h"

namespace tarnwick::fileio {

struct WholeFile {
    std::string bytes;
    FileId id;
};

// Why a file was not read whole: the system's failure as the platform gave it, or, with an empty
// message, a file above the limit or one whose size changed while it was read.
struct WholeReadFailure : Failure {
    bool tooLarge = false;
    bool changed = false;
};

// Opens, reads and closes `path` through the current platform. A file above `limit` bytes is
// refused before anything is read. A failure to close a file only read loses nothing and is not
// one.
Result<WholeFile, WholeReadFailure> ReadWholeFile(const std::string& path, std::uint64_t limit);

}  // namespace tarnwick::fileio
