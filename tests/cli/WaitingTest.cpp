// A run that finds a policy object held by another run says so on standard error after about a
// second, and says when it goes on; a short wait says nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli/Run.h"
#include "cli/Waiting.h"
#include "fileio/FileLock.h"
#include "tests/support/TestFiles.h"

namespace tarnwick {
namespace {

TEST(CliWaiting, SaysAfterASecondWhatItWaitsForAndWhenItGoesOn) {
    const struct {
        int heldMilliseconds;
        std::size_t lines;
    } cases[] = {{300, 0}, {1600, 2}};
    for (const auto& c : cases) {
        test::TempDir dir;
        std::filesystem::create_directory(test::FsPath(dir.File("gpo")));
        auto held = std::make_unique<fileio::FileLock>();
        ASSERT_TRUE(held->Take(dir.File("gpo/gpt.ini.lock"), std::chrono::milliseconds(0)));
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(c.heldMilliseconds));
            held.reset();
        });
        std::vector<std::string> said;
        cli::StderrWaiter waiter([&](const std::string& line) { said.push_back(line); });
        const cli::CliResult run =
            cli::RunCli({"pol", "--drives", "C", "--gpo", dir.File("gpo")}, "", &waiter);
        release.join();
        EXPECT_EQ(run.exitCode, cli::kExitDone) << run.err;
        ASSERT_EQ(said.size(), c.lines) << c.heldMilliseconds;
        if (c.lines == 0) continue;
        const std::string what = "the policy object \"" + dir.File("gpo") + "\"";
        EXPECT_EQ(said[0], "tarnwick-cli: waiting for " + what + " (another run is writing it)\n");
        EXPECT_EQ(said[1], "tarnwick-cli: the other run is done; going on with " + what + "\n");
    }
}

}  // namespace
}  // namespace tarnwick
