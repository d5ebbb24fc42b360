// The drive values of a .reg file as regedit imports it: UTF-16LE with a byte-order mark or 8-bit
// text ("Windows Registry Editor Version 5.00" or "REGEDIT4" first), [key] sections and
// "name"=value lines, a trailing backslash continuing a line.
#pragma once

#include <string_view>
#include <vector>

#include "core/FoundValue.h"
#include "core/Result.h"

namespace tarnwick::readback {

// NoDrives and NoViewOnDrive under the Explorer policies key of HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE as importing the file leaves them: for each value of each hive, the last line
// that sets it ("NAME"=...) or deletes it ("NAME"=-, or "[-KEY]" naming that key or a parent), in
// the order the values were first met. A file without the header, or a value line with no closing
// quote, is refused with its line; files above kMaxInputBytes before they are decoded.
Result<std::vector<FoundValue>> ReadRegFile(std::string_view bytes);

}  // namespace tarnwick::readback
