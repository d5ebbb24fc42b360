// Runs the built tarnwick-cli on copies of the bundled sample, as a script would, and checks each
// new template byte for byte against the independent layout model.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "tests/support/LayoutModel.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::string;

Bytes Read(const fs::path& path) {
    return ReadAll(Utf8(path));
}
void Write(const fs::path& path, const Bytes& bytes) {
    WriteAll(Utf8(path), bytes);
}

// Compares whole files without printing tens of kilobytes of UTF-16 on a mismatch.
::testing::AssertionResult SameBytes(const Bytes& actual, const Bytes& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    return ::testing::AssertionFailure() << actual.size() << " bytes where " << expected.size()
                                         << " were expected; first difference at offset " << at;
}

struct DrivePick {
    std::vector<std::string> driveArgs;
    model::ModelSelection selection;
};

Bytes ExpectedTemplate(const Bytes& source, const DrivePick& pick) {
    const model::ModelOutcome outcome = model::ModelGenerate(source, pick.selection);
    EXPECT_TRUE(outcome.ok());
    return outcome.bytes;
}

const std::string kAllLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
const DrivePick kCDE{{"--drives", "CDE"}, {0b11100, false}};

class CliRun : public ::testing::Test {
  protected:
    void SetUp() override {
        source_ = FsPath(temp_.File("system.adm"));
        fs::copy_file(FsPath(TARNWICK_SOURCE_DIR "/samples/system.adm"), source_);
        sourceBytes_ = Read(source_);
    }
    void TearDown() override {
        EXPECT_TRUE(SameBytes(Read(source_), sourceBytes_)) << "the source template was changed";
    }

    ProgramRun Cli(const std::vector<std::string>& args) {
        return RunProgram(TARNWICK_CLI, args, Utf8(dir_));
    }
    ProgramRun Make(const fs::path& source, const fs::path& output, const DrivePick& s,
                    std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"make", "--source", Utf8(source), "--output", Utf8(output)};
        args.insert(args.end(), s.driveArgs.begin(), s.driveArgs.end());
        args.insert(args.end(), extra.begin(), extra.end());
        return Cli(args);
    }
    // Exit 1, a message naming `path` on stderr, nothing on stdout.
    static void ExpectRefused(const ProgramRun& run, const fs::path& path, const char* cause) {
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find(Utf8(path)), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(cause), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }

    TempDir temp_;
    const fs::path dir_ = FsPath(temp_.Path());
    fs::path source_;
    Bytes sourceBytes_;
};

TEST_F(CliRun, MakeWritesTheLayoutByteForByteAndReportsIt) {
    const DrivePick cases[] = {
        kCDE,
        {{"--drives", "c", "--all-but"}, {1u << 2, true}},
        {{"--drives=A:,z:"}, {1u | 1u << 25, false}},
        {{"--all-but", "--drives", kAllLetters}, {(1u << 26) - 1, true}},
    };
    int n = 0;
    for (const auto& s : cases) {
        const std::string name = model::ModelEntryName(s.selection);
        const fs::path output = dir_ / ("new" + std::to_string(n++) + ".adm");
        const ProgramRun run = Make(source_, output, s);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out, "Created: " + Utf8(output) + "\nEntry name: " + name + "\nDrive mask: " +
                               std::to_string(model::ModelMask(s.selection)) + "\n");
        EXPECT_TRUE(SameBytes(Read(output), ExpectedTemplate(sourceBytes_, s))) << name;
    }
}

TEST_F(CliRun, MaskPrintsTheNumberAlone) {
    const struct {
        std::vector<std::string> args;
        const char* out;
    } cases[] = {
        {{"mask", "--drives", "CDE"}, "28\n"},
        {{"mask", "--drives", "C:", "--all-but"}, "67108859\n"},
        {{"mask", "--drives", kAllLetters}, "67108863\n"},
        {{"mask", "--all-but", "--drives", kAllLetters}, "0\n"},
    };
    for (const auto& c : cases) {
        const ProgramRun run = Cli(c.args);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, "");
    }
}

TEST_F(CliRun, DefaultOutputIsTheSourceNameWithTRNWBesideIt) {
    const ProgramRun run = Cli({"make", "--drives", "CDE", "--source", Utf8(source_)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const fs::path expected = dir_ / "system_TRNW.adm";
    EXPECT_NE(run.out.find("Created: " + Utf8(expected) + "\n"), std::string::npos) << run.out;
    EXPECT_TRUE(SameBytes(Read(expected), ExpectedTemplate(sourceBytes_, kCDE)));
}

TEST_F(CliRun, ExistingOutputIsKeptUnlessForced) {
    const fs::path output = dir_ / "existing.adm";
    const Bytes old(3 * sourceBytes_.size(), 'x');  // longer than the result: must be cut
    Write(output, old);

    ExpectRefused(Make(source_, output, kCDE), output, "already exists");
    EXPECT_TRUE(SameBytes(Read(output), old));

    const ProgramRun forced = Make(source_, output, kCDE, {"--force"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_TRUE(SameBytes(Read(output), ExpectedTemplate(sourceBytes_, kCDE)));
}

TEST_F(CliRun, TheSourceItselfIsNeverTheOutputWhateverItsName) {
    std::vector<fs::path> sameFile{source_, dir_ / "." / "system.adm",
                                   dir_ / "sub" / ".." / "system.adm"};
    fs::create_directory(dir_ / "sub");
#ifdef _WIN32
    sameFile.push_back(dir_ / "SYSTEM.ADM");
#else
    fs::create_symlink(source_, dir_ / "link.adm");
    sameFile.push_back(dir_ / "link.adm");
#endif
    // The message names the paths as resolved: the source's, which they all come to.
    for (const auto& output : sameFile) {
        ExpectRefused(Make(source_, output, kCDE, {"--force"}), source_, "source template");
    }
}

// Folders, too few marker lines, bad outputs and non-ASCII paths: the bad-input suite.
TEST_F(CliRun, AMissingSourceIsRefusedAndNothingIsWritten) {
    const fs::path output = dir_ / "out.adm";
    const fs::path missing = dir_ / "missing.adm";
    ExpectRefused(Make(missing, output, kCDE), missing, "does not exist");
    EXPECT_FALSE(fs::exists(output));
}

TEST_F(CliRun, UsageHelpAndVersion) {
    const ProgramRun help = Cli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage:", 0), 0u) << help.out;
    EXPECT_EQ(help.err, "");

    EXPECT_EQ(Cli({"--version"}).out, "1.02\n");

    for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                                 {"make", "--drives", "C,,D"},
                                                 {"mask", "--drives", "C", "--output", "x"}}) {
        const ProgramRun run = Cli(args);
        EXPECT_EQ(run.exitCode, 2) << ::testing::PrintToString(args);
        // The cause on one line, then the pointer to the usage; never the whole usage.
        const std::string hint = "\nRun 'tarnwick-cli --help' for usage.\n";
        EXPECT_EQ(run.err.find('\n'), run.err.size() - hint.size()) << run.err;
        EXPECT_EQ(run.err.rfind("tarnwick-cli: ", 0), 0u) << run.err;
        EXPECT_TRUE(run.err.ends_with(hint)) << run.err;
        EXPECT_EQ(run.out, "");
    }
    // Only the source copy is there: a refused or informational run writes nothing.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

// What the command prints is its result: when stdout takes nothing, a command that changed nothing
// fails and says so, and why, on stderr. One that changed files exits 0 (1 would say every file is
// unchanged), and its report goes to stderr.
TEST_F(CliRun, AnOutputThatCannotBeWrittenFailsOnlyARunThatChangedNothing) {
    fs::create_directory(dir_ / "PolicyDefinitions");
    const struct {
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {{"mask", "--drives", "C"}, 1},
        {{"--help"}, 1},
        {{"--version"}, 1},
        {{"admx", "--drives", "C", "--dir", Utf8(dir_ / "PolicyDefinitions")}, 0},
        {{"reg", "--drives", "C", "--output", Utf8(dir_ / "c.reg")}, 0},
    };
    for (const auto& one : cases) {
        const ProgramRun run = RunProgram(TARNWICK_CLI, one.args, Utf8(dir_), true);
        EXPECT_EQ(run.exitCode, one.exitCode) << ::testing::PrintToString(one.args);
        // With the system's cause, on Windows too (GetLastError, not errno).
        EXPECT_NE(run.err.find("could not be written: "), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("Created: ") != std::string::npos, one.exitCode == 0) << run.err;
    }
}

#ifdef _WIN32
// A path with an unpaired surrogate has no UTF-8 form: it is refused, not turned into another name.
TEST_F(CliRun, AnArgumentThatIsNotUnicodeTextIsRefused) {
    std::wstring commandLine = L"\"" + FsPath(TARNWICK_CLI).wstring() + L"\" make --drives C" +
                               L" --source \"" + source_.wstring() + L"\" --output \"" +
                               (dir_ / "new").wstring() + L"\xD800.adm\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                               CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process));
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(exitCode, 2u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}
#endif

}  // namespace
}  // namespace tarnwick::test
