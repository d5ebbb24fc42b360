// Registry.pol and gpt.ini on disk: a .pol file written or merged, and a whole policy object
// folder (a GPO in SYSVOL or the local policy) edited.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "core/DriveSet.h"
#include "core/Result.h"
#include "core/Text.h"
#include "fileio/FileLock.h"
#include "fileio/WholeFile.h"
#include "regpol/PolFile.h"

namespace tarnwick::regpol {

// `folder`'s entry under the first of `names` that exists (Windows writes "User" and "gpt.ini",
// Samba "USER" and "GPT.INI", and a case-sensitive file system tells them apart); the first name
// when none does.
std::string FindEntry(const std::string& folder, std::initializer_list<std::string_view> names);
std::string UserFolderOf(const std::string& gpoFolder);
std::string PolPathIn(const std::string& userFolder);
std::string GptPathOf(const std::string& gpoFolder);

// The whole file, or nothing when no file is there. A folder or device, a file above
// kMaxInputBytes and a failed read are failures whose message names `path`.
Result<std::optional<fileio::WholeFile>> ReadExisting(const std::string& path);

struct PolWrite {
    bool created = false;  // no file was there
};

// The drive records of `path` made what `action` asks. An existing file is merged (only with
// `merge`: otherwise it is refused and left alone), and replaced only if it is still the file read.
Result<PolWrite> WritePolFile(const std::string& path, std::uint32_t mask, DrivePolicy policy,
                              PolAction action, bool merge);

// A policy object's folder made ready for an edit: it exists, it is in no GPMC backup (whose
// import might not carry a changed file; the message names the SYSVOL folder to use), and `lock`
// holds its lock file, gpt.ini.lock, which every edit of the object's files takes (pol and gpp
// both move gpt.ini's version), waiting through `waiter` (none: in silence). Failures end in
// "Nothing was written.".
Status OpenPolicyObject(const std::string& folder, fileio::FileLock& lock,
                        fileio::Waiter* waiter = nullptr);

struct GpoChange {
    std::string polPath;
    std::string gptPath;
    bool polCreated = false;
    bool gptCreated = false;
    std::uint32_t oldVersion = 0;
    std::uint32_t newVersion = 0;
};

// The user part of the policy object in `folder` (which must exist): its Registry.pol merged (the
// User folder made when missing) and its gpt.ini's user version moved by one; for the local policy
// (`localPolicy`) also the registry extension listed in gpt.ini. Both files are read and checked
// before either is written, and both are put in place or neither. A folder in a GPMC backup
// (DomainSysvol and Backup.xml or bkupInfo.xml in it, its parent or the parent's parent) is refused
// with the SYSVOL folder to use.
Result<GpoChange> EditGpo(const std::string& folder, std::uint32_t mask, DrivePolicy policy,
                          PolAction action, bool localPolicy, fileio::Waiter* waiter = nullptr);

}  // namespace tarnwick::regpol
