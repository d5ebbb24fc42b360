// The store lock of this build, held or tried from the command line, for the test that runs both
// builds on one folder:
//   lock-holder hold PATH   takes it (waiting as a writer does), prints "held", keeps it until its
//                           standard input ends
//   lock-holder try PATH    takes it without waiting and lets it go: exit 0, or 3 when busy
#include <cstdio>
#include <cstring>

#include "fileio/FileLock.h"

int main(int argc, char** argv) {
    using tarnwick::fileio::FileLock;
    if (argc != 3) return 2;
    const bool hold = std::strcmp(argv[1], "hold") == 0;
    FileLock lock;
    const auto taken =
        lock.Take(argv[2], hold ? tarnwick::fileio::kLockWait : std::chrono::milliseconds(0));
    if (!taken) {
        std::fprintf(stderr, "%s\n", taken.failure().message.c_str());
        return taken.failure().busy ? 3 : 1;
    }
    if (!hold) return 0;
    std::puts("held");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
