// The Windows layer's one retry policy over the fault seam: which codes are waited out, how often,
// and that every other failure, and every other call, is reported at once. The policy is plain
// code over Platform, so the same table runs in both builds.
#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "fileio/win32/Retry.h"
#include "tests/support/FaultyPlatform.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::fileio {
namespace {

using test::Call;

// Counts the pauses instead of waiting them out.
class CountedPauses : public test::FaultyPlatform {
  public:
    void Pause(std::uint32_t milliseconds) override {
        ++pauses;
        paused += milliseconds;
    }
    int pauses = 0;
    std::uint32_t paused = 0;
};

// The call of `kind` on "new.tmp" (and "target.adm", which Replace finds there).
Status Attempt(Platform& platform, Call kind, const test::TempDir& dir) {
    const std::string from = dir.File("new.tmp"), to = dir.File("target.adm");
    switch (kind) {
        case Call::Open: {
            const Result<Handle> opened =
                platform.Open(from, Access::Read, Disposition::OpenExisting);
            if (!opened) return opened.failure();
            return platform.Close(*opened);
        }
        case Call::Read:
        case Call::Write: {
            const Result<Handle> opened = platform.Open(
                from, kind == Call::Read ? Access::Read : Access::Write, Disposition::OpenExisting);
            if (!opened) return opened.failure();
            char byte = 'N';
            Status moved;
            if (kind == Call::Write) {
                moved = platform.Write(*opened, &byte, 1);
            } else if (const Result<std::size_t> read = platform.Read(*opened, &byte, 1); !read) {
                moved = read.failure();
            }
            (void)platform.Close(*opened);
            return moved;
        }
        case Call::Remove:
            return platform.Remove(from);
        case Call::MoveNew:
            return platform.MoveNew(from, to);
        case Call::Replace:
            return platform.Replace(from, to);
        default:
            return platform.CreateFolder(dir.File("folder"));
    }
}

TEST(RetryPolicy, WaitsOutTransientCodesAFewTimesAndNothingElse) {
    constexpr int kAll = static_cast<int>(std::size(win32::kRetryPauses)) + 1;
    struct Case {
        const char* name;
        Call call;
        std::uint32_t code;
        int failures;  // consecutive failed attempts
        int attempts;  // attempts made; kAll: the last one failed too
    };
    const std::vector<Case> cases = {
        {"open, a sharing violation", Call::Open, win32::kSharingViolation, 2, 3},
        {"remove, a lock violation", Call::Remove, win32::kLockViolation, 1, 2},
        {"move, the network name gone", Call::MoveNew, win32::kNetNameDeleted, 3, 4},
        {"replace, an unexpected network error", Call::Replace, win32::kUnexpectedNetError, 5, 6},
        {"open, a share's timeout", Call::Open, win32::kSemaphoreTimeout, 1, 2},
        {"remove, a delete still pending", Call::Remove, win32::kDeletePending, 4, 5},
        {"move, the network busy", Call::MoveNew, win32::kNetworkBusy, 1, 2},
        {"replace, held throughout", Call::Replace, win32::kSharingViolation, 99, kAll},
        {"open, locked throughout", Call::Open, win32::kLockViolation, 99, kAll},
        {"replace, access denied: not retried", Call::Replace, 5, 1, 1},
        {"open, disk full: not retried", Call::Open, 112, 1, 1},
        {"move, not found: not retried", Call::MoveNew, 2, 1, 1},
        {"read, a byte-range lock", Call::Read, win32::kLockViolation, 2, 3},
        {"write, locked throughout", Call::Write, win32::kLockViolation, 99, kAll},
        {"create folder, the network busy", Call::CreateFolder, win32::kNetworkBusy, 1, 2},
        {"read, not enough memory: not retried", Call::Read, 8, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        test::WriteAll(dir.File("new.tmp"), "new");
        if (c.call == Call::Replace) test::WriteAll(dir.File("target.adm"), "old");
        CountedPauses faulty;
        faulty.FailWith(Failure{"held", c.code});
        faulty.FailAt(c.call, 1, static_cast<std::size_t>(c.failures));
        win32::RetryingPlatform retrying(faulty);

        const Status done = Attempt(retrying, c.call, dir);

        const bool succeeds = c.attempts > c.failures;
        EXPECT_EQ(done.ok(), succeeds);
        EXPECT_EQ(faulty.Count(c.call), static_cast<std::size_t>(c.attempts));
        EXPECT_EQ(faulty.pauses, c.attempts - 1);
        EXPECT_EQ(faulty.paused, std::accumulate(std::begin(win32::kRetryPauses),
                                                 std::begin(win32::kRetryPauses) + c.attempts - 1,
                                                 std::uint32_t{0}));
        if (!succeeds) {
            EXPECT_EQ(done.failure().code, c.code);
            // A call given up on says it was waited for; one refused at once does not.
            EXPECT_EQ(done.failure().message,
                      c.attempts == kAll ? "held (tried 6 times over 620 ms)" : "held");
            EXPECT_EQ(test::ReadAll(dir.File("new.tmp")), "new");
        } else if (c.call == Call::MoveNew || c.call == Call::Replace) {
            EXPECT_EQ(test::ReadAll(dir.File("target.adm")), "new");
        } else if (c.call == Call::Remove) {
            EXPECT_FALSE(std::filesystem::exists(test::FsPath(dir.File("new.tmp"))));
        }
    }
}

}  // namespace
}  // namespace tarnwick::fileio
