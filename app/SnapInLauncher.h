// Starts a program without waiting for it.
#pragma once

#include <string>

namespace tarnwick::app {

// Starts `commandLine` as a new process whose window comes up minimised and activated. The program
// is `systemProgram` ("mmc.exe") from the system folder, never a file of that name that lies in
// the current folder or beside Tarnwick. Returns true when it started; otherwise `why` holds the
// system's description of the failure.
bool StartMinimised(const std::string& systemProgram, const std::string& commandLine,
                    std::string& why);

}  // namespace tarnwick::app
