#include "fileio/mdlAPIFiles.h"

#include "core/Text.h"
#include "fileio/Leftovers.h"

#include <limits>
#include <stdexcept>
#include <utility>

namespace tarnwick::fileio {

namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();

// Keeps the temporary file's name well inside the 255-unit limit of one path component.
constexpr std::size_t kMaxTempNameBytes = 128;

#ifdef _WIN32
constexpr const char* kSeparators = "\\/:";
#else
constexpr const char* kSeparators = "/";
#endif

// Closes the handle on every path out of a helper, a thrown exception included.
class FileHandle {
  public:
    explicit FileHandle(Platform& platform) : platform_(platform) {}
    ~FileHandle() {
        if (open_) (void)platform_.Close(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    Status Open(const std::string& path, Access access, Disposition disposition) {
        Result<Handle> opened = platform_.Open(path, access, disposition);
        if (!opened) return opened.failure();
        handle_ = *opened;
        open_ = true;
        return {};
    }
    Handle get() const { return handle_; }
    // For writes, where a failed close can mean lost data.
    Status Close() {
        open_ = false;
        return platform_.Close(handle_);
    }

  private:
    Platform& platform_;
    Handle handle_ = kNoHandle;
    bool open_ = false;
};

int Report(Failure* why, const Failure& error, int status) {
    if (why != nullptr) *why = error;
    return status;
}

std::int32_t Narrow(std::int64_t value, const char* what) {
    if (value > kInt32Max || value < kInt32Min) throw std::overflow_error(what);
    return static_cast<std::int32_t>(value);
}

// A range that covers any byte outside the file is out of range. An empty range touches no byte,
// so it is accepted wherever it lies.
void CheckRange(std::int32_t startPos, std::int32_t endPos, std::int32_t fileSize) {
    if (endPos < startPos)
        throw std::out_of_range("ReadFileBytes: the range ends before it starts");
    if (endPos > startPos && (startPos < 0 || endPos > fileSize)) {
        throw std::out_of_range("ReadFileBytes: the range lies outside the file");
    }
}

// Gives `bytes` `size` zero elements. A buffer that must grow is freed first, so that a big range
// never costs its old and its new size at once.
void ResizeZeroed(ByteArray& bytes, std::size_t size) {
    if (bytes.capacity() < size) ByteArray().swap(bytes);
    bytes.assign(size, 0);
}

int ReadFailed(ByteArray& bytes, Failure* why, const Failure& error) {
    bytes.clear();
    return Report(why, error, kReadFailed);
}

std::size_t CountCodePoints(const std::string& text) {
    std::size_t n = 0;
    for (std::size_t pos = 0; pos < text.size(); ++n)
        pos += Utf8At(text, pos).length;
    return n;
}

bool IdentityOf(const std::string& path, FileId& id) {
    if (path.empty()) return false;
    Platform& platform = CurrentPlatform();
    FileHandle file(platform);
    if (!file.Open(path, Access::Query, Disposition::OpenExisting)) return false;
    const Result<FileStat> stat = platform.Stat(file.get());
    if (!stat) return false;
    id = stat->id;
    return true;
}

}  // namespace

bool FileExists(const std::string& path) {
    return !path.empty() && CurrentPlatform().Attributes(path).ok();
}

int ReadFileBytes(const std::string& path, ByteArray& bytes, std::int32_t& count,
                  std::int32_t startPos, std::int32_t& endPos, Failure* why) {
    count = Narrow(std::int64_t{endPos} - startPos, "ReadFileBytes: the range is too long");
    if (!FileExists(path)) return kReadNoFile;

    Platform& platform = CurrentPlatform();
    FileHandle file(platform);
    if (Status opened = file.Open(path, Access::Read, Disposition::OpenExisting); !opened) {
        return Report(why, opened.failure(), kReadCannotOpen);
    }
    const Result<std::uint64_t> size = platform.Size(file.get());
    if (!size) return ReadFailed(bytes, why, size.failure());
    if (*size > static_cast<std::uint64_t>(kInt32Max)) {
        throw std::overflow_error("ReadFileBytes: the file is larger than 32-bit offsets reach");
    }
    const auto fileSize = static_cast<std::int32_t>(*size);
    if (fileSize == 0) throw std::out_of_range("ReadFileBytes: the file is empty");
    if (endPos == 0) endPos = fileSize;
    CheckRange(startPos, endPos, fileSize);

    // Only the range is read, so a big file is copied in bounded pieces at bounded cost.
    const auto length = static_cast<std::size_t>(endPos - startPos);
    if (length > 0) {
        if (Status sought = platform.Seek(file.get(), static_cast<std::uint64_t>(startPos));
            !sought) {
            return ReadFailed(bytes, why, sought.failure());
        }
    }
    ResizeZeroed(bytes, length + 1);
    if (length == 0) return kReadDone;
    const Result<std::size_t> got = platform.Read(file.get(), bytes.data(), length);
    if (!got) return ReadFailed(bytes, why, got.failure());
    if (*got < length) {
        return ReadFailed(bytes, why, Failure{"the file ended before the range did"});
    }
    return kReadDone;
}

void StringToWideBytes(const std::string& text, ByteArray& bytes, std::int32_t& count) {
    const std::size_t n = CountCodePoints(text);
    if (n > static_cast<std::size_t>((kInt32Max - 1) / 2)) {
        throw std::overflow_error("StringToWideBytes: the text is too long");
    }
    count = static_cast<std::int32_t>(2 * n + 1);
    bytes.assign(2 * n + 1, 0);
    std::size_t pos = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const Utf8Char c = Utf8At(text, pos);
        const char32_t code = c.code;
        pos += c.length;
        if (code > 0xFF) {
            throw std::overflow_error("StringToWideBytes: a character has no single-byte code");
        }
        bytes[2 * k] = static_cast<std::uint8_t>(code);
    }
}

int WriteFileBytes(const ByteArray& bytes, const std::string& path, std::int32_t offset,
                   bool overwrite, Failure* why) {
    // Checked before anything is opened, so that a bad array never cuts or creates a file.
    if (bytes.empty()) throw std::out_of_range("WriteFileBytes: the array has no element 0");
    const std::size_t length = bytes.size() - 1;
    if (length > static_cast<std::size_t>(kInt32Max)) {
        throw std::overflow_error("WriteFileBytes: the array is too long");
    }

    Platform& platform = CurrentPlatform();
    FileHandle file(platform);
    Status opened;
    if (!FileExists(path)) {
        opened = file.Open(path, Access::Write, Disposition::CreateNew);
    } else if (offset != 0) {
        LocalTime creation, lastWrite, lastAccess;
        bool archive = false, hidden = false, readOnly = false, system = false;
        std::int32_t size = 0;
        Failure error;
        if (GetFileInfo(path, creation, lastWrite, lastAccess, archive, hidden, readOnly, system,
                        size, &error) != kInfoDone) {
            return Report(why, error, kWriteCannotQuery);
        }
        opened = file.Open(path, Access::Write, Disposition::OpenExisting);
    } else {
        if (!overwrite) return kWriteExistsNoOverwrite;
        opened = file.Open(path, Access::Write, Disposition::CreateOrTruncate);
    }
    if (!opened) return Report(why, opened.failure(), kWriteCannotOpen);

    // An offset of 0 or less writes from the start.
    if (offset > 0) {
        if (Status sought = platform.Seek(file.get(), static_cast<std::uint64_t>(offset));
            !sought) {
            return Report(why, sought.failure(), kWriteFailed);
        }
    }
    if (length > 0) {
        if (Status written = platform.Write(file.get(), bytes.data(), length); !written) {
            return Report(why, written.failure(), kWriteFailed);
        }
    }
    if (Status closed = file.Close(); !closed) return Report(why, closed.failure(), kWriteFailed);
    return kWriteDone;
}

int GetFileInfo(const std::string& path, LocalTime& creation, LocalTime& lastWrite,
                LocalTime& lastAccess, bool& archive, bool& hidden, bool& readOnly, bool& system,
                std::int32_t& size, Failure* why) {
    Platform& platform = CurrentPlatform();
    FileHandle file(platform);
    if (Status opened = file.Open(path, Access::Read, Disposition::OpenExisting); !opened) {
        return Report(why, opened.failure(), kInfoCannotOpen);
    }
    const Result<FileStat> found = platform.Stat(file.get());
    if (!found) return Report(why, found.failure(), kInfoCannotQuery);
    (void)file.Close();  // the information is read; a failed close changes nothing
    const FileStat& stat = *found;

    creation = stat.creation;
    lastWrite = stat.lastWrite;
    lastAccess = stat.lastAccess;
    readOnly = (stat.attributes & kAttrReadOnly) != 0;
    hidden = (stat.attributes & kAttrHidden) != 0;
    system = (stat.attributes & kAttrSystem) != 0;
    archive = (stat.attributes & kAttrArchive) != 0;
    // The low 32 bits, as the system's size word holds them.
    size = static_cast<std::int32_t>(static_cast<std::uint32_t>(stat.size));
    return kInfoDone;
}

std::optional<FileId> FileIdentity(const std::string& path) {
    FileId id;
    if (!IdentityOf(path, id)) return std::nullopt;
    return id;
}

bool SameFile(const std::string& a, const std::string& b) {
    FileId idA, idB;
    return IdentityOf(a, idA) && IdentityOf(b, idB) && idA == idB;
}

std::string TempNameStart(const std::string& fileName) {
    // Appended piece by piece: "." + text + "." trips a false -Wrestrict in GCC 12.
    std::string start(1, '.');
    start.append(fileName, 0, Utf8Cut(fileName, kMaxTempNameBytes));
    start += '.';
    return start;
}

Result<TempFile> CreateTempBeside(const std::string& path) {
    // Eight random bytes make a repeat (another run, a leftover, a planted name) unlikely; the
    // exclusive create makes one harmless.
    constexpr int kAttempts = 16;
    constexpr char kHex[] = "0123456789abcdef";
    const std::size_t slash = path.find_last_of(kSeparators);
    const std::size_t cut = slash == std::string::npos ? 0 : slash + 1;
    const std::string stem =
        path.substr(0, cut) + TempNameStart(path.substr(cut)) + WriterTag() + ".";
    Platform& platform = CurrentPlatform();
    Failure error;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::uint8_t random[8];
        if (Status drawn = platform.Random(random, sizeof random); !drawn) return drawn.failure();
        std::string candidate = stem;
        for (const std::uint8_t byte : random) {
            candidate += kHex[byte >> 4];
            candidate += kHex[byte & 0xF];
        }
        candidate += kTempSuffix;
        Result<Handle> opened = platform.Open(candidate, Access::Write, Disposition::CreateNew);
        if (opened) return TempFile{std::move(candidate), *opened};
        error = opened.failure();
        // Only a name that is taken is worth another try; anything else (no such folder, no
        // right to write there, a full disk) would fail again.
        const Result<Entry> entry = platform.Lookup(candidate);
        if (!entry || entry->kind == EntryKind::Missing) break;
    }
    return error;
}

Status ReplaceFile(const std::string& from, const std::string& to) {
    return CurrentPlatform().Replace(from, to);
}

Status RemoveFile(const std::string& path) {
    return CurrentPlatform().Remove(path);
}

}  // namespace tarnwick::fileio
