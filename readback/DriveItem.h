// What `tarnwick-cli show` lists: the items (core/DriveItem.h) of the drop-down lists that set the
// drive masks NoDrives and NoViewOnDrive, as a template (ADM or ADMX with its ADML) offers them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/DriveItem.h"
#include "core/Result.h"

namespace tarnwick::readback {

struct DriveLists {
    std::vector<DriveItem> items;    // in file order
    std::vector<std::string> notes;  // what the reader passed over, for standard error
};

// The file cannot be read as a template: what was expected, and the line (from 1) it is about; 0
// when no line is (the file's size, or an XML parser that did not tell).
struct ReadFailure : Failure {
    int line = 0;
};

inline ReadFailure FailureAt(int line, std::string message) {
    return {{std::move(message)}, line};
}

// A step of a reader that yields nothing but may refuse the file.
using ReadStatus = Result<void, ReadFailure>;

// True for the value names of the two drive policies, in any letter case.
bool IsDriveValueName(const std::string& name);

}  // namespace tarnwick::readback
