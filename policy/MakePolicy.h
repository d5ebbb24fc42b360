// Adds the selected drive set to the policy-definition pair in a PolicyDefinitions folder (a local
// or central store): the ADMX in the folder, its language file in the en-US folder beside it and
// in every other language folder that has one. A missing pair is created; an existing one must be
// Tarnwick's and whole, and grows by the new item only, every other byte kept. One run at a time
// edits a store, and a run that fails leaves every file of it as it was.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/DriveSet.h"
#include "core/Result.h"
#include "fileio/FileLock.h"
#include "policy/PolicyText.h"

namespace tarnwick::policy {

// The Group Policy editor reads ADMX files from a folder named PolicyDefinitions only (the local
// store or a domain's central store), and each ADML from the culture folder beneath it (en-US).
// True when `folder` (Windows or POSIX separators) is named so, in any letter case.
bool IsPolicyStore(std::string_view folder);

enum class PolicyStatus {
    Created,         // the pair did not exist and now offers the set
    Added,           // the set is now the last item of both lists
    AlreadyOffered,  // an item offers the same mask; nothing was written
};

struct PolicyOutcome {
    PolicyStatus status = PolicyStatus::Created;
    // One or two English sentences naming the files.
    std::string message;
    std::string entryName;  // the set's item
    std::string offeredBy;  // for AlreadyOffered: the item that offers the mask already
    std::string maskText;   // the mask in decimal digits
    std::string admxPath;
    std::string admlPath;                     // the en-US language file
    std::vector<std::string> otherLanguages;  // the other language files that gained the string
};

struct PolicyOptions {
    // How the run waits while another run writes the same store; none: in silence, up to
    // fileio::kLockWait.
    fileio::Waiter* waiter = nullptr;
};

// The lock file beside the ADMX that every run holds while it reads and writes the store.
inline constexpr auto kLockFile = JoinedText(kAdmxFile, ".lock");
inline constexpr const char* kLockName = kLockFile.data();

// `folder` is the PolicyDefinitions folder (UTF-8); it must exist. A failure's message names the
// file and the cause, and says that nothing was changed.
Result<PolicyOutcome> MakePolicyDefinitions(const DriveSet& drives, const std::string& folder,
                                            const PolicyOptions& options = {});

}  // namespace tarnwick::policy
