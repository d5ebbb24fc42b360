#include "generate/LineReader.h"

#include <algorithm>
#include <cstring>

namespace tarnwick {

namespace {

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;
// Candidate starts are screened this many at a time.
constexpr std::size_t kChunk = 64;

// Setting bit 5 folds 'A'..'Z' onto 'a'..'z' and maps no other byte onto a lower-case letter.
constexpr std::uint8_t Folded(std::uint8_t byte) {
    return byte | 0x20;
}

template <std::size_t Unit>
bool MarkerAt(const std::uint8_t* p) {
    for (std::size_t i = 0; i < kMarkerLength; ++i) {
        if (Folded(p[i * Unit]) != static_cast<std::uint8_t>(kMarker[i])) return false;
        if (Unit == 2 && p[i * Unit + 1] != 0) return false;
    }
    return true;
}

// Whether any of the kChunk starts from `p` holds the marker's first, second and last letters in
// their places. A fixed-length reduction without branches, which the compiler vectorises; it
// rules out nearly every chunk of ordinary text, and only the rest are compared letter by letter.
template <std::size_t Unit>
bool ChunkMayHoldMarker(const std::uint8_t* p) {
    constexpr auto first = static_cast<std::uint8_t>(kMarker[0]);
    constexpr auto second = static_cast<std::uint8_t>(kMarker[1]);
    constexpr auto last = static_cast<std::uint8_t>(kMarker[kMarkerLength - 1]);
    constexpr std::size_t lastAt = (kMarkerLength - 1) * Unit;
    std::uint8_t hit = 0;
    for (std::size_t i = 0; i < kChunk; ++i) {
        hit |= static_cast<std::uint8_t>((Folded(p[i]) == first) & (Folded(p[i + Unit]) == second) &
                                         (Folded(p[i + lastAt]) == last));
    }
    return hit != 0;
}

template <std::size_t Unit>
std::size_t FindMarkerIn(const std::uint8_t* data, std::size_t size, std::uint64_t fileOffset) {
    constexpr std::size_t markerBytes = kMarkerLength * Unit;
    if (size < markerBytes) return npos;
    const std::size_t starts = size - markerBytes + 1;
    const auto isMarkerAt = [&](std::size_t at) {
        return (Unit == 1 || (fileOffset + at) % 2 == 0) && MarkerAt<Unit>(data + at);
    };
    std::size_t at = 0;
    for (; at + kChunk <= starts; at += kChunk) {
        if (!ChunkMayHoldMarker<Unit>(data + at)) continue;
        for (std::size_t i = at; i < at + kChunk; ++i) {
            if (isMarkerAt(i)) return i;
        }
    }
    for (; at < starts; ++at) {
        if (isMarkerAt(at)) return at;
    }
    return npos;
}

std::size_t UnitSize(SourceEncoding encoding) {
    return encoding == SourceEncoding::EightBit ? 1 : 2;
}

}  // namespace

std::size_t FindMarker(const std::uint8_t* data, std::size_t size, std::uint64_t fileOffset,
                       SourceEncoding encoding) {
    return encoding == SourceEncoding::EightBit ? FindMarkerIn<1>(data, size, fileOffset)
                                                : FindMarkerIn<2>(data, size, fileOffset);
}

MarkerLineFinder::MarkerLineFinder(SourceEncoding encoding, std::uint64_t sourceSize,
                                   std::size_t wanted)
    : encoding_(encoding),
      markerBytes_(kMarkerLength * UnitSize(encoding)),
      size_(sourceSize),
      wanted_(wanted),
      state_(sourceSize == 0 || wanted == 0 ? State::Done : State::Seeking) {}

void MarkerLineFinder::Feed(const std::uint8_t* block, std::size_t size) {
    std::size_t at = 0;
    while (at < size && state_ != State::Done) {
        switch (state_) {
            case State::Seeking:
                at = Seek(block, size, at);
                break;
            case State::InMarkerLine:
                at = FindLineEnd(block, size, at);
                break;
            case State::AfterCr:
                at = TakeLfAfterCr(block);
                break;
            case State::Done:
                break;
        }
    }
    blockStart_ += size;
    if (blockStart_ == size_ && state_ != State::Done) FinishAtEnd();
}

// Returns the block offset just past the next marker, or the block's size when it has none.
std::size_t MarkerLineFinder::Seek(const std::uint8_t* block, std::size_t size, std::size_t from) {
    std::size_t past = carrySize_ > 0 ? SeekAcrossBoundary(block, size) : npos;
    if (past == npos) {
        const std::size_t at = FindMarker(block + from, size - from, blockStart_ + from, encoding_);
        if (at == npos) {
            Carry(block + from, size - from);
            return size;
        }
        past = from + at + markerBytes_;
    }
    carrySize_ = 0;
    state_ = State::InMarkerLine;
    return past;
}

// A marker that begins in the carried bytes and ends in this block: the offset just past it.
std::size_t MarkerLineFinder::SeekAcrossBoundary(const std::uint8_t* block, std::size_t size) {
    std::array<std::uint8_t, 2 * kMaxCarry> joined;
    const std::size_t taken = std::min(size, markerBytes_ - 1);
    std::memcpy(joined.data(), carry_.data(), carrySize_);
    std::memcpy(joined.data() + carrySize_, block, taken);
    const std::size_t at =
        FindMarker(joined.data(), carrySize_ + taken, blockStart_ - carrySize_, encoding_);
    if (at == npos || at >= carrySize_) return npos;
    return at + markerBytes_ - carrySize_;
}

// Keeps the last bytes seen that are too few to hold a marker by themselves.
void MarkerLineFinder::Carry(const std::uint8_t* bytes, std::size_t size) {
    const std::size_t keep = markerBytes_ - 1;
    if (size >= keep) {
        std::memcpy(carry_.data(), bytes + (size - keep), keep);
        carrySize_ = keep;
        return;
    }
    const std::size_t total = carrySize_ + size;
    const std::size_t drop = total > keep ? total - keep : 0;
    std::memmove(carry_.data(), carry_.data() + drop, carrySize_ - drop);
    carrySize_ -= drop;
    std::memcpy(carry_.data() + carrySize_, bytes, size);
    carrySize_ += size;
}

// Looks for the marker line's end from `from`; returns the block offset where the next search
// starts.
std::size_t MarkerLineFinder::FindLineEnd(const std::uint8_t* block, std::size_t size,
                                          std::size_t from) {
    const std::uint8_t* end = block + size;
    const std::uint8_t* hit = end;
    if (encoding_ == SourceEncoding::EightBit) {
        hit = std::find_if(block + from, end, [](std::uint8_t b) { return b == kCr || b == kLf; });
    } else if (const void* cr = std::memchr(block + from, kCr, size - from)) {
        hit = static_cast<const std::uint8_t*>(cr);
    }
    if (hit == end) return size;
    const auto at = static_cast<std::size_t>(hit - block);
    const std::uint64_t consumed = blockStart_ + at + 1;
    if (*hit == kLf) {
        Record(consumed, LineEnd::Lf);
        return at + 1;
    }
    if (at + 1 == size) {
        crEnd_ = consumed;
        state_ = State::AfterCr;
        return size;
    }
    if (block[at + 1] == kLf) {
        Record(consumed + 1, LineEnd::CrLf);
        return at + 2;
    }
    Record(consumed, LineEnd::Cr);
    return at + 1;
}

// The marker line's CR ended the previous block; an LF starting this one belongs to it.
std::size_t MarkerLineFinder::TakeLfAfterCr(const std::uint8_t* block) {
    if (block[0] == kLf) {
        Record(crEnd_ + 1, LineEnd::CrLf);
        return 1;
    }
    Record(crEnd_, LineEnd::Cr);
    return 0;
}

void MarkerLineFinder::Record(std::uint64_t consumed, LineEnd end) {
    lines_.push_back({consumed, end});
    state_ = lines_.size() >= wanted_ ? State::Done : State::Seeking;
    carrySize_ = 0;
}

// The whole source is seen: a marker line still open runs to the end of the file.
void MarkerLineFinder::FinishAtEnd() {
    if (state_ == State::InMarkerLine) Record(size_, LineEnd::None);
    if (state_ == State::AfterCr) Record(crEnd_, LineEnd::Cr);
    state_ = State::Done;
}

LineReader::LineReader(std::size_t blockSize, std::size_t wantedLines)
    : blockSize_(std::max<std::size_t>(blockSize, 1)), wantedLines_(wantedLines) {}

LineReader::~LineReader() {
    Close();
}

bool LineReader::Open(const std::string& path, fileio::SysError& error) {
    Close();
    platform_ = &fileio::CurrentPlatform();
    blockStart_ = 0;
    filled_ = 0;
    size_ = 0;
    linesTaken_ = 0;
    consumed_ = 0;
    failed_ = false;
    error_ = {};
    finder_.reset();
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
    finder_.emplace(encoding_, size_, wantedLines_);
    buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(
        static_cast<std::size_t>(std::min<std::uint64_t>(blockSize_, size_)) + 1);
    if (!ReadBlock()) {
        error = error_;
        Close();
        return false;
    }
    return true;
}

void LineReader::Close() {
    if (handle_ == fileio::kNoHandle) return;
    fileio::SysError ignored;  // nothing was written, so a failed close loses nothing
    platform_->Close(handle_, ignored);
    handle_ = fileio::kNoHandle;
}

// Reads the start of the file for the encoding, then rewinds.
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

bool LineReader::NextBlock() {
    if (failed_ || handle_ == fileio::kNoHandle || blockStart_ + filled_ >= size_) return false;
    return ReadBlock();
}

// Reads the block after the current one over it and feeds it to the finder.
bool LineReader::ReadBlock() {
    blockStart_ += filled_;
    filled_ = 0;
    const auto want =
        static_cast<std::size_t>(std::min<std::uint64_t>(blockSize_, size_ - blockStart_));
    if (want == 0) return true;
    std::size_t got = 0;
    fileio::SysError error;
    if (!platform_->Read(handle_, buffer_.get(), want, got, error)) return Fail(error);
    if (got < want) return Fail({0, "the file ended before its reported size"});
    filled_ = want;
    finder_->Feed(buffer_.get(), filled_);
    return true;
}

bool LineReader::SkipToMarkerLine(LineInfo& line) {
    if (failed_ || !finder_) return false;
    while (linesTaken_ >= finder_->Lines().size()) {
        if (!NextBlock()) {
            if (!failed_) consumed_ = size_;
            return false;
        }
    }
    line = finder_->Lines()[linesTaken_++];
    consumed_ = line.consumed;
    return true;
}

bool LineReader::Fail(const fileio::SysError& error) {
    failed_ = true;
    error_ = error;
    return false;
}

}  // namespace tarnwick
