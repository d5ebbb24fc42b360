#include "generate/LineReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "generate/Encoding.h"
#include "tests/generate/RandomSource.h"
#include "tests/support/FaultyPlatform.h"
#include "tests/support/LayoutModel.h"
#include "tests/support/TestFiles.h"

namespace tarnwick {

void PrintTo(const LineInfo& line, std::ostream* out) {
    *out << "{" << line.consumed << ", end " << static_cast<int>(line.end) << "}";
}

namespace {

using test::TempDir;
using test::Utf16;
using test::WriteAll;

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

TEST(FindMarker, AnyCaseAnywhereButOnlyWholeAlignedUnitsInUtf16) {
    struct Case {
        std::string data;
        std::uint64_t fileOffset;
        SourceEncoding encoding;
        std::size_t expected;
    };
    const Case cases[] = {
        {"abcdonly", 0, SourceEncoding::EightBit, 0},
        {"xxABCDONLYyy", 0, SourceEncoding::EightBit, 2},
        {"bbbAbCdOnLy", 0, SourceEncoding::EightBit, 3},
        {"abcdonl", 0, SourceEncoding::EightBit, npos},
        {"abcd only", 0, SourceEncoding::EightBit, npos},
        {"abcdonl\rabcdonly", 0, SourceEncoding::EightBit, 8},
        {"\x81"
         "bcdonly",
         0, SourceEncoding::EightBit, npos},  // 0x81 | 0x20 is not 'a'
        {Utf16("myabcdonlyword"), 0, SourceEncoding::Utf16LE, 4},
        {Utf16("ABCDONLY"), 6, SourceEncoding::Utf16LE, 0},
        // At an odd file offset the letters are high bytes of their units.
        {Utf16("ABCDONLY"), 7, SourceEncoding::Utf16LE, npos},
        {std::string(1, '\0') + Utf16("abcdonly"), 1, SourceEncoding::Utf16LE, 1},
        {std::string(1, '\0') + Utf16("abcdonly"), 0, SourceEncoding::Utf16LE, npos},
        // A unit with a non-zero high byte is another character, whatever its low byte.
        {Utf16("abcdon") + "l\x01" + "y\0", 0, SourceEncoding::Utf16LE, npos},
        {"abcdonly", 0, SourceEncoding::Utf16LE, npos},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindMarker(Bytes(c.data), c.data.size(), c.fileOffset, c.encoding), c.expected)
            << testing::PrintToString(c.data) << " at " << c.fileOffset;
    }
}

// Long enough for the chunked screening: the marker at every offset across several chunks, among
// filler that is plain or that passes the screening's three letters and fails the full compare.
TEST(FindMarker, FindsTheFirstMarkerAtEveryOffsetOfALongBuffer) {
    for (const std::string& filler : {std::string("."), std::string("abcdxxxy")}) {
        for (std::size_t k = 0; k < 300; ++k) {
            std::string text;
            while (text.size() < 600)
                text += filler;
            // A later marker never hides the first.
            text = text.substr(0, k) + std::string("AbcdOnlY") + text.substr(k + kMarkerLength) +
                   std::string("abcdonly");
            SCOPED_TRACE(filler + " marker at " + std::to_string(k));
            EXPECT_EQ(FindMarker(Bytes(text), text.size(), 0, SourceEncoding::EightBit), k);
            const std::string wide = Utf16(text);
            EXPECT_EQ(FindMarker(Bytes(wide), wide.size(), 4, SourceEncoding::Utf16LE), 2 * k);
            // One byte on, every unit is misaligned: nothing counts.
            EXPECT_EQ(FindMarker(Bytes(wide), wide.size(), 5, SourceEncoding::Utf16LE), npos);
        }
    }
}

// Feeds `bytes` to a finder in blocks of `blockSize` and gives back what it found.
std::vector<LineInfo> FindInBlocks(const std::string& bytes, SourceFormat format,
                                   std::size_t blockSize, std::size_t wanted = 3) {
    MarkerLineFinder finder(format, bytes.size(), wanted);
    for (std::size_t at = 0; at < bytes.size(); at += blockSize) {
        finder.Feed(Bytes(bytes) + at, std::min(blockSize, bytes.size() - at));
    }
    EXPECT_TRUE(finder.Done());
    return finder.Lines();
}

// Every block size from one byte to the whole source, so that each line end and marker meets a
// block edge at each of its bytes.
void ExpectAtEveryBlockSize(const std::string& bytes, SourceFormat format,
                            const std::vector<LineInfo>& expected, std::size_t wanted = 3) {
    for (std::size_t blockSize = 1; blockSize <= bytes.size(); ++blockSize) {
        EXPECT_EQ(FindInBlocks(bytes, format, blockSize, wanted), expected)
            << "block size " << blockSize;
    }
}

// The worked source: three marker lines and "xyz", UTF-16LE without a mark, 70 bytes.
const std::string kWorkedSource = Utf16("abcdonly\r\nabcdonly\r\nabcdonly\r\nxyz\r\n");

TEST(MarkerLineFinder, WorkedSourceFollowsTheByteRules) {
    // Each CR LF ends a line after its 0D, so positions (1 + consumed) are 18, 38 and 58.
    ExpectAtEveryBlockSize(kWorkedSource, {SourceEncoding::Utf16LE},
                           {{17, LineEnd::Cr}, {37, LineEnd::Cr}, {57, LineEnd::Cr}});
}

TEST(MarkerLineFinder, LineEndsOfBothKindsOfSource) {
    constexpr SourceFormat k8Bit{SourceEncoding::EightBit};
    constexpr SourceFormat kLE{SourceEncoding::Utf16LE};
    struct Case {
        std::string bytes;
        SourceFormat format;
        std::vector<LineInfo> expected;
    };
    const Case cases[] = {
        // In UTF-16LE text only 0D 00 at an even offset ends a line: 0D 0A (U+0A0D), 0D 4E
        // (U+4E0D), 15 0D (U+0D15) and a lone 0A 00 are content. A 0D as the last byte, at an
        // even offset, ends the line.
        {"\xFF\xFE" + Utf16("abcdonly") + "\r\n" + Utf16("x\nabcdonly") + "\r",
         kLE,
         {{41, LineEnd::Cr}}},
        {Utf16("abcdonly") + "\r\x4E\x15\r" + Utf16("\r\nABCDonly") + "\x0D\x01" + Utf16("\r\n"),
         kLE,
         {{21, LineEnd::Cr}, {43, LineEnd::Cr}}},
        // A 0D at an odd offset never ends a line, even before a 00: here the stray byte after
        // U+0D15 puts both 0D 00 pairs at odd offsets, so the line runs to the end.
        {"\xFF\xFE" + Utf16("abcdonly") + std::string("\x15\r\0", 3) + Utf16("x\r\n"),
         kLE,
         {{27, LineEnd::None}}},
        // The last marker line may end the file with no line end.
        {Utf16("abcdonly\r\nABCDONLY"), kLE, {{17, LineEnd::Cr}, {36, LineEnd::None}}},
        {"abcdonly\r\nx\nabcdonly\rABCDONLY",
         k8Bit,
         {{10, LineEnd::CrLf}, {21, LineEnd::Cr}, {29, LineEnd::None}}},
        {"abcdonly\nabcdonly\r\r\nabcdonly\r",
         k8Bit,
         {{9, LineEnd::Lf}, {18, LineEnd::Cr}, {29, LineEnd::Cr}}},
        // Two markers on one line make one marker line.
        {"abcdonly abcdonly\n\nabcdonly", k8Bit, {{18, LineEnd::Lf}, {27, LineEnd::None}}},
        {"no marker\r\n", k8Bit, {}},
        // Saved with LF line ends: the LF unit ends a line as the CR unit otherwise does, and the
        // reader stops after its 0A; a CR unit is then content.
        {Utf16("abcdonly\nx\nabcd\ronly ABCDONLY\r\n"),
         {SourceEncoding::Utf16LE, WideLineEnd::Lf},
         {{17, LineEnd::Lf}, {61, LineEnd::Lf}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        ExpectAtEveryBlockSize(c.bytes, c.format, c.expected);
    }
}

TEST(MarkerLineFinder, StopsAtTheWantedCountAndFindsMoreWhenAsked) {
    const std::string bytes = "abcdonly\nxxxx\nabcdonly\n";
    EXPECT_EQ(FindInBlocks(bytes, {SourceEncoding::EightBit}, 3, 1),
              (std::vector<LineInfo>{{9, LineEnd::Lf}}));
    EXPECT_EQ(FindInBlocks(bytes, {SourceEncoding::EightBit}, 3, 5),
              (std::vector<LineInfo>{{9, LineEnd::Lf}, {23, LineEnd::Lf}}));
}

// The layout model's marker lines, as the finder reports them.
std::vector<LineInfo> ModelMarkerLines(const std::string& bytes, bool utf16, std::size_t wanted) {
    using model::ModelLineEnd;
    std::vector<LineInfo> lines;
    for (const model::ModelLine& line : model::ModelMarkerLines(
             bytes, utf16 ? model::ModelEncoding::Utf16LE : model::ModelEncoding::EightBit,
             wanted)) {
        const LineEnd end = line.end == ModelLineEnd::Cr     ? LineEnd::Cr
                            : line.end == ModelLineEnd::CrLf ? LineEnd::CrLf
                            : line.end == ModelLineEnd::Lf   ? LineEnd::Lf
                                                             : LineEnd::None;
        lines.push_back({line.consumed, end});
    }
    return lines;
}

// Random sources cut into blocks of random sizes, against the independent layout model.
TEST(MarkerLineFinder, AgreesWithAPlainAccountOfTheRulesOnRandomSources) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 600; ++round) {
        const bool utf16 = round % 2 == 0;
        const std::string bytes = test::RandomSource(random, utf16);
        const SourceFormat format = DetectFormat(Bytes(bytes), bytes.size());
        ASSERT_EQ(format.encoding, utf16 ? SourceEncoding::Utf16LE : SourceEncoding::EightBit);
        const std::vector<LineInfo> expected = ModelMarkerLines(bytes, utf16, 100);
        SCOPED_TRACE(testing::PrintToString(bytes));

        MarkerLineFinder finder(format, bytes.size(), 100);
        std::uniform_int_distribution<std::size_t> blockSize(1, round % 3 == 0 ? 4 : 80);
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t n = std::min(blockSize(random), bytes.size() - at);
            finder.Feed(Bytes(bytes) + at, n);
            at += n;
        }
        ASSERT_EQ(finder.Lines(), expected);
    }
}

class LineReaderTest : public testing::Test {
  protected:
    std::string Write(const std::string& bytes) {
        const std::string path = dir_.File("source.adm");
        WriteAll(path, bytes);
        return path;
    }
    test::TempDir dir_;
};

// The splicer copies what the reader hands it: every block, in order, each once.
TEST_F(LineReaderTest, BlocksCoverTheFileInOrder) {
    const std::string bytes = "\xFF\xFE" + Utf16(std::string(5000, 'x') + "abCDonly\r\n" +
                                                 std::string(3000, 'y') + "abcdonly");
    for (const std::size_t blockSize :
         {std::size_t{1}, std::size_t{47}, std::size_t{4096}, LineReader::kDefaultBlockSize}) {
        SCOPED_TRACE("block size " + std::to_string(blockSize));
        const std::string path = Write(bytes);
        LineReader reader(blockSize);
        const auto opened = reader.Open(path);
        ASSERT_TRUE(opened.ok()) << opened.failure().message;
        EXPECT_EQ(reader.Encoding(), SourceEncoding::Utf16LE);
        std::string copied;
        Result<bool> more = true;
        do {
            EXPECT_EQ(reader.BlockStart(), copied.size());
            copied.append(reinterpret_cast<const char*>(reader.Block()), reader.BlockSize());
            more = reader.NextBlock();
        } while (more && *more);
        EXPECT_TRUE(copied == bytes);
        EXPECT_TRUE(more.ok());
        EXPECT_TRUE(reader.MarkerSearchDone());
        EXPECT_EQ(reader.MarkerLines(),
                  (std::vector<LineInfo>{{10019, LineEnd::Cr}, {bytes.size(), LineEnd::None}}));
    }
}

TEST_F(LineReaderTest, ReadFailureStopsTheSearchAndIsReported) {
    const std::string path = Write(Utf16(std::string(200, 'x') + "abcdonly\r\n"));
    test::FaultyPlatform faulty;
    fileio::ScopedPlatform use(faulty);
    faulty.FailAt(test::Call::Read, 3);  // the head, one block, then this one
    {
        LineReader reader(64);
        ASSERT_TRUE(reader.Open(path).ok());
        const Result<bool> failed = reader.NextBlock();
        ASSERT_FALSE(failed.ok());
        EXPECT_EQ(failed.failure().message, test::kInjectedText);
        const Result<bool> after = reader.NextBlock();
        EXPECT_TRUE(after.ok() && !*after);
        EXPECT_TRUE(reader.MarkerLines().empty());
    }
    EXPECT_EQ(faulty.OpenHandles(), 0);
}

TEST_F(LineReaderTest, OpenFailsForAMissingFileWithTheSystemsReason) {
    LineReader reader;
    const auto opened = reader.Open(dir_.File("missing.adm"));
    ASSERT_FALSE(opened.ok());
    EXPECT_FALSE(opened.failure().message.empty());
    EXPECT_FALSE(opened.failure().reading);
}

// A file that is shorter than its reported size (it shrank) is a read failure, not a short copy.
TEST_F(LineReaderTest, AFileShorterThanItsSizeIsAReadFailure) {
    class ShortReads : public test::FaultyPlatform {
      public:
        Result<std::size_t> Read(fileio::Handle handle, void* buffer, std::size_t size) override {
            Result<std::size_t> got = FaultyPlatform::Read(handle, buffer, size);
            if (++reads_ == 4 && got && *got > 0) --*got;
            return got;
        }

      private:
        int reads_ = 0;
    } shortReads;
    const std::string path = Write(std::string(500, 'x'));
    fileio::ScopedPlatform use(shortReads);
    LineReader reader(100);
    ASSERT_TRUE(reader.Open(path).ok());
    const Result<bool> whole = reader.NextBlock();
    ASSERT_TRUE(whole.ok() && *whole);
    EXPECT_FALSE(reader.NextBlock().ok());
}

}  // namespace
}  // namespace tarnwick
