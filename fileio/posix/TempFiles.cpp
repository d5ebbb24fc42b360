// Removing live temporary files when SIGINT, SIGTERM, SIGHUP or SIGQUIT ends the process.
#include "fileio/TempFiles.h"

#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "fileio/TempRegistry.h"

namespace tarnwick::fileio {

namespace {

TempRegistry<char, 8, PATH_MAX> g_live;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// The mask before the outermost InterruptionsHeld; the programs that track files have one thread.
sigset_t g_savedMask;
int g_holds = 0;

// unlink() is async-signal-safe. The handler was reset to the default on entry (SA_RESETHAND), so
// raising the signal again ends the process as the signal would have, once the handler returns.
void OnSignal(int signal) {
    const int savedErrno = errno;
    RemoveTrackedTempFiles();
    errno = savedErrno;
    raise(signal);
}

}  // namespace

int TrackTempFile(const std::string& path) {
    return g_live.Add(path.c_str(), path.size());
}

void UntrackTempFile(int slot) {
    g_live.Drop(slot);
}

void RemoveTrackedTempFiles() {
    g_live.ForEachLive([](const char* path) { unlink(path); });
}

InterruptionsHeld::InterruptionsHeld() {
    if (g_holds++ > 0) return;
    sigset_t block;
    sigemptyset(&block);
    for (const int signal : kSignals)
        sigaddset(&block, signal);
    pthread_sigmask(SIG_BLOCK, &block, &g_savedMask);
}

// A signal that came meanwhile is delivered here, once the file is tracked.
InterruptionsHeld::~InterruptionsHeld() {
    if (--g_holds == 0) pthread_sigmask(SIG_SETMASK, &g_savedMask, nullptr);
}

void RemoveTempFilesOnSignals() {
    // Past the file-size limit (ulimit -f) a write then fails with EFBIG, which is reported and
    // cleaned up like any failed write, instead of the signal ending the process mid-file.
    signal(SIGXFSZ, SIG_IGN);
    for (const int signal : kSignals) {
        struct sigaction previous {};
        // A signal the caller chose to ignore (nohup) stays ignored.
        if (sigaction(signal, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        sigaction(signal, &action, nullptr);
    }
}

}  // namespace tarnwick::fileio
