// Replace and move wait out a file that a scanner holds for a moment: the real kernel32 calls fail
// their first attempts with the scanner's errors, the retry loop above them runs as it does in use.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "fileio/Platform.h"
#include "fileio/win32/Retry.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::fileio {
namespace {

int gFailures = 0;  // attempts still to fail
DWORD gCode = 0;    // with this error
int gAttempts = 0;
DWORD gPaused = 0;

bool Fault() {
    ++gAttempts;
    if (gFailures == 0) return false;
    --gFailures;
    SetLastError(gCode);
    return true;
}

BOOL WINAPI FaultyReplace(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags,
                          LPVOID exclude, LPVOID reserved) {
    if (Fault()) return FALSE;
    return ReplaceFileW(replaced, replacement, backup, flags, exclude, reserved);
}

BOOL WINAPI FaultyMove(LPCWSTR from, LPCWSTR to, DWORD flags) {
    if (Fault()) return FALSE;
    return MoveFileExW(from, to, flags);
}

void WINAPI CountPause(DWORD milliseconds) {
    gPaused += milliseconds;
}

class ScopedFaultyRenames {
  public:
    ScopedFaultyRenames() : saved_(win32::CurrentRenameCalls()) {
        win32::CurrentRenameCalls() = {FaultyReplace, FaultyMove, CountPause};
    }
    ~ScopedFaultyRenames() { win32::CurrentRenameCalls() = saved_; }

  private:
    win32::RenameCalls saved_;
};

TEST(RenameRetries, WaitOutAShortHoldAndReportALongOne) {
    constexpr int kTries = static_cast<int>(std::size(win32::kRetryPauses)) + 1;
    struct Case {
        const char* name;
        bool targetExists;  // Replace over it; otherwise MoveNew
        int failures;
        DWORD code;
        bool done;
        int attempts;
    };
    const std::vector<Case> cases = {
        {"move, two sharing violations", false, 2, ERROR_SHARING_VIOLATION, true, 3},
        {"replace, one access denied", true, 1, ERROR_ACCESS_DENIED, true, 2},
        {"move, held throughout", false, 99, ERROR_SHARING_VIOLATION, false, kTries},
        {"replace, held throughout", true, 99, ERROR_ACCESS_DENIED, false, kTries},
        {"replace, disk full: no retry", true, 1, ERROR_DISK_FULL, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string from = dir.File("new.tmp"), to = dir.File("target.adm");
        test::WriteAll(from, "new");
        if (c.targetExists) test::WriteAll(to, "old");
        gFailures = c.failures, gCode = c.code, gAttempts = 0, gPaused = 0;
        Status done;
        {
            ScopedFaultyRenames faulty;
            done = c.targetExists ? NativePlatform().Replace(from, to)
                                  : NativePlatform().MoveNew(from, to);
        }
        EXPECT_EQ(done.ok(), c.done);
        EXPECT_EQ(gAttempts, c.attempts);
        EXPECT_LT(gPaused, 1000u);
        if (c.done) {
            EXPECT_EQ(test::ReadAll(to), "new");
        } else {
            EXPECT_EQ(done.failure().code, c.code);
            EXPECT_FALSE(done.failure().message.empty());
            EXPECT_EQ(test::ReadAll(from), "new");
            if (c.targetExists) {
                EXPECT_EQ(test::ReadAll(to), "old");
            }
        }
    }
}

}  // namespace
}  // namespace tarnwick::fileio
