#include "generate/LineReader.h"

#include <gtest/gtest.h>

#include <cctype>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "fileio/mdlAPIFiles.h"
#include "generate/Encoding.h"
#include "tests/support/FaultyPlatform.h"
#include "tests/support/TestFiles.h"

namespace tarnwick {
namespace {

using test::TempDir;
using test::Utf16;
using test::WriteAll;

const std::uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

TEST(DetectEncoding, ByteOrderMarkThenZeroBytesDecide) {
    struct Case {
        std::string head;
        SourceEncoding expected;
    };
    const Case cases[] = {
        {"\xFF\xFE"
         "a\x01",
         SourceEncoding::Utf16LE},  // the mark wins over non-ASCII text
        {"\xFE\xFF"
         "\0a",
         SourceEncoding::Utf16BE},
        {"\xEF\xBB\xBF"
         "abc",
         SourceEncoding::EightBit},
        {Utf16("abcdonly\r\n"), SourceEncoding::Utf16LE},
        {std::string("\0a\0b", 4), SourceEncoding::Utf16BE},
        {"abcdonly\r\n", SourceEncoding::EightBit},
        {"a", SourceEncoding::EightBit},
        {"", SourceEncoding::EightBit},
        {Utf16("ab") + "c\xC3", SourceEncoding::EightBit},  // one odd byte is not zero
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DetectEncoding(Bytes(c.head), c.head.size()), c.expected)
            << testing::PrintToString(c.head);
    }
}

TEST(DetectEncoding, LooksOnlyAtTheFirst64KiB) {
    std::string head = Utf16(std::string(kDetectionWindow / 2, 'x'));
    head += "\xE9\xE9";
    EXPECT_EQ(DetectEncoding(Bytes(head), head.size()), SourceEncoding::Utf16LE);
    head[kDetectionWindow - 1] = 'y';
    EXPECT_EQ(DetectEncoding(Bytes(head), head.size()), SourceEncoding::EightBit);
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

// The worked source: three marker lines and "xyz", UTF-16LE without a mark, 70 bytes.
const std::string kWorkedSource = Utf16("abcdonly\r\nabcdonly\r\nabcdonly\r\nxyz\r\n");

struct ReadStep {
    bool hasMarker;
    LineEnd end;
    std::uint64_t position;
};

class LineReaderBlocks : public testing::TestWithParam<std::size_t> {
  protected:
    std::string Write(const std::string& bytes) {
        const std::string path = dir_.File("source.adm");
        WriteAll(path, bytes);
        return path;
    }
    void Open(LineReader& reader, const std::string& bytes) {
        fileio::SysError error;
        ASSERT_TRUE(reader.Open(Write(bytes), error)) << error.text;
    }
    void ExpectLines(const std::string& bytes, const std::vector<ReadStep>& steps) {
        LineReader reader(GetParam());
        Open(reader, bytes);
        for (std::size_t i = 0; i < steps.size(); ++i) {
            SCOPED_TRACE("line " + std::to_string(i + 1));
            LineInfo line;
            ASSERT_TRUE(reader.ReadLine(line));
            EXPECT_EQ(line.hasMarker, steps[i].hasMarker);
            EXPECT_EQ(line.end, steps[i].end);
            EXPECT_EQ(reader.Position(), steps[i].position);
        }
        LineInfo line;
        EXPECT_TRUE(reader.AtEnd());
        EXPECT_FALSE(reader.ReadLine(line));
        EXPECT_FALSE(reader.Failed());
    }

    TempDir dir_;
};

TEST_P(LineReaderBlocks, WorkedSourceFollowsTheByteRules) {
    // Each CR LF ends a line after its 0D; the 00 0A 00 left over starts the next line.
    ExpectLines(kWorkedSource, {{true, LineEnd::Cr, 18},
                                {true, LineEnd::Cr, 38},
                                {true, LineEnd::Cr, 58},
                                {false, LineEnd::Cr, 68},
                                {false, LineEnd::None, 71}});

    LineReader reader(GetParam());
    Open(reader, kWorkedSource);
    EXPECT_EQ(reader.Encoding(), SourceEncoding::Utf16LE);
    LineInfo line;
    for (const std::uint64_t expected : {18u, 38u, 58u}) {
        ASSERT_TRUE(reader.SkipToMarkerLine(line));
        EXPECT_EQ(reader.Position(), expected);
    }
    EXPECT_FALSE(reader.SkipToMarkerLine(line));
    EXPECT_EQ(reader.Position(), 71u);
    EXPECT_FALSE(reader.Failed());
}

TEST_P(LineReaderBlocks, CrDirectlyFollowedByLfIsOneLineEnd) {
    // 0D 0A bytes in a UTF-16LE file end one line together, even across a block boundary.
    const std::string bytes = "\xFF\xFE" + Utf16("ab") + "\r\n" + Utf16("cd") + "\r";
    ExpectLines(bytes, {{false, LineEnd::CrLf, 9}, {false, LineEnd::Cr, 14}});
}

TEST_P(LineReaderBlocks, EightBitLinesEndAtCrLfLoneCrOrLoneLf) {
    ExpectLines("abcdonly\r\nx\ny\rABCDONLY", {{true, LineEnd::CrLf, 11},
                                               {false, LineEnd::Lf, 13},
                                               {false, LineEnd::Cr, 15},
                                               {true, LineEnd::None, 23}});
    ExpectLines("\n\r\r\n",
                {{false, LineEnd::Lf, 2}, {false, LineEnd::Cr, 3}, {false, LineEnd::CrLf, 5}});
}

TEST_P(LineReaderBlocks, MarkerInALineLongerThanManyBlocks) {
    std::string bytes =
        "\xFF\xFE" + Utf16(std::string(5000, 'x') + "abCDonly" + std::string(3000, 'y'));
    LineReader reader(GetParam());
    Open(reader, bytes);
    LineInfo line;
    ASSERT_TRUE(reader.SkipToMarkerLine(line));
    EXPECT_EQ(line.end, LineEnd::None);
    EXPECT_EQ(reader.Position(), bytes.size() + 1);
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, LineReaderBlocks,
                         testing::Values(std::size_t{1}, std::size_t{33}, std::size_t{47},
                                         LineReader::kDefaultBlockSize));

// A plain account of the line rules, to compare the streaming reader against.
struct RefLine {
    std::size_t end;
    bool hasMarker;
};

std::vector<RefLine> ReferenceLines(const std::string& s, bool utf16) {
    std::vector<RefLine> lines;
    for (std::size_t start = 0; start < s.size();) {
        std::size_t textEnd = start;
        while (textEnd < s.size() && s[textEnd] != '\r' && (utf16 || s[textEnd] != '\n')) {
            ++textEnd;
        }
        std::size_t end = textEnd;
        if (end < s.size()) {
            const bool cr = s[end] == '\r';
            ++end;
            if (cr && end < s.size() && s[end] == '\n') ++end;
        }
        // The text: bytes as they are, or UTF-16LE units at even offsets ('?' for non-ASCII).
        std::string text;
        if (utf16) {
            for (std::size_t i = start + start % 2; i + 1 < textEnd; i += 2) {
                text += s[i + 1] == '\0' ? s[i] : '?';
            }
        } else {
            text = s.substr(start, textEnd - start);
        }
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        lines.push_back({end, text.find("abcdonly") != std::string::npos});
        start = end;
    }
    return lines;
}

std::string RandomSource(std::mt19937& random, bool utf16) {
    // Mostly marker letters, so that markers, near misses and line ends all come often.
    static const std::string kPieces[] = {"abcdonly", "ABCDONLY", "aBcDoNlY", "abcd", "only",
                                          "x",        "\r\n",     "\r",       "\n",   " "};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(kPieces) - 1);
    std::uniform_int_distribution<int> count(0, 60);
    std::string text;
    for (int n = count(random); n > 0; --n)
        text += kPieces[pick(random)];
    if (!utf16) return text;
    std::string bytes = "\xFF\xFE" + Utf16(text);
    // A few units that are not ASCII, one of them with a letter in its low byte.
    if (bytes.size() > 8 && random() % 2) bytes.replace(4, 2, "b\x62");
    if (bytes.size() > 12 && random() % 2) bytes.insert(9, 1, '\0');  // shifts the alignment
    return bytes;
}

TEST(LineReader, AgreesWithAPlainAccountOfTheRulesOnRandomSources) {
    std::mt19937 random(20240611);
    TempDir dir;
    const std::string path = dir.File("random.adm");
    for (int round = 0; round < 300; ++round) {
        const bool utf16 = round % 2 == 0;
        const std::string bytes = RandomSource(random, utf16);
        WriteAll(path, bytes);
        const std::vector<RefLine> expected = ReferenceLines(bytes, utf16);
        const std::size_t blockSize = round % 3 == 0 ? 1 : 40 + round % 7;
        SCOPED_TRACE(testing::PrintToString(bytes) + " block " + std::to_string(blockSize));

        LineReader byLine(blockSize);
        LineReader byMarker(blockSize);
        fileio::SysError error;
        ASSERT_TRUE(byLine.Open(path, error));
        ASSERT_TRUE(byMarker.Open(path, error));
        ASSERT_EQ(byLine.Encoding(), utf16 ? SourceEncoding::Utf16LE : SourceEncoding::EightBit);
        LineInfo line;
        for (const RefLine& ref : expected) {
            ASSERT_TRUE(byLine.ReadLine(line));
            ASSERT_EQ(byLine.Position(), ref.end + 1);
            ASSERT_EQ(line.hasMarker, ref.hasMarker);
            if (ref.hasMarker) {
                ASSERT_TRUE(byMarker.SkipToMarkerLine(line));
                ASSERT_EQ(byMarker.Position(), ref.end + 1);
            }
        }
        EXPECT_FALSE(byLine.ReadLine(line));
        EXPECT_FALSE(byMarker.SkipToMarkerLine(line));
        EXPECT_EQ(byMarker.Position(), bytes.size() + 1);
    }
}

TEST(LineReader, ReadFailureStopsTheSearchAndIsReported) {
    TempDir dir;
    const std::string path = dir.File("source.adm");
    WriteAll(path, Utf16(std::string(200, 'x') + "abcdonly\r\n"));
    test::FaultyPlatform faulty;
    fileio::ScopedPlatform use(faulty);
    faulty.FailAt(test::Call::Read, 3);  // the head, one block, then this one
    {
        LineReader reader(64);
        fileio::SysError error;
        ASSERT_TRUE(reader.Open(path, error));
        LineInfo line;
        EXPECT_FALSE(reader.SkipToMarkerLine(line));
        EXPECT_TRUE(reader.Failed());
        EXPECT_EQ(reader.Error().text, test::kInjectedText);
        EXPECT_FALSE(reader.ReadLine(line));
    }
    EXPECT_EQ(faulty.OpenHandles(), 0);
}

TEST(LineReader, OpenFailsForAMissingFileWithTheSystemsReason) {
    TempDir dir;
    LineReader reader;
    fileio::SysError error;
    EXPECT_FALSE(reader.Open(dir.File("missing.adm"), error));
    EXPECT_FALSE(error.text.empty());
    EXPECT_FALSE(reader.Failed());
}

// The range reads open the source a second time while the reader holds it.
TEST(LineReader, OtherReadersMayOpenTheSourceMeanwhile) {
    TempDir dir;
    const std::string path = dir.File("source.adm");
    WriteAll(path, kWorkedSource);
    LineReader reader;
    fileio::SysError error;
    ASSERT_TRUE(reader.Open(path, error));
    fileio::ByteArray bytes;
    std::int32_t count = 0;
    std::int32_t end = 18;
    EXPECT_EQ(fileio::ReadFileBytes(path, bytes, count, 0, end), fileio::kReadDone);
    EXPECT_EQ(count, 18);
}

}  // namespace
}  // namespace tarnwick
