// tarnwick-cli admx as a script runs it: three new sets and a repeat leave the pair the native
// build writes, byte for byte, in every build; what it prints; its exit codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::test {
namespace {

class AdmxCli : public ::testing::Test {
  protected:
    ProgramRun Cli(std::vector<std::string> args) {
        args.insert(args.begin(), "admx");
        return RunProgram(TARNWICK_CLI, args, scratch_.Path());
    }
    std::string Admx() const { return store_.File("TarnwickDrives.admx"); }
    std::string Adml() const { return store_.File("en-US/TarnwickDrives.adml"); }
    static std::string Expected(const char* name) {
        return ReadAll(std::string(TARNWICK_SOURCE_DIR) + "/tests/policy/expected/" + name);
    }

    TempDir store_;
    TempDir scratch_;
};

TEST_F(AdmxCli, RunsPrintWhatTheyDidAndLeaveTheSameBytesAsTheNativeBuild) {
    const struct {
        std::vector<std::string> args;
        std::string firstLines;
        const char* entry;
        const char* mask;
    } runs[] = {
        {{"--drives", "CDE"},
         "Created: " + Admx() + "\nCreated: " + Adml() + "\n",
         "CDEOnly",
         "28"},
        {{"--all-but", "--drives", "c"},
         "Added to: " + Admx() + "\nAdded to: " + Adml() + "\n",
         "ALLBUTC",
         "67108859"},
        {{"--drives=A:,B:"}, "Added to: " + Admx() + "\nAdded to: " + Adml() + "\n", "ABOnly", "3"},
        {{"--drives", "CDEFGHIJKLMNOPQRSTUVWXYZ", "--all-but"},
         "Already offered by: ABOnly in " + Admx() + " (both files unchanged)\n",
         "ALLBUTCDEFGHIJKLMNOPQRSTUVWXYZ",
         "3"},
    };
    for (const auto& run : runs) {
        std::vector<std::string> args = run.args;
        args.insert(args.end(), {"--dir", store_.Path()});
        const ProgramRun result = Cli(args);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.out,
                  run.firstLines + "Entry name: " + run.entry + "\nDrive mask: " + run.mask + "\n");
    }
    EXPECT_TRUE(ReadAll(Admx()) == Expected("TarnwickDrives.admx"));
    EXPECT_TRUE(ReadAll(Adml()) == Expected("TarnwickDrives.adml"));
}

TEST_F(AdmxCli, ExitCodes) {
    WriteAll(Admx(), "<not/> <xml/>");
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string inMessage;
    } cases[] = {
        {{"--drives", "C", "--dir", store_.Path()}, 1, Admx()},
        {{"--drives", "C", "--dir", store_.File("missing")}, 1, store_.File("missing")},
        {{"--dir", store_.Path()}, 2, "--drives"},
        {{"--drives", "", "--dir", store_.Path()}, 2, "--drives"},
#ifndef _WIN32
        {{"--drives", "C"}, 2, "--dir"},
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

}  // namespace
}  // namespace tarnwick::test
