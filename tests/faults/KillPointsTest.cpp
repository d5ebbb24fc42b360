// Each writer of a set of files (Registry.pol with gpt.ini, Registry.xml with gpt.ini, the ADMX
// with its language files) killed at every step of a run: once healed, the set is all as before
// or all as that run would have left it, and the next run succeeds and leaves nothing behind.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>

#include "fileio/Leftovers.h"
#include "policy/MakePolicy.h"
#include "prefs/GppFiles.h"
#include "regpol/PolicyFiles.h"
#include "tests/support/FaultyPlatform.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

// The run numbered `run` (0: the files before, 1: the run killed, 2: the next one) into `folder`.
using Writer = std::function<bool(const std::string& folder, int run)>;

DriveSet Drives(int run) {
    return DriveSet(1u << (2 + run), DriveMode::Following);
}

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
    const struct {
        const char* name;
        Writer write;
    } writers[] = {
        {"pol --gpo",
         [](const std::string& folder, int run) {
             return regpol::EditGpo(folder, Drives(run).Mask(), DrivePolicy::Hide,
                                    regpol::PolAction::Set, false)
                 .ok();
         }},
        {"gpp",
         [](const std::string& folder, int run) {
             return prefs::WriteGpp(folder, {Drives(run), DrivePolicy::Both, {}, "2026-01-01"})
                 .ok();
         }},
        {"admx",
         [](const std::string& folder, int run) {
             const bool made = policy::MakePolicyDefinitions(Drives(run), folder).ok();
             if (run == 0) fs::copy(FsPath(folder + "/en-US"), FsPath(folder + "/de-DE"));
             return made;
         }},
    };
    for (const auto& writer : writers) {
        SCOPED_TRACE(writer.name);
        std::map<std::string, std::string> before, after;
        std::size_t steps = 0;
        {
            TempDir dir;
            ASSERT_TRUE(writer.write(dir.Path(), 0));
            before = SetFiles(dir.Path());
            FaultyPlatform counting;
            fileio::ScopedPlatform use(counting);
            ASSERT_TRUE(writer.write(dir.Path(), 1));
            steps = counting.Total();
            after = SetFiles(dir.Path());
        }
        for (std::size_t k = 1; k <= steps; ++k) {
            SCOPED_TRACE(k);
            TempDir dir;
            ASSERT_TRUE(writer.write(dir.Path(), 0));
            const pid_t child = fork();
            if (child == 0) {
                FaultyPlatform dying;
                dying.BeforeCall(k, [] { _exit(0); });
                fileio::ScopedPlatform use(dying);
                writer.write(dir.Path(), 1);
                _exit(0);
            }
            ASSERT_EQ(waitpid(child, nullptr, 0), child);
            ASSERT_TRUE(fileio::HealSets(dir.Path()).ok());
            const auto healed = SetFiles(dir.Path());
            EXPECT_TRUE(healed == before || healed == after);
            EXPECT_TRUE(writer.write(dir.Path(), 2));
            for (const auto& entry : fs::recursive_directory_iterator(FsPath(dir.Path())))
                EXPECT_EQ(Utf8(entry.path().filename()).find(".trnw-"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace tarnwick::test
