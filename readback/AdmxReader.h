// The drive lists of an ADMX file and the texts of its ADML, each read with a real XML parser
// (xml/). The two files are read apart, so that a refusal names the file it is about.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "core/Limits.h"
#include "readback/DriveItem.h"

namespace tarnwick::readback {

// Every <item> of every <enum> whose valueName is NoDrives or NoViewOnDrive, in file order, with
// its display name's string id in `name` and no text yet. Refuses a file that is not well-formed
// XML or not policy definitions, or an item without a display name or value, and (line 0) more
// than `limit` bytes.
Result<DriveLists, ReadFailure> ReadAdmxDriveLists(std::string_view admx,
                                                   std::uint64_t limit = kMaxInputBytes);

// The string table of an ADML file: id -> text. Refuses as above.
Result<std::map<std::string, std::string>, ReadFailure> ReadAdmlStrings(
    std::string_view adml, std::uint64_t limit = kMaxInputBytes);

// Gives each item its text from `strings`; an id the table lacks is noted and its text left empty.
void ResolveTexts(DriveLists& lists, const std::map<std::string, std::string>& strings);

// "<folder of the ADMX>/<culture>/<name of the ADMX>.adml", with the ADMX path's own separator.
std::string AdmlPathFor(const std::string& admxPath, const std::string& culture);

}  // namespace tarnwick::readback
