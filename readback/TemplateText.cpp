#include "readback/TemplateText.h"

#include <array>
#include <cstdint>
#include <utility>

#include "core/SourceFormat.h"
#include "core/Text.h"
#include "readback/DriveItem.h"
#include "readback/InputFile.h"

namespace tarnwick::readback {

namespace {

// Windows-1252's characters for 0x80..0x9F; the five it leaves undefined become U+FFFD.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

std::string FromCp1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : b);
    }
    return out;
}

}  // namespace

Result<std::string, ReadFailure> DecodeTemplateText(std::string bytes, std::uint64_t limit) {
    if (bytes.size() > limit) return FailureAt(0, TooLargeText(bytes.size(), limit));
    const SourceFormat format =
        DetectFormat(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    switch (format.encoding) {
        case SourceEncoding::Utf16BE:
            return FailureAt(1, "expected UTF-16LE or 8-bit text, found UTF-16 big-endian");
        case SourceEncoding::Utf16LE:
            return Utf8OfBytes(std::string_view(bytes).substr(format.byteOrderMark ? 2 : 0),
                               ByteOrder::Little);
        case SourceEncoding::EightBit:
            break;
    }
    if (format.byteOrderMark) bytes.erase(0, 3);  // UTF-8's
    if (IsUtf8(bytes)) return bytes;
    return FromCp1252(bytes);
}

}  // namespace tarnwick::readback
