// The command line that starts the Group Policy editor.
#pragma once

#include <string>

namespace tarnwick::app {

// mmc.exe "<windir>\system32\gpedit.msc". The snap-in path is quoted so that a Windows folder
// with a blank in its name reaches the console host as one argument.
std::string SnapInCommandLine(const std::string& windir);

}  // namespace tarnwick::app
