// A GUID that follows from a name: the same name gives the same GUID on every system, so an item
// written again for the same value and audience is recognised by its uid alone.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::prefs {

// A name-based GUID (version 5: SHA-1 of a namespace and the name) in the braced, upper-case form
// Group Policy writes: "{8E3D...-....}".
std::string NameGuid(std::string_view name);

}  // namespace tarnwick::prefs
