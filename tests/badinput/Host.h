// What the bad-input cases need of the system they run on, beyond portable file access.
#pragma once

#include <memory>
#include <string>

namespace tarnwick::badinput {

// Opens `path` for reading and shares nothing with anyone until the result is dropped (Windows);
// null where the system has no such open (POSIX).
std::shared_ptr<void> HoldWithoutSharing(const std::string& path);

}  // namespace tarnwick::badinput
