// `show --here`: the drive values that apply on this computer now, from the registry.
#pragma once

#include <string>
#include <vector>

#include "core/FoundValue.h"
#include "core/Result.h"

namespace tarnwick::regpol {

// NoDrives and NoViewOnDrive under the Explorer policies key of HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE (its 64-bit view). Refused on systems other than Windows.
Result<std::vector<FoundValue>> ReadHereValues();

// The lines after the listing of --here: what the drives column means, and which value applies
// when a value is set in both places; nothing for a file.
std::string HereNote(const std::vector<FoundValue>& values, bool here);

}  // namespace tarnwick::regpol
