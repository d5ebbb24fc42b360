// tarnwick-cli admx as a script runs it: three new sets and a repeat leave the pair the native
// build writes, byte for byte, in every build; what it prints; its exit codes; runs started at
// once on one store queue, and every set they add is there.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "policy/PolicyText.h"

#include "tests/support/RunProgram.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::test {
namespace {

const std::string kCommand = "admx";

class AdmxCli : public ::testing::Test {
  protected:
    ProgramRun Cli(const std::vector<std::string>& args) {
        std::vector<std::string> all{kCommand};
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram(TARNWICK_CLI, all, scratch_.Path());
    }
    void SetUp() override { std::filesystem::create_directory(FsPath(Store())); }
    // Named as the Group Policy editor's stores are; any other folder gets a note.
    std::string Store() const { return store_.File("PolicyDefinitions"); }
    std::string Admx() const { return Utf8(FsPath(Store()) / FsPath("TarnwickDrives.admx")); }
    std::string Adml() const {
        return Utf8(FsPath(Store()) / FsPath("en-US") / FsPath("TarnwickDrives.adml"));
    }
    static std::string Expected(const char* name) {
        return ReadAll(std::string(TARNWICK_SOURCE_DIR) + "/tests/policy/expected/" + name);
    }

    TempDir store_;
    TempDir scratch_;
};

TEST_F(AdmxCli, RunsPrintWhatTheyDidAndLeaveTheSameBytesAsTheNativeBuild) {
    const struct {
        std::vector<std::string> args;
        const char* did;  // nullptr: already offered by ABOnly
        const char* entry;
        const char* mask;
    } runs[] = {
        {{"--drives", "CDE"}, "Created: ", "CDEOnly", "28"},
        {{"--all-but", "--drives", "c"}, "Added to: ", "ALLBUTC", "67108859"},
        {{"--drives=A:,B:"}, "Added to: ", "ABOnly", "3"},
        {{"--drives", "CDEFGHIJKLMNOPQRSTUVWXYZ", "--all-but"},
         nullptr,
         "ALLBUTCDEFGHIJKLMNOPQRSTUVWXYZ",
         "3"},
    };
    for (const auto& run : runs) {
        std::vector<std::string> args = run.args;
        args.insert(args.end(), {"--dir", Store()});
        const ProgramRun result = Cli(args);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "");
        const std::string did =
            run.did ? run.did + Admx() + "\n" + run.did + Adml() + "\n"
                    : "Already offered by: ABOnly in " + Admx() + " (both files unchanged)\n";
        EXPECT_EQ(result.out,
                  did + "Entry name: " + run.entry + "\nDrive mask: " + run.mask + "\n");
    }
    EXPECT_TRUE(ReadAll(Admx()) == Expected("TarnwickDrives.admx"));
    EXPECT_TRUE(ReadAll(Adml()) == Expected("TarnwickDrives.adml"));
}

const std::string kDrives = "--drives";
const std::string kDir = "--dir";

TEST_F(AdmxCli, ExitCodes) {
    WriteAll(Admx(), "<not/> <xml/>");
    const std::string missing = store_.File("missing");
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const std::string& inMessage;
    } cases[] = {
        {{"--drives", "C", "--dir", Store()}, 1, Admx()},
        {{"--drives", "C", "--dir", missing}, 1, missing},
        {{"--dir", Store()}, 2, kDrives},
        {{"--drives", "", "--dir", Store()}, 2, kDrives},
#ifndef _WIN32
        {{"--drives", "C"}, 2, kDir},
#endif
    };
    for (const auto& c : cases) {
        const ProgramRun result = Cli(c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find(c.inMessage), std::string::npos) << result.err;
    }
    EXPECT_EQ(ReadAll(Admx()), "<not/> <xml/>");
}

TEST_F(AdmxCli, RunsAtOnceQueueAndLoseNoSet) {
    const std::vector<std::string> sets[] = {{"C", "D"}, {"E", "F", "G"}};
    for (int round = 0; round < 6; ++round) {
        const std::vector<std::string>& letters = sets[round % 2];
        TempDir store;
        // Every folder exists before the first writer starts: a vector that grows while a
        // writer reads it would move what the writer holds.
        std::vector<TempDir> scratch(letters.size());
        std::vector<ProgramRun> runs(letters.size());
        std::vector<std::thread> writers;
        for (std::size_t i = 0; i < letters.size(); ++i) {
            writers.emplace_back([&, i] {
                runs[i] = RunProgram(TARNWICK_CLI,
                                     {kCommand, "--drives", letters[i], "--dir", store.Path()},
                                     scratch[i].Path());
            });
        }
        for (std::thread& writer : writers)
            writer.join();
        for (const ProgramRun& run : runs)
            EXPECT_EQ(run.exitCode, 0) << run.err;
        const auto read = policy::ReadPair(
            ReadAll(store.File("TarnwickDrives.admx")),
            ReadAll(Utf8(FsPath(store.File("en-US")) / FsPath("TarnwickDrives.adml"))));
        ASSERT_TRUE(read) << read.failure().message;
        std::vector<std::string> names;
        for (const DriveItem& item : read->items)
            names.push_back(item.entryName.substr(0, 1));
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, letters) << "round " << round;
    }
}

// A folder the editor does not read: the note on stderr says where it looks, and the run goes on.
TEST_F(AdmxCli, FolderNotNamedPolicyDefinitionsGetsANoteAndIsWritten) {
    const ProgramRun result = Cli({"--drives", "C", "--dir", scratch_.Path()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err.rfind("tarnwick-cli: note: '", 0), 0u) << result.err;
    EXPECT_NE(result.err.find("\\\\<domain>\\SYSVOL\\"), std::string::npos) << result.err;
    EXPECT_EQ(ReadAll(scratch_.File("TarnwickDrives.admx")).empty(), false);
}

}  // namespace
}  // namespace tarnwick::test
