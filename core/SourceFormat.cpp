#include "core/SourceFormat.h"

#include <algorithm>
#include <initializer_list>

namespace tarnwick {

namespace {

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;

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
    constexpr std::size_t length = kMarkerText.size();
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

}  // namespace tarnwick
