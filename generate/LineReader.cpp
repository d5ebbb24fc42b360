#include "generate/LineReader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

namespace tarnwick {

namespace {

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;
// Candidate starts are screened this many at a time.
constexpr std::size_t kChunk = 256;

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

// 16 bytes taken as lanes of two code units each: 16-bit lanes in 8-bit text, 32-bit lanes in
// UTF-16LE text. Both builds compile these to SSE2: x86-64 always has it, and the i686 Windows
// build is compiled with -msse2 (without it GCC emulates the vectors with scalar code, which
// scanned 8-bit text at a tenth of the speed).
typedef std::uint16_t UnitPairs8 __attribute__((vector_size(16)));
typedef std::uint32_t UnitPairs16 __attribute__((vector_size(16)));
template <std::size_t Unit>
using UnitPairs = std::conditional_t<Unit == 1, UnitPairs8, UnitPairs16>;
template <std::size_t Unit>
using UnitPair = std::conditional_t<Unit == 1, std::uint16_t, std::uint32_t>;
constexpr std::size_t kVectorBytes = 16;
static_assert(std::endian::native == std::endian::little, "lanes hold file bytes in their order");

// Two characters as one lane, as they lie in the file (little-endian); in UTF-16LE each with a
// zero high byte.
template <std::size_t Unit>
constexpr UnitPair<Unit> PairOf(char first, char second) {
    return static_cast<UnitPair<Unit>>(static_cast<std::uint8_t>(first) |
                                       static_cast<std::uint8_t>(second) << (8 * Unit));
}

// Whether the kChunk bytes from `p`, as lanes of two code units, hold "bc" or "cd" in any case.
// Every marker puts one of the two pairs in a lane, whichever its alignment ("ab|cd|on|ly" or
// "a|bc|do|nl|y"), while text hardly ever holds either: only the rare chunks that pass are
// compared letter by letter.
template <std::size_t Unit>
bool ChunkMayHoldMarker(const std::uint8_t* p) {
    constexpr UnitPair<Unit> fold = PairOf<Unit>(' ', ' ');  // the ASCII case bit of each letter
    constexpr UnitPair<Unit> bc = PairOf<Unit>(kMarker[1], kMarker[2]);
    constexpr UnitPair<Unit> cd = PairOf<Unit>(kMarker[2], kMarker[3]);
    UnitPairs<Unit> lanes;
    decltype(lanes == lanes) hits{};
    for (std::size_t i = 0; i < kChunk; i += kVectorBytes) {
        std::memcpy(&lanes, p + i, kVectorBytes);
        lanes |= fold;
        hits |= (lanes == bc) | (lanes == cd);
    }
    std::uint64_t halves[2];
    std::memcpy(halves, &hits, sizeof halves);
    return (halves[0] | halves[1]) != 0;
}

template <std::size_t Unit>
std::size_t FindMarkerIn(const std::uint8_t* data, std::size_t size, std::uint64_t fileOffset) {
    constexpr std::size_t markerBytes = kMarkerLength * Unit;
    if (size < markerBytes) return npos;
    const std::size_t starts = size - markerBytes + 1;
    const auto firstIn = [&](std::size_t from, std::size_t to) {
        for (std::size_t at = from; at < std::min(to, starts); ++at) {
            if ((Unit == 1 || (fileOffset + at) % 2 == 0) && MarkerAt<Unit>(data + at)) return at;
        }
        return npos;
    };
    // A marker shows its pair in a lane one or two code units after its start. Lanes begin at
    // even file offsets, where UTF-16LE code units do.
    const auto firstStartShownIn = [](std::size_t lane) {
        return lane > 2 * Unit ? lane - 2 * Unit : 0;
    };
    std::size_t lane = Unit == 1 ? 0 : static_cast<std::size_t>(fileOffset % 2);
    std::size_t checked = 0;  // every start before this has been compared
    for (; lane + kChunk <= size; lane += kChunk) {
        if (!ChunkMayHoldMarker<Unit>(data + lane)) continue;
        const std::size_t from = std::max(checked, firstStartShownIn(lane));
        checked = lane + kChunk;
        const std::size_t found = firstIn(from, checked);
        if (found != npos) return found;
    }
    return firstIn(std::max(checked, firstStartShownIn(lane)), starts);
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

MarkerLineFinder::MarkerLineFinder(SourceFormat format, std::uint64_t sourceSize,
                                   std::size_t wanted)
    : encoding_(format.encoding),
      wideLineEnd_(format.wideLineEnd == WideLineEnd::Lf ? kLf : kCr),
      markerBytes_(kMarkerLength * UnitSize(format.encoding)),
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
            case State::AfterLineEnd:
                at = TakeByteAfterLineEnd(block);
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
    return encoding_ == SourceEncoding::EightBit ? FindNarrowLineEnd(block, size, from)
                                                 : FindWideLineEnd(block, size, from);
}

std::size_t MarkerLineFinder::FindNarrowLineEnd(const std::uint8_t* block, std::size_t size,
                                                std::size_t from) {
    const std::uint8_t* end = block + size;
    const std::uint8_t* hit =
        std::find_if(block + from, end, [](std::uint8_t b) { return b == kCr || b == kLf; });
    if (hit == end) return size;
    const auto at = static_cast<std::size_t>(hit - block);
    const std::uint64_t consumed = blockStart_ + at + 1;
    if (*hit == kLf) {
        Record(consumed, LineEnd::Lf);
        return at + 1;
    }
    if (at + 1 == size) {
        pendingEnd_ = consumed;
        state_ = State::AfterLineEnd;
        return size;
    }
    if (block[at + 1] == kLf) {
        Record(consumed + 1, LineEnd::CrLf);
        return at + 2;
    }
    Record(consumed, LineEnd::Cr);
    return at + 1;
}

// Only the code unit U+000D (or U+000A in a source with LF line ends) ends a UTF-16LE line: 0D 00
// at an even file offset. Other 0D bytes are halves of characters such as U+4E0D or U+0D15. The
// reader stops after the 0D, so the next line starts with its 00.
std::size_t MarkerLineFinder::FindWideLineEnd(const std::uint8_t* block, std::size_t size,
                                              std::size_t from) {
    for (std::size_t at = from; at < size; ++at) {
        const void* end = std::memchr(block + at, wideLineEnd_, size - at);
        if (end == nullptr) return size;
        at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - block);
        if ((blockStart_ + at) % 2 != 0) continue;
        const std::uint64_t consumed = blockStart_ + at + 1;
        if (at + 1 == size) {  // its high byte comes with the next block, if any
            pendingEnd_ = consumed;
            state_ = State::AfterLineEnd;
            return size;
        }
        if (block[at + 1] == 0) {
            Record(consumed, WideEnd());
            return at + 1;
        }
    }
    return size;
}

LineEnd MarkerLineFinder::WideEnd() const {
    return wideLineEnd_ == kLf ? LineEnd::Lf : LineEnd::Cr;
}

// The marker line's CR (or wide line-end byte) ended the previous block. In 8-bit text an LF
// starting this one belongs to it; in UTF-16LE text the byte is a line end only if this block
// starts with its zero high byte.
std::size_t MarkerLineFinder::TakeByteAfterLineEnd(const std::uint8_t* block) {
    if (encoding_ != SourceEncoding::EightBit) {
        if (block[0] == 0) {
            Record(pendingEnd_, WideEnd());
        } else {
            state_ = State::InMarkerLine;
        }
        return 0;
    }
    if (block[0] == kLf) {
        Record(pendingEnd_ + 1, LineEnd::CrLf);
        return 1;
    }
    Record(pendingEnd_, LineEnd::Cr);
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
    if (state_ == State::AfterLineEnd) {
        Record(pendingEnd_, encoding_ == SourceEncoding::EightBit ? LineEnd::Cr : WideEnd());
    }
    state_ = State::Done;
}

LineReader::LineReader(std::size_t blockSize) : blockSize_(std::max<std::size_t>(blockSize, 1)) {}

LineReader::~LineReader() {
    Close();
}

Result<void, SourceFailure> LineReader::Open(const std::string& path) {
    Close();
    platform_ = &fileio::CurrentPlatform();
    blockStart_ = 0;
    filled_ = 0;
    size_ = 0;
    finder_.reset();
    const Result<fileio::Handle> opened =
        platform_->Open(path, fileio::Access::Read, fileio::Disposition::OpenExisting);
    if (!opened) return SourceFailure{opened.failure()};
    handle_ = *opened;
    const Result<std::uint64_t> size = platform_->Size(handle_);
    if (!size) {
        Close();
        return SourceFailure{size.failure()};
    }
    size_ = *size;
    Status read = DetectFromHead();
    if (read) {
        finder_.emplace(format_, size_, kMarkerLinesWanted);
        buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(
            static_cast<std::size_t>(std::min<std::uint64_t>(blockSize_, size_)) + 1);
        read = ReadBlock();
    }
    if (!read) {
        Close();
        return SourceFailure{read.failure(), true};
    }
    return {};
}

void LineReader::Close() {
    if (handle_ == fileio::kNoHandle) return;
    (void)platform_->Close(handle_);  // nothing was written, so a failed close loses nothing
    handle_ = fileio::kNoHandle;
}

// Reads the start of the file for the encoding, then rewinds.
Status LineReader::DetectFromHead() {
    std::vector<std::uint8_t> head(
        static_cast<std::size_t>(std::min<std::uint64_t>(size_, kDetectionWindow)));
    const Result<std::size_t> got = platform_->Read(handle_, head.data(), head.size());
    if (!got) return got.failure();
    if (*got < head.size()) return Failure{"the file ended before its reported size"};
    format_ = DetectFormat(head.data(), head.size());
    return platform_->Seek(handle_, 0);
}

Result<bool> LineReader::NextBlock() {
    if (handle_ == fileio::kNoHandle || blockStart_ + filled_ >= size_) return false;
    if (Status read = ReadBlock(); !read) {
        Close();
        return read.failure();
    }
    return true;
}

void LineReader::SkipRest() {
    blockStart_ = size_;
    filled_ = 0;
}

// Reads the block after the current one over it and feeds it to the finder.
Status LineReader::ReadBlock() {
    blockStart_ += filled_;
    filled_ = 0;
    const auto want =
        static_cast<std::size_t>(std::min<std::uint64_t>(blockSize_, size_ - blockStart_));
    if (want == 0) return {};
    const Result<std::size_t> got = platform_->Read(handle_, buffer_.get(), want);
    if (!got) return got.failure();
    if (*got < want) return Failure{"the file ended before its reported size"};
    filled_ = want;
    finder_->Feed(buffer_.get(), filled_);
    return {};
}

}  // namespace tarnwick
