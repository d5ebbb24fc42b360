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

// The way back: the list `samba-tool gpo remove GPO --content FILE` reads (Samba 4.19 or later,
// as gpo load), each entry the key, value name and class alone. It takes the values' records out
// of Registry.pol, matching their names exactly as Tarnwick and gpo load spell them; the client
// then removes the values, as for any policy no longer configured.
std::string SambaRemoveJson(DrivePolicy policy);

}  // namespace tarnwick::deploy
