// Removing live temporary files when SIGINT, SIGTERM or SIGHUP ends the process.
#include "fileio/TempFiles.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "fileio/TempRegistry.h"

namespace tarnwick::fileio {

namespace {

TempRegistry<char, 8, PATH_MAX> g_live;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

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

void RemoveTempFilesOnSignals() {
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
