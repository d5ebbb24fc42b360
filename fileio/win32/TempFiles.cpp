// Removing live temporary files when Ctrl-C, Ctrl-Break or closing the console ends the process.
#include "fileio/TempFiles.h"

#include <windows.h>

#include <optional>

#include "fileio/TempRegistry.h"
#include "fileio/win32/SystemPath.h"

namespace tarnwick::fileio {

namespace {

// Wide paths as the system takes them (long ones with their \\?\ prefix).
TempRegistry<wchar_t, 8, 4096> g_live;

// Held while a file is created and tracked; the handler takes it before it removes anything.
SRWLOCK g_creating = SRWLOCK_INIT;

// Runs on a thread of its own while the program may still be writing: the temporary file is open
// with delete sharing, so DeleteFileW marks it and the system removes it when the process ends
// and its handle closes. FALSE passes the event on to the default handler, which ends the process.
BOOL WINAPI OnConsoleEvent(DWORD /*event*/) {
    AcquireSRWLockExclusive(&g_creating);
    RemoveTrackedTempFiles();
    ReleaseSRWLockExclusive(&g_creating);
    return FALSE;
}

}  // namespace

int TrackTempFile(const std::string& path) {
    const std::optional<std::wstring> wide = win32::SystemPath(path);
    if (!wide) return -1;
    return g_live.Add(wide->c_str(), wide->size());
}

void UntrackTempFile(int slot) {
    g_live.Drop(slot);
}

void RemoveTrackedTempFiles() {
    g_live.ForEachLive([](const wchar_t* path) { DeleteFileW(path); });
}

InterruptionsHeld::InterruptionsHeld() {
    AcquireSRWLockExclusive(&g_creating);
}

InterruptionsHeld::~InterruptionsHeld() {
    ReleaseSRWLockExclusive(&g_creating);
}

void RemoveTempFilesOnSignals() {
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace tarnwick::fileio
