#include "generate/GenerateADM.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "fileio/Platform.h"
#include "fileio/mdlAPIFiles.h"
#include "generate/EntryText.h"
#include "generate/LineReader.h"
#include "tests/generate/RandomSource.h"
#include "tests/generate/TestSelection.h"
#include "tests/support/FaultyPlatform.h"
#include "tests/support/LayoutModel.h"
#include "tests/support/TestFiles.h"

namespace tarnwick {
namespace {

using test::ReadAll;
using test::TestSelection;
using test::Utf16;
using test::WriteAll;

const std::string kOldContent(5000, '#');

// The worked source of 70 bytes: three marker lines and "xyz", UTF-16LE without a mark.
const std::string kWorkedSource = Utf16("abcdonly\r\nabcdonly\r\nabcdonly\r\nxyz\r\n");

// What the independent layout model makes of `bytes` for `letters`.
std::string ModelLayout(const std::string& bytes, std::string_view letters = "CDE",
                        bool allBut = false) {
    model::ModelSelection selection{0, allBut};
    for (const char letter : letters)
        selection.drives |= 1u << (letter - 'A');
    return model::ModelGenerate(bytes, selection).bytes;
}

std::size_t FirstDifference(const std::string& a, const std::string& b) {
    const auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return ia == a.end() && ib == b.end() ? std::string::npos
                                          : static_cast<std::size_t>(ia - a.begin());
}

// Extends a file to `size` bytes by writing its last byte: sparse where the system allows.
void ExtendTo(const std::string& path, std::uint64_t size) {
    fileio::Platform& platform = fileio::NativePlatform();
    const Result<fileio::Handle> handle =
        platform.Open(path, fileio::Access::Write, fileio::Disposition::OpenExisting);
    ASSERT_TRUE(handle.ok()) << handle.failure().message;
    Status done = platform.Seek(*handle, size - 1);
    if (done) done = platform.Write(*handle, "!", 1);
    EXPECT_TRUE(done.ok()) << done.failure().message;
    EXPECT_TRUE(platform.Close(*handle).ok());
}

class GenerateADMTest : public testing::Test {
  protected:
    GenerateResult Generate(const Selection& selection) {
        state.strSourceADM = source;
        state.strNewADM = target;
        state.dblDriveMask = GetDriveMask(selection);
        ReplaceConsent consent;
        if (agreed) {
            fileio::ScopedPlatform native(fileio::NativePlatform());  // not a call under test
            consent.file = fileio::FileIdentity(target);
        }
        return GenerateADM(selection, state, consent, blockSize);
    }
    GenerateResult Generate() { return Generate(cde); }
    // The failure of a generation that must fail.
    GenerateFailure Refusal(const Selection& selection) {
        GenerateResult result = Generate(selection);
        if (!result) return result.failure();
        ADD_FAILURE() << "generated where a refusal was expected";
        return {};
    }
    GenerateFailure Refusal() { return Refusal(cde); }

    // Writes `bytes` as the source, generates, and checks the new template and the source after.
    void ExpectSplice(const std::string& bytes, const std::string& expected) {
        WriteAll(source, bytes);
        const GenerateResult result = Generate();
        ASSERT_TRUE(result) << result.failure().message;
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
    // Whether the administrator agreed to replace what is at the new path before each run.
    bool agreed = true;
};

// Sources of every shape the byte rules tell apart, each against the layout model.
TEST_F(GenerateADMTest, ShapedSourcesGiveTheModelsLayout) {
    const std::string filler(200, 'f');
    std::string large = "abcdonly\r\n";  // several copy pieces and reader blocks
    for (int i = 0; i < 4000; ++i)
        large += filler + std::to_string(i) + "\r\n";
    large += "ABCDONLY\r\n";
    for (int i = 0; i < 4000; ++i)
        large += std::to_string(i) + filler + "\r\n";
    large += "abcdOnly=\"A, B, C and D\"\r\ntail\r\n";
    const std::string bom = "\xFF\xFE";
    const std::string sources[] = {
        kWorkedSource,
        ReadAll(std::string(TARNWICK_SOURCE_DIR) + "/samples/system.adm"),
        // Any case, inside words, and a fourth marker line copied with nothing after it.
        bom + Utf16("[Policy]\r\nxxABCDONLYyy\r\nplain abcd only\r\n\tNAME !!AbCdOnLy\r\n"
                    "myabcdonlyword=\"x\"\r\nabcdonly\r\nend\r\n"),
        bom + Utf16(large),
        // The third marker line ends the source: without a line end, or with a last CR.
        bom + Utf16("abcdonly\r\nabcdonly\r\nabcdonly"),
        bom + Utf16("abcdonly\r\nabcdonly\r\nabcdonly\r"),
        // 8-bit: each kind of line end, mixed ends with UTF-8 text, no line end at the end.
        "CLASS USER\r\nabcdonly\r\nx\r\nABCDONLY\r\n[strings]\r\nabcdonly=\"x\"\r\nlast\r\n",
        "CLASS USER\nabcdonly\nx\nABCDONLY\n[strings]\nabcdonly=\"x\"\nlast\n",
        "CLASS USER\rabcdonly\rx\rABCDONLY\r[strings]\rabcdonly=\"x\"\rlast\r",
        "\xEF\xBB\xBFr\xC3\xA9sum\xC3\xA9 abcdonly\nabcdonly\r\r\nabcdonly\r\nend",
        "abcdonly\r\nabcdonly\r\nabcdonly",
    };
    for (const std::string& bytes : sources) {
        SCOPED_TRACE(testing::PrintToString(bytes.substr(0, 80)));
        ExpectSplice(bytes, ModelLayout(bytes));
    }
}

// Each insert place meets a block edge at each of its bytes.
TEST_F(GenerateADMTest, WorkedSourceGivesTheLayoutWhateverTheBlockSize) {
    for (blockSize = 1; blockSize <= kWorkedSource.size(); ++blockSize) {
        SCOPED_TRACE("block size " + std::to_string(blockSize));
        ExpectSplice(kWorkedSource, ModelLayout(kWorkedSource));
    }
}

// Random sources in random small blocks, against the layout model.
TEST_F(GenerateADMTest, RandomSourcesGiveTheModelsLayoutOrNothing) {
    std::mt19937 random(20240612);
    std::uniform_int_distribution<std::size_t> blockSizes(1, 40);
    for (int round = 0; round < 200; ++round) {
        const std::string bytes = test::RandomSource(random, round % 2 == 0, 30);
        blockSize = blockSizes(random);
        SCOPED_TRACE(testing::PrintToString(bytes) + " block size " + std::to_string(blockSize));
        const model::ModelOutcome expected = model::ModelGenerate(bytes, {0b11100, false});
        if (expected.ok()) {
            ExpectSplice(bytes, expected.bytes);
            continue;
        }
        std::filesystem::remove(test::FsPath(target));
        WriteAll(source, bytes);
        const GenerateFailure result = Refusal();
        EXPECT_EQ(result.fault, GenerateFault::TooFewMarkers);
        EXPECT_EQ(result.markersFound, expected.markersFound);
        ExpectNothingWritten(false);
        if (HasFailure()) return;
    }
}

// An existing file, longer than the result, is replaced whole; so is the result of another
// selection.
TEST_F(GenerateADMTest, AnExistingFileIsReplacedWhole) {
    WriteAll(target, kOldContent);
    ExpectSplice(kWorkedSource, ModelLayout(kWorkedSource));
    ASSERT_TRUE(Generate(TestSelection::Of("A", false)).ok());
    EXPECT_EQ(ReadAll(target), ModelLayout(kWorkedSource, "A", true));
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
            const GenerateFailure result = Refusal();
            EXPECT_EQ(result.fault, GenerateFault::TooFewMarkers);
            EXPECT_EQ(result.markersFound, static_cast<int>(n));
            EXPECT_NE(result.message.find(source), std::string::npos) << result.message;
            EXPECT_NE(result.message.find(" has " + std::to_string(n) +
                                          (n == 1 ? " line " : " lines ") + "containing"),
                      std::string::npos)
                << result.message;
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
        GenerateFailure result = Refusal();
        EXPECT_EQ(result.fault, GenerateFault::TooFewMarkers) << result.message;
        EXPECT_EQ(result.markersFound, 2);

        WriteAll(source, kWorkedSource);
        result = Refusal();
        EXPECT_EQ(result.fault, GenerateFault::WriteFailed) << result.message;
        EXPECT_NE(result.message.find(target), std::string::npos) << result.message;
        EXPECT_EQ(FolderNames(), std::vector<std::string>{"system.adm"});
    }
}

TEST_F(GenerateADMTest, BigEndianSourcesAreRefused) {
    std::string bigEndian;
    for (const char c : std::string("abcdonly\r\nabcdonly\r\nabcdonly\r\n")) {
        bigEndian += '\0';
        bigEndian += c;
    }
    for (const std::string& bytes : {"\xFE\xFF" + bigEndian, bigEndian}) {
        WriteAll(source, bytes);
        const GenerateFailure result = Refusal();
        EXPECT_EQ(result.fault, GenerateFault::UnsupportedSource);
        EXPECT_NE(result.message.find("big-endian"), std::string::npos) << result.message;
        ExpectNothingWritten(false);
    }
}

TEST_F(GenerateADMTest, ASourceThatCannotBeOpenedIsReportedWithTheSystemsReason) {
    WriteAll(target, kOldContent);
    for (const std::string& path : {dir.File("missing.adm"), dir.Path()}) {
        SCOPED_TRACE(path);
        source = path;
        const GenerateFailure result = Refusal();
        EXPECT_EQ(result.fault, GenerateFault::SourceOpenFailed);
        EXPECT_FALSE(result.systemText.empty());
        EXPECT_NE(result.message.find(path), std::string::npos) << result.message;
        EXPECT_EQ(ReadAll(target), kOldContent);
        EXPECT_EQ(FolderNames(), std::vector<std::string>{"new.adm"});
    }
}

TEST_F(GenerateADMTest, TheSourceItselfIsNeverTheNewTemplate) {
    WriteAll(source, kWorkedSource);
    for (const std::string& path : {source, dir.File("./system.adm")}) {
        target = path;
        EXPECT_EQ(Refusal().fault, GenerateFault::InvalidInput);
        EXPECT_EQ(ReadAll(source), kWorkedSource);
        EXPECT_EQ(FolderNames(), std::vector<std::string>{"system.adm"});
    }
}

// Nothing ticked, or no new path (which would otherwise put the temporary file in the current
// folder): nothing is written anywhere.
TEST_F(GenerateADMTest, NothingTickedOrNoNewPathWritesNothing) {
    WriteAll(source, kWorkedSource);
    EXPECT_EQ(Refusal(TestSelection::Of("")).fault, GenerateFault::InvalidInput);
    ExpectNothingWritten(false);

    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(test::FsPath(dir.Path()));
    target = "";
    const GenerateFailure result = Refusal();
    std::filesystem::current_path(before);
    EXPECT_EQ(result.fault, GenerateFault::InvalidInput) << result.message;
    ExpectNothingWritten(false);
}

// Offsets are 32-bit: a source of 2 GiB (sparse here) is refused before anything is read or
// written.
TEST_F(GenerateADMTest, ASourceOf2GiBIsRefused) {
    WriteAll(source, kWorkedSource);
    ExtendTo(source, std::uint64_t{1} << 31);
    const GenerateFailure result = Refusal();
    EXPECT_EQ(result.fault, GenerateFault::InvalidInput);
    EXPECT_NE(result.message.find("2 GiB"), std::string::npos) << result.message;
    ExpectNothingWritten(false);
}

TEST_F(GenerateADMTest, FailuresAreNamedByWhatFailed) {
    struct Case {
        test::Call call;
        std::size_t nth;
        GenerateFault expected;
    };
    const Case cases[] = {
        {test::Call::Open, 1, GenerateFault::SourceOpenFailed},
        {test::Call::Read, 1, GenerateFault::ReadFailed},  // the start of the source
        {test::Call::Read, 3, GenerateFault::ReadFailed},  // a block to copy
        {test::Call::Write, 1, GenerateFault::WriteFailed},
        {test::Call::Write, 4, GenerateFault::WriteFailed},
        {test::Call::Size, 2, GenerateFault::WriteFailed},  // the written file's
        {test::Call::Replace, 1, GenerateFault::WriteFailed},
    };
    WriteAll(source, kWorkedSource);
    blockSize = 16;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(test::CallName(c.call)) + " #" + std::to_string(c.nth));
        WriteAll(target, kOldContent);
        test::FaultyPlatform faulty;
        faulty.FailAt(c.call, c.nth);
        GenerateFailure result;
        {
            fileio::ScopedPlatform use(faulty);
            result = Refusal();
        }
        EXPECT_EQ(result.fault, c.expected) << result.message;
        const std::string& named = c.expected == GenerateFault::WriteFailed ? target : source;
        EXPECT_NE(result.message.find(named), std::string::npos) << result.message;
        ExpectNothingWritten(true);
    }
}

// A failure to write names the new path once, says the cause plainly, never names the temporary
// file, and calls the new path unchanged only where a file was there.
TEST_F(GenerateADMTest, WriteFailuresSayTheCauseOnceAndOnlyWhatIsTrue) {
#ifdef _WIN32
    const Failure diskFull{"full", ERROR_DISK_FULL}, denied{"no", ERROR_ACCESS_DENIED};
#else
    const Failure diskFull{"full", ENOSPC}, denied{"no", EACCES};
#endif
    struct Case {
        test::Call call;  // none (Attributes): the folder is missing
        Failure error;
        const char* cause;
    };
    const Case cases[] = {
        {test::Call::Attributes, {}, "the folder it goes in does not exist"},
        {test::Call::Write, diskFull, "the disk is full"},
        {test::Call::Flush, {test::kInjectedText, test::kInjectedCode}, test::kInjectedText},
        {test::Call::MoveNew, denied, "access is denied"},
        {test::Call::Replace, denied, "access is denied"},
    };
    WriteAll(source, kWorkedSource);
    for (const Case& c : cases) {
        for (const bool hadFile : {false, true}) {
            // A file there is replaced, a free path moved to; a missing folder holds no file.
            if (hadFile ? c.call == test::Call::MoveNew || c.call == test::Call::Attributes
                        : c.call == test::Call::Replace) {
                continue;
            }
            SCOPED_TRACE(std::string(test::CallName(c.call)) + (hadFile ? ", file there" : ""));
            const std::string folder = c.call == test::Call::Attributes ? "missing/" : "";
            target = dir.File(folder + "new.adm");
            std::filesystem::remove(test::FsPath(target));
            if (hadFile) WriteAll(target, kOldContent);
            test::FaultyPlatform faulty;
            faulty.FailAt(c.call, 1);
            faulty.FailWith(c.error);
            GenerateFailure result;
            {
                fileio::ScopedPlatform use(faulty);
                result = Refusal();
            }
            const std::string& text = result.message;
            EXPECT_EQ(result.fault, GenerateFault::WriteFailed) << text;
            EXPECT_NE(text.find(c.cause), std::string::npos) << text;
            EXPECT_EQ(text.find(target), text.rfind(target)) << text;
            EXPECT_EQ(text.find(fileio::kTempSuffix), std::string::npos) << text;
            EXPECT_EQ(text.find("unchanged") != std::string::npos, hadFile) << text;
            ExpectNothingWritten(hadFile);
        }
    }
}

}  // namespace
}  // namespace tarnwick
