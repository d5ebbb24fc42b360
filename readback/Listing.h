// The listing of `tarnwick-cli show`: which drives each item's value covers, the warnings an
// administrator must see before deploying, and the two output forms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "readback/DriveItem.h"

namespace tarnwick::readback {

// One warning per finding, in item order: a display text naming other letters than the value
// covers, a value with bits above Z, an item name twice in one list.
std::vector<std::string> CheckItems(const std::vector<DriveItem>& items);

// One line per item: value name, item name, value, letters, text, separated by tabs. Tabs and
// line breaks inside a field become spaces, so each item stays one line of five fields.
std::string FormatTsv(const std::vector<DriveItem>& items);

// The same columns aligned, under a heading, for reading.
std::string FormatTable(const std::vector<DriveItem>& items);

}  // namespace tarnwick::readback
