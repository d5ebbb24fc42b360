// Replacing and moving a file, tried again while the file is held for a moment. A virus scanner or
// the search indexer opens a new file as soon as it appears, without sharing deletion; a rename
// then fails with a sharing violation or access denied although nothing is wrong.
#pragma once

#include <windows.h>

#include <functional>

#include "core/Result.h"

namespace tarnwick::fileio::win32 {

// The kernel32 calls that the retries wrap. Tests put in calls that fail the first attempts; the
// real loop below runs on them.
struct RenameCalls {
    decltype(&ReplaceFileW) replaceFile = ReplaceFileW;
    decltype(&MoveFileExW) moveFileEx = MoveFileExW;
    decltype(&Sleep) sleep = Sleep;
};
RenameCalls& CurrentRenameCalls();

// The pauses before each new try, in milliseconds: under one second in all.
inline constexpr DWORD kRetryPauses[] = {20, 40, 80, 160, 320};

// Runs `attempt` (a call that leaves GetLastError() set when it fails) until it succeeds. A
// sharing violation or access denied is tried again after each pause in turn; any other failure,
// or the last one, ends it with the error that attempt left.
Status WithRetries(const std::function<bool()>& attempt);

}  // namespace tarnwick::fileio::win32
