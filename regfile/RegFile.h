// The registry form of a drive restriction: the text of a .reg file that sets NoDrives and/or
// NoViewOnDrive for the current user, as regedit imports it.
#pragma once

#include <cstdint>
#include <string>

#include "core/DriveSet.h"

namespace tarnwick::regfile {

// "Windows Registry Editor Version 5.00", a blank line, the Explorer policies key of
// HKEY_CURRENT_USER, one dword line per value (eight lower-case hex digits) and a closing blank
// line, as regedit ends its own exports. Every line ends in CR LF; the text is ASCII.
std::string RegText(std::uint32_t mask, DrivePolicy policy);

// The same file, but deleting the values `policy` names ("NoDrives"=-), as the way back from the
// first; a value that is not there is no error to regedit.
std::string RegDeleteText(DrivePolicy policy);

// `text` as a .reg file stores it: UTF-16LE after a byte-order mark. `text` must be ASCII.
std::string RegFileBytes(const std::string& text);

}  // namespace tarnwick::regfile
