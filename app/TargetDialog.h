// Export's small dialog for whom the preference items apply: conditions added one at a time
// (a group or user with its SID, which Windows can look up for the name typed, or an OU), each
// with its own "not", listed, and removable.
#pragma once

#include <windows.h>

#include <vector>

#include "prefs/RegistryXml.h"

namespace tarnwick::app {

// False when cancelled; `targets` then unchanged.
bool AskTargets(HWND owner, std::vector<prefs::Target>& targets);

}  // namespace tarnwick::app
