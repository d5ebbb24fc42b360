#include "app/SnapInCommand.h"

namespace tarnwick::app {

std::string SnapInCommandLine(const std::string& windir) {
    return "mmc.exe \"" + windir + "\\system32\\gpedit.msc\"";
}

}  // namespace tarnwick::app
