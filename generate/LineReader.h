// Sequential line input over a source template, streamed in blocks through the file platform so
// that memory stays bounded whatever the file's size or the length of its lines.
//
// Byte rules (UTF-16LE sources): a line consumes bytes up to and including the next 0x0D, plus a
// 0x0A directly after it; without a 0x0D left it runs to the end of the file. In a UTF-16LE line
// ending 0D 00 0A 00 the reader stops after the 0D, and the next line starts with 00 0A 00.
// 8-bit sources end a line at CR LF, a lone CR or a lone LF.
//
// A line's text is what lies before its terminator. UTF-16LE text is decoded in code units at even
// file offsets (a byte-order mark, when present, is one such unit), so the marker is found only as
// whole units whose high byte is zero: bytes that merely look like ASCII letters, such as the
// halves of other characters, never count. The marker test is an ASCII case-insensitive substring
// test, done as the bytes stream by, so no line's text is ever built.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fileio/Platform.h"
#include "generate/Encoding.h"

namespace tarnwick {

inline constexpr char kMarker[] = "abcdonly";
inline constexpr std::size_t kMarkerLength = sizeof kMarker - 1;

enum class LineEnd { None, Cr, CrLf, Lf };

struct LineInfo {
    bool hasMarker = false;
    LineEnd end = LineEnd::None;
};

// The offset within [data, data + size) of the first whole marker, or `npos`. `fileOffset` is the
// file offset of data[0]; it fixes the code-unit alignment of UTF-16LE text.
inline constexpr std::size_t npos = static_cast<std::size_t>(-1);
std::size_t FindMarker(const std::uint8_t* data, std::size_t size, std::uint64_t fileOffset,
                       SourceEncoding encoding);

class LineReader {
  public:
    static constexpr std::size_t kDefaultBlockSize = 1024 * 1024;

    // `blockSize` bounds the buffer (tests make it tiny to cross block boundaries everywhere).
    explicit LineReader(std::size_t blockSize = kDefaultBlockSize);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Opens `path` for reading (sharing it with other readers), takes its size and detects its
    // encoding from its first bytes.
    bool Open(const std::string& path, fileio::SysError& error);
    void Close();

    // Consumes the next line. False when no byte is left, or when reading failed (Failed()).
    bool ReadLine(LineInfo& line);
    // Consumes lines up to and including the next one that holds the marker. False when the end
    // of the file comes first (everything is then consumed), or when reading failed.
    bool SkipToMarkerLine(LineInfo& line);

    // 1 plus the number of bytes consumed.
    std::uint64_t Position() const { return consumed_ + 1; }
    bool AtEnd() const { return consumed_ == size_; }
    std::uint64_t Size() const { return size_; }
    SourceEncoding Encoding() const { return encoding_; }

    bool Failed() const { return failed_; }
    const fileio::SysError& Error() const { return error_; }

  private:
    std::uint64_t BufferEnd() const { return bufferStart_ + filled_; }
    const std::uint8_t* At(std::uint64_t offset) const {
        return buffer_.data() + (offset - bufferStart_);
    }
    std::size_t MarkerBytes() const;
    bool DetectFromHead();
    bool ReadMore(std::uint64_t keepFrom);
    std::size_t FindTerminator(std::uint64_t from) const;
    bool ConsumeTerminator(LineEnd& end);
    bool Fail(const fileio::SysError& error);

    std::size_t blockSize_;
    fileio::Platform* platform_ =
        nullptr;  // the layer the file was opened on, for every later call
    std::vector<std::uint8_t> buffer_;
    std::uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
    std::size_t filled_ = 0;
    std::uint64_t consumed_ = 0;
    std::uint64_t size_ = 0;
    SourceEncoding encoding_ = SourceEncoding::EightBit;
    fileio::Handle handle_ = fileio::kNoHandle;
    bool failed_ = false;
    fileio::SysError error_;
};

}  // namespace tarnwick
