#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tests/badinput/Host.h"

namespace tarnwick::badinput {

std::shared_ptr<void> HoldWithoutSharing(const std::string&) {
    return nullptr;  // POSIX opens never keep others out
}

// Tries writing to a file without write permission: root (or CAP_DAC_OVERRIDE) can.
std::string WhyReadOnlyDoesNotBind() {
    std::string folder = "/tmp/tarnwick-probe-XXXXXX";
    if (const char* tmp = getenv("TMPDIR"); tmp != nullptr && *tmp != '\0') {
        folder = std::string(tmp) + "/tarnwick-probe-XXXXXX";
    }
    if (mkdtemp(folder.data()) == nullptr) return "no folder for the probe";
    const std::string file = folder + "/read-only";
    const int created = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0444);
    if (created >= 0) close(created);
    const int reopened = open(file.c_str(), O_WRONLY);
    const bool ignored = reopened >= 0;
    if (ignored) close(reopened);
    unlink(file.c_str());
    rmdir(folder.c_str());
    return ignored ? "this process writes to read-only files (root)" : "";
}

}  // namespace tarnwick::badinput
