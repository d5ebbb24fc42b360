// What `tarnwick-cli show` lists: the items of the drop-down lists that set the drive masks
// NoDrives and NoViewOnDrive, as a template (ADM or ADMX with its ADML) offers them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/Result.h"

namespace tarnwick::readback {

struct DriveItem {
    std::string valueName;  // NoDrives or NoViewOnDrive, as the template spells it
    std::string name;       // ADM: the string name after "!!"; ADMX: the display name's string id
    std::uint32_t value = 0;
    std::string text;  // the display text, resolved; UTF-8
    int list = 0;      // which drop-down list of the file holds it, counted from 0
    int line = 0;      // where the item stands in its file
};

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
