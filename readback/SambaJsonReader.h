// The JSON that `samba-tool gpo load GPO --content FILE` reads: a list of registry settings, each
// {"keyname", "valuename", "class", "type", "data"}, which it writes into the policy object's
// Registry.pol, moving its version. Ours sets the drive values for users (class USER) as
// REG_DWORD with the mask as a number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/DriveSet.h"
#include "core/Result.h"
#include "deploy/FoundValue.h"

namespace tarnwick::deploy {

// Two-space indentation, LF line ends, a final LF; ASCII.
std::string SambaJson(std::uint32_t mask, DrivePolicy policy);

// The drive values of such a list (entries for other keys or values are passed over). Text that is
// no JSON, or no list of objects, is refused with the line and column; files above
// kMaxInputBytes before they are parsed.
Result<std::vector<FoundValue>> ReadSambaJson(std::string_view text);

}  // namespace tarnwick::deploy
