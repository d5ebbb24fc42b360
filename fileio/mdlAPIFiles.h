// The file helpers: an existence test, a byte-range read, a write at an offset, a file-information
// query, the two-bytes-per-character encoding of inserted text, and what the splicer needs to
// write safely (identity, a temporary file, replace, remove). Each call opens what it needs and
// closes it before it returns, except CreateTempBeside, which hands its caller the new file open
// for writing; the caller closes it.
//
// Byte arrays carry one zero element after their data; WriteFileBytes writes every element but the
// last, so an array from ReadFileBytes or StringToWideBytes, written unchanged, writes its data.
// An out-of-range index throws std::out_of_range and an overflow std::overflow_error; platform
// failures are status codes, with the system's failure in `why` when the caller asks for it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fileio/Platform.h"

namespace tarnwick::fileio {

using ByteArray = std::vector<std::uint8_t>;

// ReadFileBytes statuses.
inline constexpr int kReadDone = 0;
inline constexpr int kReadNoFile = 1;
// Opened, but the size, seek or read failed; `bytes` is then left empty, never half filled.
inline constexpr int kReadFailed = 2;
inline constexpr int kReadCannotOpen = 3;

// WriteFileBytes statuses.
inline constexpr int kWriteDone = 0;
inline constexpr int kWriteExistsNoOverwrite = 1;
inline constexpr int kWriteCannotQuery = 2;
inline constexpr int kWriteCannotOpen = 3;
inline constexpr int kWriteFailed = 4;  // opened, but the seek, write or close failed

// GetFileInfo statuses.
inline constexpr int kInfoDone = 0;
inline constexpr int kInfoCannotOpen = 1;
inline constexpr int kInfoCannotQuery = 2;

// True when `path` is not empty and the system reports attributes for it (a folder counts).
bool FileExists(const std::string& path);

// Reads bytes [startPos, endPos) of `path`. `count` := endPos - startPos first, on every path.
// An endPos of 0 means the end of the file and is written back. Only the range is read.
// Throws std::out_of_range for an empty file, endPos < startPos, or a non-empty range reaching
// outside the file; std::overflow_error for a file beyond 2^31 - 1 bytes. `bytes` is then
// untouched.
int ReadFileBytes(const std::string& path, ByteArray& bytes, std::int32_t& count,
                  std::int32_t startPos, std::int32_t& endPos, Failure* why = nullptr);

// Writes all elements of `bytes` but the last at `offset` of `path`. A missing file is created;
// an existing one at offset 0 is cut to empty only when `overwrite` is true. An empty array throws
// std::out_of_range before any file is opened.
int WriteFileBytes(const ByteArray& bytes, const std::string& path, std::int32_t offset,
                   bool overwrite, Failure* why = nullptr);

int GetFileInfo(const std::string& path, LocalTime& creation, LocalTime& lastWrite,
                LocalTime& lastAccess, bool& archive, bool& hidden, bool& readOnly, bool& system,
                std::int32_t& size, Failure* why = nullptr);

// Each character of UTF-8 `text` as its code followed by a zero byte, then one zero element;
// count := 2n + 1. A character above U+00FF throws std::overflow_error.
void StringToWideBytes(const std::string& text, ByteArray& bytes, std::int32_t& count);

// The identity of what is at `path` now (a link's target), nullopt when nothing is there.
std::optional<FileId> FileIdentity(const std::string& path);

// True when both paths name one existing file (same volume and index), whatever their text.
bool SameFile(const std::string& a, const std::string& b);

// Every temporary file's name ends so, and starts with "." and the new file's name, so that an
// administrator can find a leftover (after a power cut) beside the template it was meant for.
inline constexpr char kTempSuffix[] = ".trnw-tmp";

// ".<file name, at most 128 bytes of it>.": how every temporary name beside that file starts.
std::string TempNameStart(const std::string& fileName);

// A temporary file just created, and its handle open for writing.
struct TempFile {
    std::string path;
    Handle handle = kNoHandle;
};

// Creates a new file, open for writing, in the folder of `path` under a name that nothing had:
// ".<name>.<writer>.<16 random hex digits>.trnw-tmp", the writer being this host and process
// (fileio/Leftovers.h). It is created exclusively; a name that turns out to
// be taken is tried again with another random part. A failure leaves no name for the caller to
// remove.
Result<TempFile> CreateTempBeside(const std::string& path);

// Moves `from` over `to`, keeping what was set on a file there (a read-only one is refused), and
// removes a file: through the current platform.
Status ReplaceFile(const std::string& from, const std::string& to);
Status RemoveFile(const std::string& path);

}  // namespace tarnwick::fileio
