// Temporary files that the process removes when it is interrupted, before it ends.
#pragma once

#include <string>

namespace tarnwick::fileio {

// Files removed if the process is interrupted (SIGINT, SIGTERM, SIGHUP, SIGQUIT; on
// Windows Ctrl-C, Ctrl-Break and closing the console) before it ends. Track gives a slot, or -1
// when all are taken or the path is too long (the file is then only removed on ordinary ways out).
int TrackTempFile(const std::string& path);
void UntrackTempFile(int slot);
// Installs the handlers that remove the tracked files and then end the process as the signal
// would have, and (POSIX) ignores SIGXFSZ so that a write past the file-size limit fails instead.
// Programs call it once at start.
void RemoveTempFilesOnSignals();
// What the handlers do before the process ends, for tests.
void RemoveTrackedTempFiles();

// While one is alive, an interruption waits (a POSIX signal stays pending, the Windows handler
// waits for it), so that a file created and then tracked is never left between the two steps.
class InterruptionsHeld {
  public:
    InterruptionsHeld();
    ~InterruptionsHeld();
    InterruptionsHeld(const InterruptionsHeld&) = delete;
    InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;
};

}  // namespace tarnwick::fileio
