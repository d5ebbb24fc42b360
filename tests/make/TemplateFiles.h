// The smallest template with three marker lines, and what it becomes for one selection; used by
// the make-command tests and the window tests alike.
#pragma once

#include <string>

#include "tests/support/TestFiles.h"

namespace tarnwick::test {

// Three marker lines and one other, UTF-16LE: 70 bytes, markers ending after bytes 17, 37, 57.
inline const std::string kFourLineTemplate = Utf16("abcdonly\r\nabcdonly\r\nabcdonly\r\nxyz\r\n");

// The four-line template with C, D and E ticked in the following mode: each insert falls
// between the marker line's CR and its LF.
inline std::string FourLineTemplateForCDE() {
    const std::string item = Utf16("\t\t    \tNAME !!CDEOnly\t\tVALUE NUMERIC\t28\r\n");
    const std::string definition = Utf16("CDEOnly=\"Restrict C, D and E only\"\r\n");
    const std::string& s = kFourLineTemplate;
    return s.substr(0, 18) + item + s.substr(18, 20) + item + s.substr(38, 20) + definition +
           s.substr(58);
}

}  // namespace tarnwick::test
