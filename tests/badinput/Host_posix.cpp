#include <string>

#include "tests/badinput/Host.h"

namespace tarnwick::badinput {

std::shared_ptr<void> HoldWithoutSharing(const std::string&) {
    return nullptr;  // POSIX opens never keep others out
}

}  // namespace tarnwick::badinput
