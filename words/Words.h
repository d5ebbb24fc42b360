// The texts that the window and the command line share, kept below both so that a part under them
// (policy/, for one) can say the same without including a front end. The window's own texts are in
// command/Messages.h; the command line's, and the messages that Export, the policy pair and the
// splicer compose, stand where they arise.
#pragma once

#include <string>

#include "Version.h"

namespace tarnwick::msg {

// The About box and tarnwick-cli --version.
inline constexpr const char* kVersion = TARNWICK_VERSION;

// Nothing ticked (the window), or an empty set handed to the policy pair.
inline constexpr const char* kSelectDrives = "Please select one or more drives.";

// What a removal did to a value, after its name ("NoDrives: "), as tarnwick-cli lists it and the
// window's Export tells it: a Registry.pol loses the value's records; the Intune remediation
// deletes the value from each hive.
inline constexpr const char* kRecordsRemoved = "not configured (its records removed)";
inline constexpr const char* kDeletedByRemediation = "deleted by the remediation where it is set";

// Said when the policy files go to a folder that is not a PolicyDefinitions folder
// (policy::IsPolicyStore).
inline std::string StoreHint(const std::string& folder) {
    return "'" + folder + "' is not a PolicyDefinitions folder, so the Group Policy editor will " +
           "not read the files written there. It reads them from the local store, " +
           "%windir%\\PolicyDefinitions, or from the central store, " +
           "\\\\<domain>\\SYSVOL\\<domain>\\Policies\\PolicyDefinitions.";
}

}  // namespace tarnwick::msg
