// An interrupted tarnwick-cli leaves no temporary file: the real program, a template big enough
// to be caught mid-write, and the signal sent once its temporary file exists. A write that the
// system refuses (the file-size limit, a closed pipe) is reported, not a signal's silent end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
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

// A template of `size` bytes, sparse: quick to make and to read.
std::string BigTemplate(const test::TempDir& dir, std::uintmax_t size) {
    const std::string source = dir.File("big.adm");
    test::WriteAll(source, test::Utf16("abcdonly\r\nabcdonly\r\nabcdonly\r\n"));
    fs::resize_file(source, size);
    return source;
}

std::vector<std::string> MakeArgs(const test::TempDir& dir, const std::string& source) {
    return {"make", "--drives", "CDE", "--source", source, "--output", dir.File("new.adm")};
}

// Starts tarnwick-cli with `args`, its stdout on `out` and its stderr on `err` (-1: inherited).
pid_t Start(std::vector<std::string> args, int out = -1, int err = -1) {
    args.insert(args.begin(), TARNWICK_CLI);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out >= 0) posix_spawn_file_actions_adddup2(&actions, out, 1);
    if (err >= 0) posix_spawn_file_actions_adddup2(&actions, err, 2);
    pid_t pid = 0;
    const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return started == 0 ? pid : -1;
}

TEST(Interrupt, TheTemporaryFileIsRemovedAndTheSignalEndsTheProgram) {
    const rlimit noCore{0, 0};  // SIGQUIT would leave a core file
    setrlimit(RLIMIT_CORE, &noCore);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(strsignal(signal));
        test::TempDir dir;
        const pid_t pid = Start(MakeArgs(dir, BigTemplate(dir, std::uintmax_t{256} << 20)));
        ASSERT_GT(pid, 0);

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

// A closed pipe on stdout, or a file-size limit below the new template's size.
TEST(RefusedWrite, IsReportedWithItsCauseAndExitsOne) {
    for (const bool closedPipe : {false, true}) {
        test::TempDir dir;
        const std::string source = BigTemplate(dir, std::uintmax_t{4} << 20);
        const int err = open(dir.File("err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        int ends[2];
        ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
        close(ends[0]);
        rlimit before{};
        getrlimit(RLIMIT_FSIZE, &before);
        const rlimit small{closedPipe ? before.rlim_cur : 1 << 20, before.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);  // inherited by the program started now
        const pid_t pid = closedPipe ? Start({"mask", "--drives", "C"}, ends[1], err)
                                     : Start(MakeArgs(dir, source), -1, err);
        setrlimit(RLIMIT_FSIZE, &before);
        close(ends[1]);
        close(err);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        const std::string said = test::ReadAll(dir.File("err"));
        EXPECT_NE(said.find(closedPipe ? "Broken pipe" : "File too large"), std::string::npos)
            << said;
        EXPECT_FALSE(HasTempFile(dir.Path()));
    }
}

}  // namespace
}  // namespace tarnwick
