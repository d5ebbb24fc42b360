#include "generate/LineReader.h"

#include <algorithm>
#include <cstring>

namespace tarnwick {

namespace {

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;
// Room for a marker that straddles two blocks, twice over.
constexpr std::size_t kSmallestBlock = 4 * kMarkerLength;

std::size_t UnitSize(SourceEncoding encoding) {
    return encoding == SourceEncoding::EightBit ? 1 : 2;
}

// ASCII letters only: setting bit 5 folds 'A'..'Z' onto 'a'..'z' and maps no other byte onto a
// lower-case letter.
bool MarkerAt(const std::uint8_t* p, std::size_t unit) {
    for (std::size_t i = 0; i < kMarkerLength; ++i) {
        if ((p[i * unit] | 0x20) != static_cast<std::uint8_t>(kMarker[i])) return false;
        if (unit == 2 && p[i * unit + 1] != 0) return false;
    }
    return true;
}

const std::uint8_t* FindByte(const std::uint8_t* from, const std::uint8_t* end, std::uint8_t byte) {
    if (from >= end) return end;
    const void* hit = std::memchr(from, byte, static_cast<std::size_t>(end - from));
    return hit ? static_cast<const std::uint8_t*>(hit) : end;
}

}  // namespace

// Candidates are the marker's second letter, 'b', which template text seldom holds; memchr finds
// each case of it quickly, and only there is the whole marker compared.
std::size_t FindMarker(const std::uint8_t* data, std::size_t size, std::uint64_t fileOffset,
                       SourceEncoding encoding) {
    const std::size_t unit = UnitSize(encoding);
    const std::size_t markerBytes = kMarkerLength * unit;
    if (size < markerBytes) return npos;
    const std::size_t keyOffset = 1 * unit;
    const std::uint8_t* first = data + keyOffset;
    const std::uint8_t* end = data + (size - markerBytes) + keyOffset + 1;
    const std::uint8_t* lower = FindByte(first, end, 'b');
    const std::uint8_t* upper = FindByte(first, end, 'B');
    while (lower != end || upper != end) {
        const std::uint8_t*& next = lower < upper ? lower : upper;
        const std::size_t start = static_cast<std::size_t>(next - data) - keyOffset;
        const bool aligned = unit == 1 || (fileOffset + start) % 2 == 0;
        if (aligned && MarkerAt(data + start, unit)) return start;
        next = FindByte(next + 1, end, *next);
    }
    return npos;
}

LineReader::LineReader(std::size_t blockSize) : blockSize_(std::max(blockSize, kSmallestBlock)) {}

LineReader::~LineReader() {
    Close();
}

bool LineReader::Open(const std::string& path, fileio::SysError& error) {
    Close();
    platform_ = &fileio::CurrentPlatform();
    bufferStart_ = 0;
    filled_ = 0;
    consumed_ = 0;
    size_ = 0;
    failed_ = false;
    error_ = {};
    if (!platform_->Open(path, fileio::Access::Read, fileio::Disposition::OpenExisting, handle_,
                         error)) {
        handle_ = fileio::kNoHandle;
        return false;
    }
    if (!platform_->Size(handle_, size_, error) || !DetectFromHead()) {
        if (failed_) error = error_;
        Close();
        return false;
    }
    buffer_.resize(blockSize_);
    return true;
}

void LineReader::Close() {
    if (handle_ == fileio::kNoHandle) return;
    fileio::SysError ignored;  // nothing was written, so a failed close loses nothing
    platform_->Close(handle_, ignored);
    handle_ = fileio::kNoHandle;
}

// Reads the start of the file for the encoding, then rewinds for the line input.
bool LineReader::DetectFromHead() {
    std::vector<std::uint8_t> head(
        static_cast<std::size_t>(std::min<std::uint64_t>(size_, kDetectionWindow)));
    std::size_t got = 0;
    fileio::SysError error;
    if (!platform_->Read(handle_, head.data(), head.size(), got, error)) return Fail(error);
    if (got < head.size()) return Fail({0, "the file ended before its reported size"});
    encoding_ = DetectEncoding(head.data(), head.size());
    if (!platform_->Seek(handle_, 0, error)) return Fail(error);
    return true;
}

std::size_t LineReader::MarkerBytes() const {
    return kMarkerLength * UnitSize(encoding_);
}

// Drops the buffered bytes before `keepFrom`, then appends the next block of the file. False at
// the end of the file, and on a failed read (then Failed()).
bool LineReader::ReadMore(std::uint64_t keepFrom) {
    if (BufferEnd() >= size_) return false;
    const std::size_t drop = static_cast<std::size_t>(keepFrom - bufferStart_);
    std::memmove(buffer_.data(), buffer_.data() + drop, filled_ - drop);
    bufferStart_ += drop;
    filled_ -= drop;
    const std::size_t want = static_cast<std::size_t>(
        std::min<std::uint64_t>(buffer_.size() - filled_, size_ - BufferEnd()));
    std::size_t got = 0;
    fileio::SysError error;
    if (!platform_->Read(handle_, buffer_.data() + filled_, want, got, error)) return Fail(error);
    if (got == 0) return Fail({0, "the file ended before its reported size"});
    filled_ += got;
    return true;
}

// Offset from `from` of the next line-ending byte in the buffer, or npos.
std::size_t LineReader::FindTerminator(std::uint64_t from) const {
    const std::uint8_t* p = At(from);
    const std::size_t n = static_cast<std::size_t>(BufferEnd() - from);
    if (encoding_ != SourceEncoding::EightBit) {
        const void* hit = std::memchr(p, kCr, n);
        return hit ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - p) : npos;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] == kCr || p[i] == kLf) return i;
    }
    return npos;
}

// Consumes the line-ending byte at the current position and an LF directly after a CR.
bool LineReader::ConsumeTerminator(LineEnd& end) {
    const std::uint8_t byte = *At(consumed_);
    ++consumed_;
    if (byte == kLf) {
        end = LineEnd::Lf;
        return true;
    }
    if (consumed_ == BufferEnd() && consumed_ < size_ && !ReadMore(consumed_)) return false;
    if (consumed_ < BufferEnd() && *At(consumed_) == kLf) {
        ++consumed_;
        end = LineEnd::CrLf;
    } else {
        end = LineEnd::Cr;
    }
    return true;
}

bool LineReader::ReadLine(LineInfo& line) {
    if (failed_ || handle_ == fileio::kNoHandle || consumed_ >= size_) return false;
    const std::uint64_t lineStart = consumed_;
    line = {};
    for (;;) {
        const std::size_t terminator = FindTerminator(consumed_);
        const std::uint64_t segmentEnd = terminator == npos ? BufferEnd() : consumed_ + terminator;
        if (!line.hasMarker) {
            const std::uint64_t from = std::max(lineStart, bufferStart_);
            line.hasMarker = FindMarker(At(from), static_cast<std::size_t>(segmentEnd - from), from,
                                        encoding_) != npos;
        }
        consumed_ = segmentEnd;
        if (terminator != npos) return ConsumeTerminator(line.end);
        if (consumed_ == size_) {
            line.end = LineEnd::None;
            return true;
        }
        // Keep the line's last few bytes: they may begin a marker that the next block completes.
        const std::uint64_t tail = std::min<std::uint64_t>(consumed_, MarkerBytes() - 1);
        if (!ReadMore(std::max(lineStart, consumed_ - tail))) return false;
    }
}

// The first marker at or after the current line start lies wholly inside one line, since its bytes
// hold no line end, so that line is the one a line-by-line search stops at. Searching whole blocks
// for it is much faster than testing line after line.
bool LineReader::SkipToMarkerLine(LineInfo& line) {
    if (failed_ || handle_ == fileio::kNoHandle) return false;
    while (consumed_ < size_) {
        const std::size_t found = FindMarker(
            At(consumed_), static_cast<std::size_t>(BufferEnd() - consumed_), consumed_, encoding_);
        if (found != npos) {
            consumed_ += found;
            return ReadLine(line);
        }
        if (BufferEnd() == size_) break;
        const std::uint64_t tail = std::min<std::uint64_t>(BufferEnd(), MarkerBytes() - 1);
        consumed_ = std::max(consumed_, BufferEnd() - tail);
        if (!ReadMore(consumed_)) return false;
    }
    consumed_ = size_;
    return false;
}

bool LineReader::Fail(const fileio::SysError& error) {
    failed_ = true;
    error_ = error;
    return false;
}

}  // namespace tarnwick
