#include "app/SnapInCommand.h"

namespace tarnwick::app {

std::string SnapInCommandLine(const std::string& windir,
                              const std::function<std::string()>& systemWindowsFolder) {
    const std::string folder = windir.empty() ? systemWindowsFolder() : windir;
    return "mmc.exe \"" + folder + "\\system32\\gpedit.msc\"";
}

}  // namespace tarnwick::app
