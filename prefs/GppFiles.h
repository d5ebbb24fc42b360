// The preference items on disk: Registry.xml in a policy object's folder edited (or made) together
// with its gpt.ini, under a lock, all or nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/DriveSet.h"
#include "core/Result.h"
#include "fileio/FileLock.h"
#include "prefs/RegistryXml.h"
#include "regpol/Ldif.h"

namespace tarnwick::prefs {

struct GppRequest {
    DriveSet drives;
    DrivePolicy policy = DrivePolicy::Hide;
    std::vector<Target> targets;
    std::string changed;                     // see ChangedNow
    ItemAction action = ItemAction::Update;  // Delete: the items that take the values back
    fileio::Waiter* waiter = nullptr;        // for another run's lock; none: in silence
};

// What was written, and what the directory half of the policy object needs to match: the folder,
// the new version and the extension pair to list in gPCUserExtensionNames.
struct GppOutcome {
    std::string gpoFolder;
    std::string xmlPath;
    std::string gptPath;
    bool xmlCreated = false;
    bool gptCreated = false;
    int added = 0;
    int replaced = 0;
    std::vector<std::string> uids;
    std::uint32_t oldVersion = 0;
    std::uint32_t newVersion = 0;
    std::string_view extensionPair = regpol::kRegistryPreferencePair;
};

// User\Preferences\Registry\Registry.xml of `folder` (the folders made when missing; the names
// found in any case Windows or Samba writes them).
std::string RegistryXmlPathOf(const std::string& gpoFolder);

// The items for the drive set into the policy object in `folder` (which must exist) and its user
// version moved by 65,536. Both files are read and their new texts made before anything is
// written; the lock gpt.ini.lock in the folder is held from the first read to the last replace.
Result<GppOutcome> WriteGpp(const std::string& folder, const GppRequest& request);

}  // namespace tarnwick::prefs
