#include "readback/TemplateText.h"

#include <array>
#include <cstdint>

#include <utility>

#include "core/Text.h"
#include "generate/Encoding.h"
#include "readback/DriveItem.h"
#include "readback/InputFile.h"

namespace tarnwick::readback {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

std::uint8_t Byte(std::string_view bytes, std::size_t i) {
    return static_cast<std::uint8_t>(bytes[i]);
}

std::string FromUtf16Le(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() / 2);
    std::size_t i = 0;
    auto unit = [&](std::size_t at) -> char16_t {
        return static_cast<char16_t>(Byte(bytes, at) | (Byte(bytes, at + 1) << 8));
    };
    while (i + 1 < bytes.size()) {
        const char16_t first = unit(i);
        i += 2;
        if (first >= 0xD800 && first <= 0xDBFF && i + 1 < bytes.size()) {
            const char16_t second = unit(i);
            if (second >= 0xDC00 && second <= 0xDFFF) {
                i += 2;
                AppendUtf8(out, 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00));
                continue;
            }
        }
        const bool surrogate = first >= 0xD800 && first <= 0xDFFF;
        AppendUtf8(out, surrogate ? kReplacement : first);
    }
    if (i < bytes.size()) AppendUtf8(out, kReplacement);
    return out;
}

// Length of the valid UTF-8 sequence at `i`, or 0.
std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t i) {
    const std::uint8_t lead = Byte(bytes, i);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > bytes.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const std::uint8_t next = Byte(bytes, i + k);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool invalid = code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF);
    return overlong || invalid ? 0 : length;
}

bool IsUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = Utf8SequenceLength(bytes, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

// Windows-1252's characters for 0x80..0x9F; the five it leaves undefined become U+FFFD.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

std::string FromCp1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint8_t b = Byte(bytes, i);
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
            return FromUtf16Le(std::string_view(bytes).substr(format.byteOrderMark ? 2 : 0));
        case SourceEncoding::EightBit:
            break;
    }
    if (format.byteOrderMark) bytes.erase(0, 3);  // UTF-8's
    if (IsUtf8(bytes)) return bytes;
    return FromCp1252(bytes);
}

}  // namespace tarnwick::readback
