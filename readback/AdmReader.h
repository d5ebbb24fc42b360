// A reader of the administrative template (ADM) language, written from its grammar: CLASS,
// CATEGORY, POLICY, PART and ITEMLIST blocks with their END lines, "#if version" sections, "; "
// and "//" comments, quoted strings and the [strings] section. It shares nothing with the
// splicer's line reader, so it can witness independently what a generated template offers.
#pragma once

#include <string_view>

#include "readback/DriveItem.h"

namespace tarnwick::readback {

// The items of every drop-down list whose value name is NoDrives or NoViewOnDrive, in file
// order, with their display texts from [strings]. `text` is the template as UTF-8.
// Refuses a file that does not follow the grammar.
Result<DriveLists, ReadFailure> ReadAdmDriveLists(std::string_view text);

}  // namespace tarnwick::readback
