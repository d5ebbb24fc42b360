// Adds the selected drive set to the policy-definition pair in a PolicyDefinitions folder: the
// ADMX in the folder, its English language file in the en-US folder beside it. A missing pair is
// created; an existing one must be Tarnwick's and whole, and keeps every item it offers.
#pragma once

#include <string>

#include "core/DriveSet.h"
#include "fileio/Platform.h"

namespace tarnwick::policy {

enum class PolicyStatus {
    Created,         // the pair did not exist and now offers the set
    Added,           // the set is now the last item of both lists
    AlreadyOffered,  // an item offers the same mask; nothing was written
    InvalidInput,    // no drive ticked, or no such folder; nothing was written
    Refused,         // the existing pair is malformed, foreign or inconsistent; nothing changed
    Failed,          // reading or writing failed; the pair is as it was (the ADML may hold an
                     // extra string)
};

struct PolicyResult {
    PolicyStatus status = PolicyStatus::Failed;
    // One or two English sentences naming the files and, on failure, the cause.
    std::string message;
    std::string entryName;  // the set's item
    std::string offeredBy;  // for AlreadyOffered: the item that offers the mask already
    std::string maskText;   // the mask in decimal digits
    std::string admxPath;
    std::string admlPath;
    fileio::SysError error;  // the system's reason, when a platform call failed
    bool ok() const {
        return status == PolicyStatus::Created || status == PolicyStatus::Added ||
               status == PolicyStatus::AlreadyOffered;
    }
};

// `folder` is the PolicyDefinitions folder (UTF-8); it must exist.
PolicyResult MakePolicyDefinitions(const DriveSet& drives, const std::string& folder);

}  // namespace tarnwick::policy
