// This build's store lock from the command line, for the tests that run both builds (and an SMB
// client) on one folder. "lock-holder hold PATH": takes it as a writer does, prints "held", keeps
// it until standard input ends. "lock-holder try PATH": takes it without waiting and lets it go;
// exit 0, or 3 when busy.
#include <cstdio>
#include <string_view>

#include "fileio/FileLock.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const bool hold = std::string_view(argv[1]) == "hold";
    tarnwick::fileio::FileLock lock;
    const auto taken =
        lock.Take(argv[2], hold ? tarnwick::fileio::kLockWait : std::chrono::milliseconds(0));
    if (!taken) return taken.failure().busy ? 3 : 1;
    if (!hold) return 0;
    std::puts("held");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
