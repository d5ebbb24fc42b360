// The JSON that `samba-tool gpo load GPO --content FILE` reads: a list of registry settings, each
// {"keyname", "valuename", "class", "type", "data"}, which it writes into the policy object's
// Registry.pol, moving its version. Ours sets the drive values for users (class USER) as
// REG_DWORD with the mask as a number; show reads it back (readback/SambaJsonReader.h).
#pragma once

#include <cstdint>
#include <string>

#include "core/DriveSet.h"

namespace tarnwick::deploy {

// Two-space indentation, LF line ends, a final LF; ASCII.
std::string SambaJson(std::uint32_t mask, DrivePolicy policy);

}  // namespace tarnwick::deploy
