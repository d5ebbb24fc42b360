#include "generate/Encoding.h"

#include <algorithm>
#include <vector>

#include "fileio/Platform.h"

namespace tarnwick {

namespace {

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;

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
    for (std::size_t k = 0; k < kMarkerText.size(); ++k) {
        const std::uint8_t* unit = p + k * step;
        if ((unit[letterAt] | 0x20) != static_cast<std::uint8_t>(kMarkerText[k])) return false;
        if (step == 2 && unit[1 - letterAt] != 0) return false;
    }
    return true;
}

// Counts what starts at `p` (file offset `offset`); `room` bytes are available from there.
void TallyAt(const std::uint8_t* p, std::size_t room, std::uint64_t offset, Tally& tally) {
    constexpr std::size_t narrowBytes = kMarkerText.size();
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
    constexpr std::size_t keep = 2 * kMarkerText.size() - 1;
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
    // Appended rather than `"\"" + std::string(...)`: GCC 12 at -O3 reports a false -Wrestrict
    // overlap on the inlined insert at the front of a temporary.
    std::string marker(1, '"');
    marker.append(kMarkerText).push_back('"');
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
