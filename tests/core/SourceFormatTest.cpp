#include "core/SourceFormat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/support/TestFiles.h"

namespace tarnwick {
namespace {

using test::Utf16;

const std::uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

TEST(DetectFormat, ByteOrderMarkThenCodeUnitsDecide) {
    constexpr SourceFormat k8Bit{SourceEncoding::EightBit, WideLineEnd::Cr};
    constexpr SourceFormat kLE{SourceEncoding::Utf16LE, WideLineEnd::Cr};
    constexpr SourceFormat kLELf{SourceEncoding::Utf16LE, WideLineEnd::Lf};
    constexpr SourceFormat kBE{SourceEncoding::Utf16BE, WideLineEnd::Cr};
    struct Case {
        std::string head;
        SourceFormat expected;
    };
    const Case cases[] = {
        {"\xFF\xFE"
         "a\x01",
         kLE},  // the mark wins over anything
        {"\xFE\xFF"
         "\0a",
         kBE},
        {"\xEF\xBB\xBF" + Utf16("abc\r\n"), k8Bit},
        {Utf16("abcdonly\r\n"), kLE},
        {std::string("\0a\0b", 4), kBE},
        {"abcdonly\r\n", k8Bit},
        {"a", k8Bit},
        {"", k8Bit},
        // Comment lines above U+00FF, without a mark: Chinese (不 is 0D 4E), Czech (č is 0D 01).
        {Utf16(u"; 不要修改「驱动器」设置\r\nCLASS USER\r\n"), kLE},
        {Utf16(u"; Omezení jednotek č ř\r\n"), kLE},
        {Utf16(u"čř"), k8Bit},      // no evidence at all: no zero byte
        {Utf16(u"ab\u4E0D"), kLE},  // most high bytes zero
        {Utf16(u"\u4E0D\u4E0Dabcdonly\u4E0D\u4E0D\u4E0D\u4E0D\u4E0D\u4E0D\u4E0D\u4E0D"), kLE},
        {"Omezen\xC3\xAD\r\nabcdonly\r\n", k8Bit},
        {std::string("abcdonly\r\n\0", 11), k8Bit},  // a stray zero is no evidence
        {std::string("ab\0\0cd\0\0", 8), k8Bit},     // nor are zero units
        // Lines end in LF units only when the window holds no CR unit.
        {Utf16("abcdonly\nx\n"), kLELf},
        {"\xFF\xFE" + Utf16("a\r\nb\n"), kLE},
        {"\xFF\xFE" + Utf16("abcdonly"), kLE},
    };
    for (const Case& c : cases) {
        const SourceFormat format = DetectFormat(Bytes(c.head), c.head.size());
        EXPECT_EQ(format.encoding, c.expected.encoding) << testing::PrintToString(c.head);
        EXPECT_EQ(format.wideLineEnd, c.expected.wideLineEnd) << testing::PrintToString(c.head);
    }
}

TEST(DetectFormat, LooksOnlyAtTheFirst64KiB) {
    const std::string narrow(kDetectionWindow, 'x');
    const std::string wide = Utf16(std::string(kDetectionWindow / 2, 'x'));
    const std::string narrowThenWide = narrow + Utf16("abcdonly\r\n");
    const std::string wideThenNarrow = wide + "\r\n";
    EXPECT_EQ(DetectFormat(Bytes(narrowThenWide), narrowThenWide.size()).encoding,
              SourceEncoding::EightBit);
    EXPECT_EQ(DetectFormat(Bytes(wideThenNarrow), wideThenNarrow.size()).encoding,
              SourceEncoding::Utf16LE);
}

}  // namespace
}  // namespace tarnwick
