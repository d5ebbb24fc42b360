// For whom preference items apply, in the words `show` uses, so that the CLI's gpp and the window's
// Export tell it alike.
#pragma once

#include <string>
#include <vector>

#include "prefs/RegistryXml.h"

namespace tarnwick::prefs {

// "for CONTOSO\Pupils and not in OU=Staff,DC=contoso,DC=com"; with no condition, "for every user
// the policy object reaches".
std::string AudienceText(const std::vector<Target>& targets);

}  // namespace tarnwick::prefs
