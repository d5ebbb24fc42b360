// Starts a program from the system folder without waiting for it.
#pragma once

#include <string>

#include "core/Result.h"
#include "win32/SystemFolder.h"

namespace tarnwick::app {

// Starts `commandLine` as a new process whose window comes up minimised and activated. The program
// is `systemProgram` ("mmc.exe") from the system folder, never a file of that name that lies in
// the current folder or beside Tarnwick; when the system folder cannot be read nothing starts.
// `readSystemFolder` replaces the system's own (cached) answer, for tests.
Status StartMinimised(const std::string& systemProgram, const std::string& commandLine,
                      win32::FolderReader readSystemFolder = nullptr);

// The Windows folder as the system gives it (GetWindowsDirectoryW), in UTF-8; empty text when it
// cannot be read.
std::string SystemWindowsFolder();

}  // namespace tarnwick::app
