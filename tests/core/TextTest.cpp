#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>

#include "core/Limits.h"
#include "core/Text.h"

namespace tarnwick {
namespace {

// What a crafted file could send to a terminal is shown, not obeyed; every other byte, text in any
// language and broken UTF-8 included, is left as it came.
TEST(Visible, EscapesControlCharactersOnly) {
    const struct {
        std::string text, shown;
    } cases[] = {
        {"\x1B[2J\x1B]0;owned\x07", "\\x1B[2J\\x1B]0;owned\\x07"},
        {std::string("a\0b\tc\x7F", 6), "a\\x00b\\x09c\\x7F"},
        {"\xC2\x9B"
         "31m \xC2\x80",
         "\\u009B31m \\u0080"},
        {"Laufwerke \xC3\xA4 \xC2\xA0 \xE5\x8D\x81", "Laufwerke \xC3\xA4 \xC2\xA0 \xE5\x8D\x81"},
        {"\xC2", "\xC2"},
        {"\x9B\xC2", "\x9B\xC2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Visible(c.text), c.shown) << testing::PrintToString(c.text);
}

// Every number a reader takes from a file: the whole text in its base up to the top of the type,
// or why not; junk stays junk after an overflow.
TEST(ReadNumber, WholeDigitsUpToTheTopOfTheType) {
    const struct {
        std::string text;
        int base;
        bool wide;  // ReadU64, else ReadU32
        std::optional<std::uint64_t> value;
        NumberFault fault;
    } cases[] = {
        {"0", 10, false, 0, {}},
        {"4294967295", 10, false, 4294967295u, {}},
        {"000000000004294967295", 10, false, 4294967295u, {}},
        {"4294967296", 10, false, {}, NumberFault::Overflow},
        {"4294967296", 10, true, 4294967296u, {}},
        {"18446744073709551615", 10, true, UINT64_MAX, {}},
        {"18446744073709551616", 10, true, {}, NumberFault::Overflow},
        {"FFFFffff", 16, false, 0xFFFFFFFFu, {}},
        {"100000000", 16, false, {}, NumberFault::Overflow},
        {"", 10, false, {}, NumberFault::Empty},
        {"1a", 10, false, {}, NumberFault::NotDigit},
        {"0x1a", 16, false, {}, NumberFault::NotDigit},
        {"1g", 16, true, {}, NumberFault::NotDigit},
        {"-1", 10, false, {}, NumberFault::NotDigit},
        {"+1", 10, false, {}, NumberFault::NotDigit},
        {" 1", 10, false, {}, NumberFault::NotDigit},
        {"99999999999999999999x", 10, true, {}, NumberFault::NotDigit},
    };
    for (const auto& c : cases) {
        const auto read = [&c]() -> Result<std::uint64_t, NumberFault> {
            if (c.wide) return ReadU64(c.text, c.base);
            const auto narrow = ReadU32(c.text, c.base);
            if (!narrow) return narrow.failure();
            return std::uint64_t{*narrow};
        }();
        ASSERT_EQ(read.ok(), c.value.has_value()) << c.text;
        if (read) {
            EXPECT_EQ(*read, *c.value) << c.text;
        } else {
            EXPECT_EQ(read.failure(), c.fault) << c.text;
        }
    }
}

// The numbers every output writes, digit for digit as printf wrote them before: the C library's
// own "%.0f" and "%.1f" are the yardstick, ties and values past 2^53 included.
TEST(NumberText, WritesWhatPrintfWrites) {
    EXPECT_EQ(DecimalText(7, 2), "07");
    EXPECT_EQ(DecimalText(UINT64_MAX, 4), "18446744073709551615");
    EXPECT_EQ(HexText(0x3FFFFFF, 8, false) + HexText(0x10FFFF, 4), "03ffffff10FFFF");
    const double most = std::numeric_limits<double>::max(), below64 = std::ldexp(1.0, 64) - 2048;
    for (const double value :
         {0.0, -0.0, 0.5, 1.5, 2.5, -2.5, 0.49999999999999994, 67108863.0, 4503599627370495.5,
          9007199254740993.0, 1e23, -1e300, most, below64}) {
        char expected[400];
        std::snprintf(expected, sizeof expected, "%.0f", value);
        EXPECT_EQ(WholeNumberText(value), expected) << expected;
    }
    for (const std::uint64_t size : {0ull, 1048575ull, 1048576ull, 1310720ull, 1363149ull,
                                     1415577ull, 67108864ull, (1ull << 53) + 1, (1ull << 53) - 1}) {
        char expected[64];
        if (size < 1048576) {
            std::snprintf(expected, sizeof expected, "%llu bytes",
                          static_cast<unsigned long long>(size));
        } else {
            std::snprintf(expected, sizeof expected, "%.1f MiB",
                          static_cast<double>(size) / 1048576);
        }
        EXPECT_EQ(SizeText(size), expected) << size;
    }
}

std::string Swapped(std::string bytes) {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

// UTF-8 to UTF-16 in either byte order and back gives the text again; what is no UTF-8 or no
// UTF-16 becomes U+FFFD, once for each byte or unit, and nothing after it is lost.
TEST(Utf16, RoundTripsInEitherByteOrder) {
    using namespace std::string_literals;
    const struct {
        std::string utf8, little;  // `little`: UTF-16LE
        bool roundTrip;
    } cases[] = {
        {"A\xC3\xA4\xE2\x82\xAC", "A\0\xE4\0\xAC\x20"s, true},
        {"\xF0\x9F\x98\x80", "\x3D\xD8\x00\xDE"s, true},
        {"\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF", "\xFF\x07\x00\x08\xFF\xFF"s, true},  // U+07FF..U+0800
        {"\xE0\x9F\xBF", "\xFD\xFF\xFD\xFF\xFD\xFF"s, false},              // U+07FF in three bytes
        {"\xF0\x8F\xBF\xBF", "\xFD\xFF\xFD\xFF\xFD\xFF\xFD\xFF"s, false},  // U+FFFF in four
        {"\xC0\x80"
         "A",
         "\xFD\xFF\xFD\xFF"
         "A\0"s,
         false},                                               // overlong
        {"\xED\xA0\x80", "\xFD\xFF\xFD\xFF\xFD\xFF"s, false},  // a surrogate in UTF-8
        {"\xE2\x82", "\xFD\xFF\xFD\xFF"s, false},              // cut short
    };
    EXPECT_FALSE(IsUtf8(std::string_view("\xE2\x82\xAC", 2)));  // cut short inside a longer text
    for (const auto& c : cases) {
        EXPECT_EQ(Utf16Bytes(c.utf8, ByteOrder::Little), c.little) << c.utf8;
        EXPECT_EQ(Utf16Bytes(c.utf8, ByteOrder::Big), Swapped(c.little)) << c.utf8;
        EXPECT_EQ(IsUtf8(c.utf8), c.roundTrip) << c.utf8;
        if (!c.roundTrip) continue;
        EXPECT_EQ(Utf8OfBytes(c.little, ByteOrder::Little), c.utf8);
        EXPECT_EQ(Utf8OfBytes(Swapped(c.little), ByteOrder::Big), c.utf8);
    }
    const struct {
        std::string little, utf8;
    } broken[] = {
        {"\x3D\xD8"
         "A\0"s,
         "\xEF\xBF\xBD"
         "A"},  // a lone high surrogate
        {"\x00\xDE\x3D\xD8\x3D\xD8\x00\xDE"s, "\xEF\xBF\xBD\xEF\xBF\xBD\xF0\x9F\x98\x80"},
        {"A\0B"s, "A\xEF\xBF\xBD"},  // an odd last byte
    };
    for (const auto& c : broken) {
        EXPECT_EQ(Utf8OfBytes(c.little, ByteOrder::Little), c.utf8);
        EXPECT_EQ(Utf8OfBytes(Swapped(c.little), ByteOrder::Big), c.utf8);
    }
}

// A cut never splits a character, and an excerpt says it was cut.
TEST(Utf8Cut, StopsBeforeACharacterThatWouldNotFit) {
    const struct {
        std::string text;
        std::size_t bytes, cut;
        std::string excerpt;
    } cases[] = {
        {"abc", 3, 3, "abc"},
        {"abc", 2, 2, "ab..."},
        {"a\xC3\xA4z", 2, 1, "a..."},
        {"a\xC3\xA4z", 3, 3, "a\xC3\xA4..."},
        {"\xF0\x9F\x98\x80z", 3, 0, "..."},
        {"\x1B[2Jabc", 4, 4, "\\x1B[2J..."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8Cut(c.text, c.bytes), c.cut) << c.text;
        EXPECT_EQ(Excerpt(c.text, c.bytes), c.excerpt) << c.text;
    }
}

}  // namespace
}  // namespace tarnwick
