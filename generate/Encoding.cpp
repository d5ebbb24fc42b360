#include "generate/Encoding.h"

#include <algorithm>

namespace tarnwick {

namespace {

bool StartsWith(const std::uint8_t* head, std::size_t size,
                std::initializer_list<std::uint8_t> mark) {
    return size >= mark.size() && std::equal(mark.begin(), mark.end(), head);
}

// ASCII text in UTF-16 has a zero in every other byte: the odd ones little-endian, the even ones
// big-endian.
bool EveryOtherByteIsZero(const std::uint8_t* head, std::size_t size, std::size_t first) {
    if (size < 2) return false;
    for (std::size_t i = first; i < size; i += 2) {
        if (head[i] != 0) return false;
    }
    return true;
}

}  // namespace

// In order: a byte-order mark decides (FF FE little-endian, FE FF big-endian, EF BB BF UTF-8);
// without one, at least two bytes with zeros at every odd offset of the window are UTF-16LE and
// zeros at every even offset UTF-16BE; anything else is 8-bit text.
SourceEncoding DetectEncoding(const std::uint8_t* head, std::size_t size) {
    size = std::min(size, kDetectionWindow);
    if (StartsWith(head, size, {0xFF, 0xFE})) return SourceEncoding::Utf16LE;
    if (StartsWith(head, size, {0xFE, 0xFF})) return SourceEncoding::Utf16BE;
    if (StartsWith(head, size, {0xEF, 0xBB, 0xBF})) return SourceEncoding::EightBit;
    if (EveryOtherByteIsZero(head, size, 1)) return SourceEncoding::Utf16LE;
    if (EveryOtherByteIsZero(head, size, 0)) return SourceEncoding::Utf16BE;
    return SourceEncoding::EightBit;
}

}  // namespace tarnwick
