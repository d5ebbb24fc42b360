// What `tarnwick-cli show` lists of the deployed forms: the drive values of a Registry.pol, a
// policy object's folder (its Registry.pol, gpt.ini's version and Registry.xml), a .reg file, the
// Samba JSON, a Registry.xml, the registry of the current user and computer (--here, Windows), and
// the local policy folders under a system root (--local).
#pragma once

#include <string>
#include <vector>

#include "core/FoundValue.h"
#include "core/Result.h"

namespace tarnwick::readback {

struct ValueListing {
    std::vector<FoundValue> values;
    std::string after;  // lines that follow the table
};

// Whether `path` is for these readers rather than the template readers: a folder, or a name ending
// in .pol, .reg, .json, .xml (Registry.xml of Group Policy Preferences) or .ps1 (Intune scripts).
bool ListsValues(const std::string& path);

// The values of the file or policy object's folder at `path`; a missing file is a failure.
Result<ValueListing> ReadDeployedValues(const std::string& path);

// The values in force on this computer, followed by what the drives column means and which value
// applies when one is set in both hives. Refused on systems other than Windows.
Result<ValueListing> ReadValuesHere();

// The values of the local policy and of every local policy per group or user
// (GroupPolicyUsers\<SID>) under the system root `windir`, each row's Where led by whom it is for.
struct LocalValues {
    ValueListing listing;
    std::vector<std::string> unread;  // "<whom>: <why>" for each folder that could not be read
    std::string none;                 // when there is no local policy at all: the line that says so
};
Result<LocalValues> ReadLocalValues(const std::string& windir);

// One row per value: its name, the mask (or its state), the drives, where it was found; aligned
// under a heading, or separated by tabs without one.
std::string FormatValues(const std::vector<FoundValue>& values, bool tsv);

}  // namespace tarnwick::readback
