#include "generate/GenerateADM.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "fileio/Platform.h"
#include "generate/EntryText.h"
#include "generate/LineReader.h"
#include "tests/generate/ByteRules.h"
#include "tests/generate/TestSelection.h"
#include "tests/support/FaultyPlatform.h"
#include "tests/support/TestFiles.h"

namespace tarnwick {
namespace {

using test::ReadAll;
using test::TestSelection;
using test::Utf16;
using test::WriteAll;

const std::string kItem = "\t\t    \tNAME !!CDEOnly\t\tVALUE NUMERIC\t28\r\n";
const std::string kDefinition = "CDEOnly=\"Restrict C, D and E only\"\r\n";
const std::string kOldContent(5000, '#');

// A source line and what the new template must put after it.
enum class After { Nothing, Item, Definition };
struct Line {
    std::string text;
    std::string end;  // "\r\n", "\r", "\n" or "" (the last line, without a line end)
    After after = After::Nothing;
};

std::string InsertText(After after) {
    return after == After::Item ? kItem : after == After::Definition ? kDefinition : "";
}

// UTF-16LE with a byte-order mark. In the new template an insert sits right after the CR of its
// marker line (between 0D 00 and 0A 00), or after a line end of its own at the very end.
std::string Utf16Template(const std::vector<Line>& lines, bool spliced) {
    std::string out = "\xFF\xFE";
    for (const Line& line : lines) {
        out += Utf16(line.text);
        const std::string insert = spliced ? InsertText(line.after) : "";
        if (line.end.empty()) {
            if (!insert.empty()) out += Utf16("\r\n" + insert);
            continue;
        }
        out += Utf16(line.end.substr(0, 1)) + Utf16(insert) + Utf16(line.end.substr(1));
    }
    return out;
}

// 8-bit: an insert follows its marker line's whole line end, one byte per character.
std::string EightBitTemplate(const std::vector<Line>& lines, bool spliced,
                             const std::string& start = "") {
    std::string out = start;
    for (const Line& line : lines) {
        out += line.text + line.end;
        const std::string insert = spliced ? InsertText(line.after) : "";
        if (!insert.empty()) out += (line.end.empty() ? "\r\n" : "") + insert;
    }
    return out;
}

// The worked source of 70 bytes and its layout: s[0..17] E(I) s[18..37] E(I) s[38..57] E(D)
// s[58..69].
const std::string kWorkedSource = Utf16("abcdonly\r\nabcdonly\r\nabcdonly\r\nxyz\r\n");
std::string WorkedLayout() {
    const std::string& s = kWorkedSource;
    return s.substr(0, 18) + Utf16(kItem) + s.substr(18, 20) + Utf16(kItem) + s.substr(38, 20) +
           Utf16(kDefinition) + s.substr(58);
}

std::size_t FirstDifference(const std::string& a, const std::string& b) {
    const auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return ia == a.end() && ib == b.end() ? std::string::npos
                                          : static_cast<std::size_t>(ia - a.begin());
}

// Extends a file to `size` bytes by writing its last byte: sparse where the system allows.
void ExtendTo(const std::string& path, std::uint64_t size) {
    fileio::Platform& platform = fileio::NativePlatform();
    fileio::Handle handle = fileio::kNoHandle;
    fileio::SysError error;
    ASSERT_TRUE(platform.Open(path, fileio::Access::Write, fileio::Disposition::OpenExisting,
                              handle, error))
        << error.text;
    EXPECT_TRUE(platform.Seek(handle, size - 1, error)) << error.text;
    EXPECT_TRUE(platform.Write(handle, "!", 1, error)) << error.text;
    EXPECT_TRUE(platform.Close(handle, error)) << error.text;
}

class GenerateADMTest : public testing::Test {
  protected:
    GenerateResult Generate(const Selection& selection) {
        state.strSourceADM = source;
        state.strNewADM = target;
        state.dblDriveMask = GetDriveMask(selection);
        return GenerateADM(selection, state, blockSize);
    }
    GenerateResult Generate() { return Generate(cde); }

    // Writes `bytes` as the source, generates, and checks the new template and the source after.
    void ExpectSplice(const std::string& bytes, const std::string& expected) {
        WriteAll(source, bytes);
        const GenerateResult result = Generate();
        ASSERT_TRUE(result.ok()) << result.message;
        EXPECT_EQ(result.markersFound, 3);
        EXPECT_EQ(state.strEntryName, "CDEOnly");
        const std::string written = ReadAll(target);
        EXPECT_EQ(written.size(), expected.size());
        EXPECT_EQ(FirstDifference(written, expected), std::string::npos);
        EXPECT_TRUE(ReadAll(source) == bytes) << "the source changed";
        EXPECT_EQ(FolderNames(), (std::vector<std::string>{"new.adm", "system.adm"}));
    }

    // After a failure: the new path as it was, and no temporary file left beside it.
    void ExpectNothingWritten(bool hadOldOutput) {
        if (hadOldOutput) {
            EXPECT_EQ(ReadAll(target), kOldContent);
        } else {
            EXPECT_FALSE(std::filesystem::exists(test::FsPath(target)));
        }
        std::vector<std::string> expected{"system.adm"};
        if (hadOldOutput) expected.insert(expected.begin(), "new.adm");
        EXPECT_EQ(FolderNames(), expected);
    }

    std::vector<std::string> FolderNames() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(test::FsPath(dir.Path()))) {
            names.push_back(test::Utf8(entry.path().filename()));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempDir dir;
    std::string source = dir.File("system.adm");
    std::string target = dir.File("new.adm");
    FormState state;
    TestSelection cde = TestSelection::Of("CDE");
    std::size_t blockSize = LineReader::kDefaultBlockSize;
};

TEST_F(GenerateADMTest, WorkedSourceGivesTheLayoutByteForByte) {
    const std::string expected = WorkedLayout();
    EXPECT_EQ(expected.size(), 70u + 4 * kItem.size() + 2 * kDefinition.size());
    ExpectSplice(kWorkedSource, expected);
}

// Each insert place meets a block edge at each of its bytes.
TEST_F(GenerateADMTest, WorkedSourceGivesTheLayoutWhateverTheBlockSize) {
    for (blockSize = 1; blockSize <= kWorkedSource.size(); ++blockSize) {
        SCOPED_TRACE("block size " + std::to_string(blockSize));
        ExpectSplice(kWorkedSource, WorkedLayout());
    }
}

// Random sources in random small blocks, against the plain account of where the inserts go.
TEST_F(GenerateADMTest, RandomSourcesGiveThePlainLayoutOrNothing) {
    std::mt19937 random(20240612);
    std::uniform_int_distribution<std::size_t> blockSizes(1, 40);
    for (int round = 0; round < 200; ++round) {
        const bool utf16 = round % 2 == 0;
        const std::string bytes = test::RandomSource(random, utf16, 30);
        blockSize = blockSizes(random);
        SCOPED_TRACE(testing::PrintToString(bytes) + " block size " + std::to_string(blockSize));
        const auto markers = test::ReferenceMarkerLines(bytes, utf16, 3);
        if (markers.size() == 3) {
            ExpectSplice(bytes, test::ReferenceLayout(bytes, utf16, kItem, kDefinition));
            continue;
        }
        std::filesystem::remove(test::FsPath(target));
        WriteAll(source, bytes);
        const GenerateResult result = Generate();
        EXPECT_EQ(result.status, GenerateStatus::TooFewMarkers);
        EXPECT_EQ(result.markersFound, static_cast<int>(markers.size()));
        ExpectNothingWritten(false);
        if (HasFailure()) return;
    }
}

TEST_F(GenerateADMTest, AnExistingLongerFileIsReplacedWhole) {
    WriteAll(target, kOldContent);
    ExpectSplice(kWorkedSource, WorkedLayout());
}

TEST_F(GenerateADMTest, AnotherSelectionLeavesNothingOfTheFirst) {
    ExpectSplice(kWorkedSource, WorkedLayout());
    const TestSelection allButA = TestSelection::Of("A", false);
    ASSERT_TRUE(Generate(allButA).ok());
    const std::string item = "\t\t    \tNAME !!ALLBUTA\t\tVALUE NUMERIC\t67108862\r\n";
    const std::string definition = "ALLBUTA=\"Restrict all drives but A only\"\r\n";
    const std::string& s = kWorkedSource;
    EXPECT_EQ(ReadAll(target), s.substr(0, 18) + Utf16(item) + s.substr(18, 20) + Utf16(item) +
                                   s.substr(38, 20) + Utf16(definition) + s.substr(58));
}

TEST_F(GenerateADMTest, MarkersInAnyCaseAndInsideWordsCountAndALaterOneIsCopied) {
    const std::vector<Line> lines = {
        {"[Policy]", "\r\n"},
        {"xxABCDONLYyy", "\r\n", After::Item},
        {"plain abcd only", "\r\n"},
        {"\tNAME !!AbCdOnLy", "\r\n", After::Item},
        {"myabcdonlyword=\"x\"", "\r\n", After::Definition},
        {"abcdonly", "\r\n"},
        {"end", "\r\n"},
    };
    ExpectSplice(Utf16Template(lines, false), Utf16Template(lines, true));
}

TEST_F(GenerateADMTest, TheProjectsSampleTemplate) {
    const std::string sample = ReadAll(std::string(TARNWICK_SOURCE_DIR) + "/samples/system.adm");
    // A plain account of where the inserts go: one byte past each of the first three marker
    // lines, as the byte rules cut them.
    std::array<std::size_t, 3> at{};
    std::size_t found = 0;
    for (std::size_t start = 0; start < sample.size() && found < 3;) {
        std::size_t end = sample.find('\r', start);
        ASSERT_NE(end, std::string::npos);
        std::string text;
        for (std::size_t i = start; i < end; ++i) {
            const auto byte = static_cast<unsigned char>(sample[i]);
            if (byte != 0) text += static_cast<char>(std::tolower(byte));
        }
        end += sample[end + 1] == '\n' ? 2 : 1;
        if (text.find("abcdonly") != std::string::npos) at[found++] = end + 1;
        start = end;
    }
    ASSERT_EQ(found, 3u);
    const std::string expected = sample.substr(0, at[0]) + Utf16(kItem) +
                                 sample.substr(at[0], at[1] - at[0]) + Utf16(kItem) +
                                 sample.substr(at[1], at[2] - at[1]) + Utf16(kDefinition) +
                                 sample.substr(at[2]);
    // Each insert falls between a marker line's 0D 00 and its 0A 00.
    for (const std::size_t a : at)
        EXPECT_EQ(sample.substr(a - 2, 4), std::string("\r\0\n\0", 4));
    ExpectSplice(sample, expected);
}

// Big enough to take several copy pieces and reader blocks, with a marker near each end.
TEST_F(GenerateADMTest, ALargeSourceIsCopiedWhole) {
    std::vector<Line> lines = {{"abcdonly", "\r\n", After::Item}};
    const std::string filler(200, 'f');
    for (int i = 0; i < 4000; ++i)
        lines.push_back({filler + std::to_string(i), "\r\n"});
    lines.push_back({"ABCDONLY", "\r\n", After::Item});
    for (int i = 0; i < 4000; ++i)
        lines.push_back({std::to_string(i) + filler, "\r\n"});
    lines.push_back({"abcdOnly=\"A, B, C and D\"", "\r\n", After::Definition});
    lines.push_back({"tail", "\r\n"});
    ExpectSplice(Utf16Template(lines, false), Utf16Template(lines, true));
}

TEST_F(GenerateADMTest, FewerThanThreeMarkerLinesWriteNothing) {
    const std::vector<std::string> sources = {
        Utf16("nothing here\r\n"), Utf16("abcdonly\r\nother\r\n"),
        Utf16("abcdonly\r\nabcdonly abcdonly\r\n"),  // two on one line count once
    };
    for (const bool hadOldOutput : {false, true}) {
        for (std::size_t n = 0; n < sources.size(); ++n) {
            SCOPED_TRACE(std::to_string(n) + " markers, old output " +
                         std::to_string(hadOldOutput));
            WriteAll(source, sources[n]);
            if (hadOldOutput) WriteAll(target, kOldContent);
            const GenerateResult result = Generate();
            EXPECT_EQ(result.status, GenerateStatus::TooFewMarkers);
            EXPECT_EQ(result.markersFound, static_cast<int>(n));
            EXPECT_NE(result.message.find(source), std::string::npos) << result.message;
            EXPECT_NE(result.message.find(std::to_string(n)), std::string::npos);
            ExpectNothingWritten(hadOldOutput);
        }
    }
}

// The source is judged before the output: one that is no template says so, even where the new
// template could not have been written.
TEST_F(GenerateADMTest, TooFewMarkersIsReportedBeforeAFailedWrite) {
    target = dir.File("no such folder/new.adm");
    for (blockSize = 7; blockSize <= LineReader::kDefaultBlockSize; blockSize *= 1024) {
        WriteAll(source, Utf16("abcdonly\r\n" + std::string(300, 'x') + "\r\nabcdonly\r\n"));
        GenerateResult result = Generate();
        EXPECT_EQ(result.status, GenerateStatus::TooFewMarkers) << result.message;
        EXPECT_EQ(result.markersFound, 2);

        WriteAll(source, kWorkedSource);
        result = Generate();
        EXPECT_EQ(result.status, GenerateStatus::WriteFailed) << result.message;
        EXPECT_NE(result.message.find(target), std::string::npos) << result.message;
        EXPECT_EQ(FolderNames(), std::vector<std::string>{"system.adm"});
    }
}

TEST_F(GenerateADMTest, EightBitSourcesTakeTheirInsertsAfterTheWholeLineEnd) {
    for (const std::string end : {"\r\n", "\n", "\r"}) {
        SCOPED_TRACE(testing::PrintToString(end));
        const std::vector<Line> lines = {
            {"CLASS USER", end}, {"abcdonly", end, After::Item},
            {"x", end},          {"ABCDONLY", end, After::Item},
            {"[strings]", end},  {"abcdonly=\"x\"", end, After::Definition},
            {"last", end},
        };
        ExpectSplice(EightBitTemplate(lines, false), EightBitTemplate(lines, true));
    }
}

TEST_F(GenerateADMTest, EightBitSourceWithMixedLineEndsAndUtf8Text) {
    const std::vector<Line> lines = {
        {"r\xC3\xA9sum\xC3\xA9 abcdonly", "\n", After::Item},
        {"abcdonly", "\r", After::Item},
        {"", "\r\n"},
        {"abcdonly", "\r\n", After::Definition},
        {"end", ""},
    };
    const std::string bom = "\xEF\xBB\xBF";
    ExpectSplice(EightBitTemplate(lines, false, bom), EightBitTemplate(lines, true, bom));
}

TEST_F(GenerateADMTest, ThirdMarkerOnTheLastLineWithoutLineEndGetsTheDefinitionOnItsOwnLine) {
    const std::vector<Line> lines = {
        {"abcdonly", "\r\n", After::Item},
        {"abcdonly", "\r\n", After::Item},
        {"abcdonly", "", After::Definition},
    };
    ExpectSplice(Utf16Template(lines, false), Utf16Template(lines, true));
    ExpectSplice(EightBitTemplate(lines, false), EightBitTemplate(lines, true));
}

TEST_F(GenerateADMTest, ThirdMarkerLineEndingInALastCrTakesTheDefinitionAtTheEnd) {
    // Its 0D 00 is the end of the source: the insert follows the 00, which is the last byte.
    const std::vector<Line> lines = {
        {"abcdonly", "\r\n", After::Item},
        {"abcdonly", "\r\n", After::Item},
        {"abcdonly", "\r", After::Definition},
    };
    ExpectSplice(Utf16Template(lines, false), Utf16Template(lines, true));
}

TEST_F(GenerateADMTest, BigEndianSourcesAreRefused) {
    std::string bigEndian;
    for (const char c : std::string("abcdonly\r\nabcdonly\r\nabcdonly\r\n")) {
        bigEndian += '\0';
        bigEndian += c;
    }
    for (const std::string& bytes : {"\xFE\xFF" + bigEndian, bigEndian}) {
        WriteAll(source, bytes);
        const GenerateResult result = Generate();
        EXPECT_EQ(result.status, GenerateStatus::UnsupportedSource);
        EXPECT_NE(result.message.find("big-endian"), std::string::npos) << result.message;
        ExpectNothingWritten(false);
    }
}

TEST_F(GenerateADMTest, ASourceThatCannotBeOpenedIsReportedWithTheSystemsReason) {
    WriteAll(target, kOldContent);
    for (const std::string& path : {dir.File("missing.adm"), dir.Path()}) {
        SCOPED_TRACE(path);
        source = path;
        const GenerateResult result = Generate();
        EXPECT_EQ(result.status, GenerateStatus::SourceOpenFailed);
        EXPECT_FALSE(result.error.text.empty());
        EXPECT_NE(result.message.find(path), std::string::npos) << result.message;
        EXPECT_EQ(ReadAll(target), kOldContent);
        EXPECT_EQ(FolderNames(), std::vector<std::string>{"new.adm"});
    }
}

TEST_F(GenerateADMTest, TheSourceItselfIsNeverTheNewTemplate) {
    WriteAll(source, kWorkedSource);
    for (const std::string& path : {source, dir.File("./system.adm")}) {
        target = path;
        EXPECT_EQ(Generate().status, GenerateStatus::InvalidInput);
        EXPECT_EQ(ReadAll(source), kWorkedSource);
        EXPECT_EQ(FolderNames(), std::vector<std::string>{"system.adm"});
    }
}

TEST_F(GenerateADMTest, NothingTickedWritesNothing) {
    WriteAll(source, kWorkedSource);
    EXPECT_EQ(Generate(TestSelection::Of("")).status, GenerateStatus::InvalidInput);
    ExpectNothingWritten(false);
}

// Offsets are 32-bit: a source of 2 GiB (sparse here) is refused before anything is read or
// written.
TEST_F(GenerateADMTest, ASourceOf2GiBIsRefused) {
    WriteAll(source, kWorkedSource);
    ExtendTo(source, std::uint64_t{1} << 31);
    const GenerateResult result = Generate();
    EXPECT_EQ(result.status, GenerateStatus::InvalidInput);
    EXPECT_NE(result.message.find("2 GiB"), std::string::npos) << result.message;
    ExpectNothingWritten(false);
}

TEST_F(GenerateADMTest, EachFailedCallStopsTheRunAndLosesNothing) {
    WriteAll(source, kWorkedSource);
    std::size_t calls = 0;
    {
        test::FaultyPlatform counting;
        fileio::ScopedPlatform use(counting);
        WriteAll(target, kOldContent);
        ASSERT_TRUE(Generate().ok());
        calls = counting.Total();
    }
    ASSERT_GT(calls, 10u);
    for (std::size_t k = 1; k <= calls; ++k) {
        SCOPED_TRACE("call " + std::to_string(k) + " fails");
        WriteAll(target, kOldContent);
        test::FaultyPlatform faulty;
        GenerateResult result;
        {
            fileio::ScopedPlatform use(faulty);
            faulty.FailAt(k);
            result = Generate();
        }
        ASSERT_TRUE(faulty.Injected());
        EXPECT_EQ(faulty.OpenHandles(), 0);
        if (result.ok()) {
            // Only a failure that loses nothing may pass, such as closing the source after reading.
            EXPECT_EQ(ReadAll(target), WorkedLayout());
            continue;
        }
        EXPECT_FALSE(result.message.empty());
        EXPECT_EQ(result.error.text, test::kInjectedText) << result.message;
        ExpectNothingWritten(true);
    }
}

TEST_F(GenerateADMTest, FailuresAreNamedByWhatFailed) {
    struct Case {
        test::Call call;
        std::size_t nth;
        GenerateStatus expected;
    };
    const Case cases[] = {
        {test::Call::Open, 1, GenerateStatus::SourceOpenFailed},
        {test::Call::Read, 1, GenerateStatus::ReadFailed},  // the start of the source
        {test::Call::Read, 3, GenerateStatus::ReadFailed},  // a block to copy
        {test::Call::Write, 1, GenerateStatus::WriteFailed},
        {test::Call::Write, 4, GenerateStatus::WriteFailed},
        {test::Call::Size, 2, GenerateStatus::WriteFailed},  // the written file's
        {test::Call::Replace, 1, GenerateStatus::WriteFailed},
    };
    WriteAll(source, kWorkedSource);
    blockSize = 16;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.call)) + " #" + std::to_string(c.nth));
        WriteAll(target, kOldContent);
        test::FaultyPlatform faulty;
        faulty.FailAt(c.call, c.nth);
        GenerateResult result;
        {
            fileio::ScopedPlatform use(faulty);
            result = Generate();
        }
        EXPECT_EQ(result.status, c.expected) << result.message;
        const std::string& named = c.expected == GenerateStatus::WriteFailed ? target : source;
        EXPECT_NE(result.message.find(named), std::string::npos) << result.message;
        ExpectNothingWritten(true);
    }
}

}  // namespace
}  // namespace tarnwick
