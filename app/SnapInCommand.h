// The command line that starts the Group Policy editor.
#pragma once

#include <functional>
#include <string>

namespace tarnwick::app {

// mmc.exe "<windir>\system32\gpedit.msc". The snap-in path is quoted so that a Windows folder
// with a blank in its name reaches the console host as one argument. When `windir` is empty (not
// set) the Windows folder comes from `systemWindowsFolder`, the system's own answer: without it
// the path would name no file and the console would start with nothing to show.
std::string SnapInCommandLine(const std::string& windir,
                              const std::function<std::string()>& systemWindowsFolder);

}  // namespace tarnwick::app
