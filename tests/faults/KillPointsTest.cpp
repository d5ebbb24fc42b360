// Each writer of a set (Registry.pol or Registry.xml with gpt.ini, the ADMX with its languages)
// killed at every step: healed, the set is all as before or all as that run would have left it,
// and the next run succeeds and leaves nothing behind.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "cli/Run.h"
#include "fileio/Leftovers.h"
#include "tests/support/FaultyPlatform.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

// Every file but locks and leftovers, by its path in `folder`.
std::map<std::string, std::string> SetFiles(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(FsPath(folder))) {
        const std::string name = Utf8(entry.path().filename());
        if (entry.is_regular_file() && !name.ends_with(".lock") && name.find(".trnw-") == name.npos)
            files[Utf8(entry.path().lexically_relative(FsPath(folder)))] =
                ReadAll(Utf8(entry.path()));
    }
    return files;
}

TEST(KillPoints, EverySetIsWholeAfterADeathAtAnyStep) {
    setenv("SOURCE_DATE_EPOCH", "1767225600", 1);  // the time in gpp's items
    const char* const writers[][2] = {{"pol", "--gpo"}, {"gpp", "--gpo"}, {"admx", "--dir"}};
    for (const auto& [command, where] : writers) {
        SCOPED_TRACE(command);
        const auto run = [&](const TempDir& dir, const char* drives) {
            return cli::RunCli({command, "--drives", drives, where, dir.Path()}, "").exitCode ==
                   cli::kExitDone;
        };
        // The files before; the ADMX with a second language.
        const auto start = [&](const TempDir& dir) {
            ASSERT_TRUE(run(dir, "C"));
            if (where[2] == 'd') fs::copy(FsPath(dir.File("en-US")), FsPath(dir.File("de-DE")));
        };
        std::map<std::string, std::string> before, after;
        std::size_t steps = 0;
        {
            TempDir dir;
            start(dir);
            before = SetFiles(dir.Path());
            FaultyPlatform counting;
            ASSERT_TRUE((fileio::ScopedPlatform(counting), run(dir, "D")));
            steps = counting.Total();
            after = SetFiles(dir.Path());
        }
        for (std::size_t k = 1; k <= steps; ++k) {
            SCOPED_TRACE(k);
            TempDir dir;
            start(dir);
            const pid_t child = fork();
            if (child == 0) {
                FaultyPlatform dying;
                dying.BeforeCall(k, [] { _exit(0); });
                _exit((fileio::ScopedPlatform(dying), run(dir, "D")));
            }
            ASSERT_EQ(waitpid(child, nullptr, 0), child);
            ASSERT_TRUE(fileio::HealSets(dir.Path()).ok());
            const auto healed = SetFiles(dir.Path());
            EXPECT_TRUE(healed == before || healed == after);
            EXPECT_TRUE(run(dir, "E"));
            for (const auto& entry : fs::recursive_directory_iterator(FsPath(dir.Path())))
                EXPECT_EQ(Utf8(entry.path().filename()).find(".trnw-"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace tarnwick::test
