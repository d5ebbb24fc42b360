// make without --source and --output: the window's default source from `windir`, the output
// beside it. Run in-process because the test sets the `windir` the command sees.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/Run.h"
#include "paths/Defaults.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::cli {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
TEST(DefaultSource, ComesFromWindirAndTheOutputGoesBesideIt) {
    const test::TempDir root;
    const std::string windir = root.File("WINDOWS");

    // On Windows "\inf\system.adm" names a folder and a file; on POSIX it is one odd file name.
    const fs::path source = test::FsPath(DefaultSourcePath(windir));
    fs::create_directories(source.parent_path());
    fs::copy_file(test::FsPath(TARNWICK_SOURCE_DIR "/samples/system.adm"), source);

    const CliResult result = RunCli({"make", "--drives", "C"}, windir);
    EXPECT_EQ(result.exitCode, kExitDone) << result.err;
    const std::string output = DefaultOutputPath(DefaultSourcePath(windir));
    EXPECT_EQ(result.out.rfind("Created: " + output + "\n", 0), 0u) << result.out;
    EXPECT_GT(fs::file_size(test::FsPath(output)), fs::file_size(source));
}

TEST(DefaultSource, MissingWindirTemplateIsRefusedWithItsPath) {
    const CliResult result = RunCli({"make", "--drives", "C"}, "no-such-windir");
    EXPECT_EQ(result.exitCode, kExitFailed);
    EXPECT_NE(result.err.find("no-such-windir\\inf\\system.adm"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
}
#else
// Only Windows has a %windir% to take the default source from.
TEST(DefaultSource, IsAUsageErrorWithoutWindows) {
    const CliResult result = RunCli({"make", "--drives", "C"}, "/usr/share");
    EXPECT_EQ(result.exitCode, kExitUsage);
    EXPECT_NE(result.err.find("make needs --source"), std::string::npos) << result.err;
}
#endif

// Paths as typed: a relative source and output are taken against the current folder, and the
// report names the absolute path.
TEST(TypedPaths, RelativePathsAreReportedAbsolute) {
    const test::TempDir dir;
    fs::copy_file(test::FsPath(TARNWICK_SOURCE_DIR "/samples/system.adm"),
                  test::FsPath(dir.File("system.adm")));
    const test::CurrentFolder here(dir.Path());
    const CliResult result =
        RunCli({"make", "--drives", "C", "--source", "\"system.adm\"", "--output", "new.adm"}, "");
    EXPECT_EQ(result.exitCode, kExitDone) << result.err;
    EXPECT_EQ(result.out.rfind("Created: " + dir.File("new.adm") + "\n", 0), 0u) << result.out;
    EXPECT_EQ(RunCli({"make", "--drives", "C", "--output", "\"\""}, "").exitCode, kExitUsage);
}

}  // namespace
}  // namespace tarnwick::cli
