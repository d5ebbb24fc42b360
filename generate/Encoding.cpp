#include "generate/Encoding.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "fileio/Platform.h"

namespace tarnwick {

namespace {

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;
constexpr char kMarkerText[] = "abcdonly";

bool StartsWith(const std::uint8_t* head, std::size_t size,
                std::initializer_list<std::uint8_t> mark) {
    return size >= mark.size() && std::equal(mark.begin(), mark.end(), head);
}

bool IsLineEndByte(std::uint8_t byte) {
    return byte == kCr || byte == kLf;
}

// The window's whole code units (byte pairs at even offsets), tallied for both byte orders.
struct UnitCounts {
    std::size_t units = 0;
    std::size_t highZero[2] = {};  // [0] little-endian: second byte zero; [1] big-endian: first
    std::size_t lineEnds[2] = {};  // CR or LF units in either order
    std::size_t crUnits = 0;       // little-endian CR units
    std::size_t lfUnits = 0;       // little-endian LF units
};

UnitCounts CountUnits(const std::uint8_t* head, std::size_t size) {
    UnitCounts counts;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const std::uint8_t first = head[i];
        const std::uint8_t second = head[i + 1];
        ++counts.units;
        if (second == 0) {
            ++counts.highZero[0];
            if (IsLineEndByte(first)) ++counts.lineEnds[0];
            if (first == kCr) ++counts.crUnits;
            if (first == kLf) ++counts.lfUnits;
        }
        if (first == 0) {
            ++counts.highZero[1];
            if (IsLineEndByte(second)) ++counts.lineEnds[1];
        }
    }
    return counts;
}

// The marker as UTF-16 code units in the given byte order, any ASCII case.
bool HoldsWideMarker(const std::uint8_t* head, std::size_t size, bool bigEndian) {
    constexpr std::size_t length = sizeof kMarkerText - 1;
    for (std::size_t at = 0; at + 2 * length <= size; at += 2) {
        bool match = true;
        for (std::size_t k = 0; k < length && match; ++k) {
            const std::uint8_t letter = head[at + 2 * k + (bigEndian ? 1 : 0)];
            const std::uint8_t high = head[at + 2 * k + (bigEndian ? 0 : 1)];
            match = high == 0 && (letter | 0x20) == static_cast<std::uint8_t>(kMarkerText[k]);
        }
        if (match) return true;
    }
    return false;
}

// Evidence that the window is UTF-16 in one byte order: a line end as a unit of that order, most
// units with a zero high byte, or the marker as units.
bool LooksWide(const UnitCounts& counts, const std::uint8_t* head, std::size_t size,
               bool bigEndian) {
    const int order = bigEndian ? 1 : 0;
    return counts.lineEnds[order] > 0 || 2 * counts.highZero[order] > counts.units ||
           HoldsWideMarker(head, size, bigEndian);
}

}  // namespace

// In order: a byte-order mark decides (FF FE little-endian, FE FF big-endian, EF BB BF UTF-8).
// Without one, 8-bit text holds no zero byte, so a window without any is 8-bit. Otherwise the
// byte order whose high bytes hold more zeros, backed by a line-end unit, a majority of zero high
// bytes or the marker as units, is UTF-16; text in any language has its ASCII keywords and line
// ends as such units, while characters such as U+010D or U+4E0D only lower the share. Anything
// else is 8-bit.
SourceFormat DetectFormat(const std::uint8_t* head, std::size_t size) {
    size = std::min(size, kDetectionWindow);
    const UnitCounts counts = CountUnits(head, size);
    SourceFormat format;
    format.byteOrderMark = true;
    if (StartsWith(head, size, {0xFF, 0xFE})) {
        format.encoding = SourceEncoding::Utf16LE;
    } else if (StartsWith(head, size, {0xFE, 0xFF})) {
        format.encoding = SourceEncoding::Utf16BE;
    } else if (!StartsWith(head, size, {0xEF, 0xBB, 0xBF})) {
        format.byteOrderMark = false;
        if (counts.highZero[0] > counts.highZero[1] && LooksWide(counts, head, size, false)) {
            format.encoding = SourceEncoding::Utf16LE;
        } else if (counts.highZero[1] > counts.highZero[0] && LooksWide(counts, head, size, true)) {
            format.encoding = SourceEncoding::Utf16BE;
        }
    }
    if (format.encoding == SourceEncoding::Utf16LE && counts.crUnits == 0 && counts.lfUnits > 0) {
        format.wideLineEnd = WideLineEnd::Lf;
    }
    return format;
}

namespace {

// Every occurrence of the marker in each reading of a file, and its UTF-16LE line-end units.
struct Tally {
    std::uint64_t narrow = 0;     // as 8-bit text
    std::uint64_t wide = 0;       // as UTF-16LE units at even offsets
    std::uint64_t shifted = 0;    // as UTF-16LE units at odd offsets: a stray byte before it
    std::uint64_t bigEndian = 0;  // as UTF-16BE units
    std::uint64_t crUnits = 0;
    std::uint64_t lfUnits = 0;
};

bool MarkerAt(const std::uint8_t* p, std::size_t step, std::size_t letterAt) {
    for (std::size_t k = 0; k < sizeof kMarkerText - 1; ++k) {
        const std::uint8_t* unit = p + k * step;
        if ((unit[letterAt] | 0x20) != static_cast<std::uint8_t>(kMarkerText[k])) return false;
        if (step == 2 && unit[1 - letterAt] != 0) return false;
    }
    return true;
}

// Counts what starts at `p` (file offset `offset`); `room` bytes are available from there.
void TallyAt(const std::uint8_t* p, std::size_t room, std::uint64_t offset, Tally& tally) {
    constexpr std::size_t narrowBytes = sizeof kMarkerText - 1;
    if (room >= 2 && offset % 2 == 0 && p[1] == 0) {
        tally.crUnits += p[0] == kCr;
        tally.lfUnits += p[0] == kLf;
    }
    if (room >= narrowBytes && MarkerAt(p, 1, 0)) ++tally.narrow;
    if (room >= 2 * narrowBytes) {
        if (MarkerAt(p, 2, 0)) ++(offset % 2 == 0 ? tally.wide : tally.shifted);
        if (MarkerAt(p, 2, 1)) ++tally.bigEndian;
    }
}

bool TallyFile(const std::string& path, Tally& tally, SourceFormat& format) {
    fileio::Platform& platform = fileio::CurrentPlatform();
    const Result<fileio::Handle> opened =
        platform.Open(path, fileio::Access::Read, fileio::Disposition::OpenExisting);
    if (!opened) return false;
    const fileio::Handle handle = *opened;
    // Each pass keeps the last bytes that may start a marker or a unit the next block completes.
    constexpr std::size_t keep = 2 * (sizeof kMarkerText - 1) - 1;
    std::vector<std::uint8_t> buffer(keep + (1u << 20));
    std::size_t kept = 0;
    std::uint64_t offset = 0;  // file offset of buffer[0]
    bool ok = true;
    bool first = true;
    for (;;) {
        const Result<std::size_t> read =
            platform.Read(handle, buffer.data() + kept, buffer.size() - kept);
        ok = read.ok();
        if (!ok) break;
        const std::size_t got = *read;
        if (first) format = DetectFormat(buffer.data(), got);
        first = false;
        const std::size_t filled = kept + got;
        const bool last = got == 0;
        // Starts from here on wait for the next block unless the file has ended.
        const std::size_t settled = last ? filled : (filled > keep ? filled - keep : 0);
        for (std::size_t at = 0; at < settled; ++at) {
            TallyAt(buffer.data() + at, filled - at, offset + at, tally);
        }
        if (last) break;
        std::copy(buffer.begin() + static_cast<std::ptrdiff_t>(settled),
                  buffer.begin() + static_cast<std::ptrdiff_t>(filled), buffer.begin());
        kept = filled - settled;
        offset += settled;
    }
    (void)platform.Close(handle);
    return ok;
}

}  // namespace

std::string MarkerShortfallCause(const std::string& path, int markerLinesFound) {
    Tally tally;
    SourceFormat format;
    if (!TallyFile(path, tally, format)) return "";
    const auto found = static_cast<std::uint64_t>(markerLinesFound);
    const std::string marker = std::string("\"") + kMarkerText + "\"";
    if (format.encoding == SourceEncoding::Utf16LE) {
        const std::string read = "It is read as UTF-16LE text";
        if (tally.wide > found && tally.crUnits == 0 && tally.lfUnits == 0) {
            return read + ", but it has no line end at all (no CR unit 0D 00, no LF unit 0A 00), " +
                   "so its " + std::to_string(tally.wide) + " markers stand on one line.";
        }
        if (tally.wide > found && format.wideLineEnd == WideLineEnd::Cr &&
            tally.lfUnits > tally.crUnits) {
            return read + " whose lines end in CR LF, but most of its lines end in LF alone, so " +
                   "its " + std::to_string(tally.wide) + " markers run together on " +
                   std::to_string(found) + (found == 1 ? " line." : " lines.");
        }
        if (tally.shifted > 0) {
            return "Some of its " + marker + " markers lie one byte off the UTF-16LE characters " +
                   "(a stray byte before them shifts the text), so they do not count.";
        }
        if (tally.narrow > tally.wide) {
            return (format.byteOrderMark ? "It begins with a UTF-16LE byte-order mark (FF FE)"
                                         : read) +
                   ", but it holds " + marker + " as 8-bit text; save it in one encoding, " +
                   "UTF-16LE as the system's own templates are.";
        }
        return "";
    }
    if (format.encoding == SourceEncoding::EightBit && tally.wide + tally.shifted > tally.narrow) {
        return std::string(format.byteOrderMark ? "It begins with a UTF-8 byte-order mark, so it "
                                                  "is read as 8-bit text"
                                                : "It is read as 8-bit text (ANSI or UTF-8)") +
               ", but it holds " + marker +
               " as UTF-16LE text; save it as UTF-16LE with a byte-order mark, as the system's "
               "own templates are.";
    }
    if (format.encoding == SourceEncoding::EightBit && tally.bigEndian > tally.narrow) {
        return "It is read as 8-bit text (ANSI or UTF-8), but it holds " + marker +
               " as UTF-16 big-endian text, which cannot be used; save it as UTF-16LE.";
    }
    return "";
}

}  // namespace tarnwick
