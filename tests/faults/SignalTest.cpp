// An interrupted tarnwick-cli leaves no temporary file: the real program, a template big enough
// to be caught mid-write, and the signal sent once its temporary file exists.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "fileio/mdlAPIFiles.h"
#include "tests/support/TestFiles.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

bool HasTempFile(const std::string& folder) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().string().ends_with(fileio::kTempSuffix)) return true;
    }
    return false;
}

TEST(Interrupt, TheTemporaryFileIsRemovedAndTheSignalEndsTheProgram) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        test::TempDir dir;
        const std::string source = dir.File("big.adm");
        test::WriteAll(source, test::Utf16("abcdonly\r\nabcdonly\r\nabcdonly\r\n"));
        fs::resize_file(source, std::uintmax_t{256} << 20);  // sparse: quick to make and to read

        std::vector<std::string> args{TARNWICK_CLI, "make", "--drives", "CDE",
                                      "--source",   source, "--output", dir.File("new.adm")};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);

        // Waits for the temporary file, however long the program takes to get there.
        int status = 0;
        bool exited = false;
        while (!HasTempFile(dir.Path()) && !exited) {
            exited = waitpid(pid, &status, WNOHANG) == pid;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ASSERT_FALSE(exited) << "the program ended before its temporary file was seen";
        kill(pid, signal);
        ASSERT_EQ(waitpid(pid, &status, 0), pid);

        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        std::set<std::string> left;
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            left.insert(entry.path().filename().string());
        EXPECT_EQ(left, std::set<std::string>{"big.adm"});
    }
}

}  // namespace
}  // namespace tarnwick
