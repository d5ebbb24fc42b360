// The smallest template with three marker lines, and what it becomes for one selection (by the
// layout model); used by the make-command tests and the window tests alike.
#pragma once

#include <string>

#include "tests/support/LayoutModel.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::test {

// Three marker lines and one other, UTF-16LE: 70 bytes, markers ending after bytes 17, 37, 57.
inline const std::string kFourLineTemplate = Utf16("abcdonly\r\nabcdonly\r\nabcdonly\r\nxyz\r\n");

// The four-line template with C, D and E ticked in the following mode.
inline std::string FourLineTemplateForCDE() {
    return model::ModelGenerate(kFourLineTemplate, {0b11100, false}).bytes;
}

}  // namespace tarnwick::test
