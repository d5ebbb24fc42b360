// The form-level variables of the main window, owned by whoever plays the window.
#pragma once

#include <string>

namespace tarnwick {

struct FormState {
    std::string strSourceADM;  // source template path
    std::string strNewADM;     // new template path
    std::string strEntryName;  // set by BuildItemLine, read by BuildStringsLine
    double dblDriveMask = 0.0;
};

}  // namespace tarnwick
