// Finding the marker lines of a source template in one pass over its bytes.
//
// Byte rules (UTF-16LE sources): a line ends at the code unit U+000D, the bytes 0D 00 at an even
// file offset, and consumes bytes up to and including that 0D; a 0D as the file's last byte, at an
// even offset, ends a line too. Any other 0D byte is content: half of a character such as U+4E0D
// (0D 4E) or U+0D15 (15 0D). Without such a CR left a line runs to the end of the file. In a line
// ending 0D 00 0A 00 the reader stops after the 0D, and the next line starts with 00 0A 00.
// A UTF-16LE source saved with LF line ends (WideLineEnd::Lf) follows the same rules with the
// unit U+000A in place of U+000D. 8-bit sources end a line at CR LF, a lone CR or a lone LF.
//
// The marker holds no line-end byte, so a marker line is simply the line that holds the next
// occurrence of the marker: no line before it needs any work of its own. In UTF-16LE text the
// marker counts only as whole code units at even file offsets whose high bytes are zero (a
// byte-order mark, when present, is one such unit), so bytes that merely look like ASCII letters,
// such as the halves of other characters, never count. Letters match in any ASCII case.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fileio/Platform.h"
#include "generate/Encoding.h"

namespace tarnwick {

inline constexpr const char* kMarker = kMarkerText.data();
inline constexpr std::size_t kMarkerLength = kMarkerText.size();
// A template needs this many marker lines; later ones are copied like any other line.
inline constexpr std::size_t kMarkerLinesWanted = 3;

enum class LineEnd { None, Cr, CrLf, Lf };

// A marker line as the byte rules cut it: `consumed` counts the bytes from the start of the
// source through its line end.
struct LineInfo {
    std::uint64_t consumed = 0;
    LineEnd end = LineEnd::None;
    friend bool operator==(const LineInfo&, const LineInfo&) = default;
};

// The offset within [data, data + size) of the first whole marker, or `npos`. `fileOffset` is the
// file offset of data[0]; it fixes the code-unit alignment of UTF-16LE text.
inline constexpr std::size_t npos = static_cast<std::size_t>(-1);
std::size_t FindMarker(const std::uint8_t* data, std::size_t size, std::uint64_t fileOffset,
                       SourceEncoding encoding);

// Push-style: fed the whole source in consecutive blocks of any size, it finds the first `wanted`
// marker lines. What it must remember between blocks is small: the last bytes of a block that may
// begin a marker, or a CR at the very end of a block whose LF (8-bit) or zero high byte (UTF-16LE)
// may follow in the next.
class MarkerLineFinder {
  public:
    MarkerLineFinder(SourceFormat format, std::uint64_t sourceSize, std::size_t wanted);

    void Feed(const std::uint8_t* block, std::size_t size);

    // The marker lines found so far, in order.
    const std::vector<LineInfo>& Lines() const { return lines_; }
    // Once done, further blocks are not looked at.
    bool Done() const { return state_ == State::Done; }

  private:
    // AfterLineEnd: a line-end byte closed the last block; the next one says what it was.
    enum class State { Seeking, InMarkerLine, AfterLineEnd, Done };

    std::size_t Seek(const std::uint8_t* block, std::size_t size, std::size_t from);
    std::size_t SeekAcrossBoundary(const std::uint8_t* block, std::size_t size);
    std::size_t FindLineEnd(const std::uint8_t* block, std::size_t size, std::size_t from);
    std::size_t FindNarrowLineEnd(const std::uint8_t* block, std::size_t size, std::size_t from);
    std::size_t FindWideLineEnd(const std::uint8_t* block, std::size_t size, std::size_t from);
    std::size_t TakeByteAfterLineEnd(const std::uint8_t* block);
    LineEnd WideEnd() const;
    void Carry(const std::uint8_t* bytes, std::size_t size);
    void Record(std::uint64_t consumed, LineEnd end);
    void FinishAtEnd();

    static constexpr std::size_t kMaxCarry = 2 * kMarkerLength - 1;

    SourceEncoding encoding_;
    std::uint8_t wideLineEnd_;  // UTF-16LE: the low byte of the unit that ends a line
    std::size_t markerBytes_;
    std::uint64_t size_;
    std::size_t wanted_;
    State state_ = State::Seeking;
    std::uint64_t blockStart_ = 0;  // file offset of the block being fed
    std::uint64_t pendingEnd_ = 0;  // AfterLineEnd: the consumed count through that byte
    // Seeking: the last bytes seen that may begin a marker the next block completes.
    std::array<std::uint8_t, kMaxCarry> carry_{};
    std::size_t carrySize_ = 0;
    std::vector<LineInfo> lines_;
};

// Why a source was not read: `reading` when it opened but its bytes could not be read (else it did
// not open).
struct SourceFailure : Failure {
    bool reading = false;
};

// Reads a source template in blocks through the file platform and feeds each to a marker-line
// finder, so that memory stays bounded whatever the file's size or the length of its lines. The
// caller sees every block too, to copy it while it is in memory.
class LineReader {
  public:
    static constexpr std::size_t kDefaultBlockSize = 512 * 1024;

    // `blockSize` bounds the buffer (tests make it tiny to cross block boundaries everywhere).
    explicit LineReader(std::size_t blockSize = kDefaultBlockSize);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Opens `path` for reading (sharing it with other readers), takes its size, detects its
    // encoding from its first bytes and reads the first block.
    Result<void, SourceFailure> Open(const std::string& path);
    void Close();

    // The block read last: `BlockSize()` bytes from file offset `BlockStart()`.
    const std::uint8_t* Block() const { return buffer_.get(); }
    std::size_t BlockSize() const { return filled_; }
    std::uint64_t BlockStart() const { return blockStart_; }
    // Reads the next block: true when there was one, false at the end of the file. A failed read
    // closes the source, after which there is no next block.
    Result<bool> NextBlock();
    // The source's handle, at the end of the last block, and the bytes after it, for a caller that
    // copies them without reading them; SkipRest then takes them as read.
    fileio::Handle Handle() const { return handle_; }
    std::uint64_t Unread() const { return size_ - blockStart_ - filled_; }
    void SkipRest();

    const std::vector<LineInfo>& MarkerLines() const { return finder_->Lines(); }
    // All wanted marker lines are found, or the whole source has been read.
    bool MarkerSearchDone() const { return finder_->Done(); }

    std::uint64_t Size() const { return size_; }
    SourceEncoding Encoding() const { return format_.encoding; }

  private:
    Status DetectFromHead();
    Status ReadBlock();

    std::size_t blockSize_;
    fileio::Platform* platform_ = nullptr;  // the layer the file was opened on, for every call
    fileio::Handle handle_ = fileio::kNoHandle;
    // Not zero-filled: every block is read over it before it is looked at.
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::uint64_t blockStart_ = 0;
    std::size_t filled_ = 0;
    std::uint64_t size_ = 0;
    SourceFormat format_;
    std::optional<MarkerLineFinder> finder_;
};

}  // namespace tarnwick
