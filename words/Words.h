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
// window's Export tells it: a Registry.pol (or samba-tool gpo remove) takes the value's records
// out; the Intune remediation, a preference item of action Delete and a .reg file's "NAME"=-
// delete the value itself.
inline constexpr const char* kRecordsRemoved = "not configured (its records removed)";
inline constexpr const char* kDeletedByRemediation = "deleted by the remediation where it is set";
inline constexpr const char* kDeletedByClient = "deleted by the client";
inline constexpr const char* kDeletedOnImport = "deleted where the file is imported";

// After preference items of action Delete are written.
inline constexpr const char* kKeepDeletionItems =
    "Keep the deletion items until every client they target has applied them (each user has "
    "logged on, or run gpupdate, since); deleted earlier, they leave the values where they were "
    "not yet applied.";

// Said when the policy files go to a folder that is not a PolicyDefinitions folder
// (policy::IsPolicyStore).
inline std::string StoreHint(const std::string& folder) {
    return "'" + folder + "' is not a PolicyDefinitions folder, so the Group Policy editor will " +
           "not read the files written there. It reads them from the local store, " +
           "%windir%\\PolicyDefinitions, or from the central store, " +
           "\\\\<domain>\\SYSVOL\\<domain>\\Policies\\PolicyDefinitions.";
}

}  // namespace tarnwick::msg
