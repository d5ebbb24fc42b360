// A group's or user's name to the SID a client matches it by, as Windows answers it
// (LookupAccountNameW: the local accounts, then the domain's, for "DOMAIN\Name" or "Name"), so
// that administrators can give the names they know.
#pragma once

#include <string>

namespace tarnwick::win32 {

struct AccountSid {
    std::string sid;      // "S-1-5-21-...-1105"; empty when refused
    std::string name;     // DOMAIN\Name as the system spells it ("BUILTIN\Administrators")
    std::string problem;  // why there is no SID, completing "The name ... cannot be used: "
};

// The SID of the group (`group`) or user `name` (UTF-8). A name the system does not know, or one
// of the other kind, is refused with the reason.
AccountSid SidOfAccount(const std::string& name, bool group);

}  // namespace tarnwick::win32
