// Where a Registry.pol named by a path belongs. A file saved into a policy object's User folder or
// into this computer's local policy is that object's: it is edited with its gpt.ini under its lock,
// as `pol --gpo` and `pol --local` edit it, never written alone.
#pragma once

#include <cstdint>
#include <string>

#include "core/DriveSet.h"
#include "core/Result.h"
#include "fileio/FileLock.h"
#include "regpol/PolFile.h"
#include "regpol/PolicyFiles.h"

namespace tarnwick::regpol {

enum class PolPlaceKind { File, PolicyObject, LocalPolicy };

struct PolPlace {
    PolPlaceKind kind = PolPlaceKind::File;
    // PolicyObject and LocalPolicy: the folder that holds User and gpt.ini (for the local policy
    // through Sysnative where a 32-bit program on 64-bit Windows would reach SysWOW64).
    std::string folder;
};

// ...\GroupPolicy\User\Registry.pol and ...\GroupPolicyUsers\<SID>\User\Registry.pol are the
// local policy (a name in GroupPolicyUsers that is no SID is refused: no policy engine reads it);
// <folder>\User\Registry.pol is a policy object's where <folder> holds a gpt.ini, is named by its
// {GUID} or is a GPMC backup's DomainSysvol\GPO. Names in any letter case.
Result<PolPlace> PolPlaceOf(const std::string& polPath);

// The local policy in `folder` edited as EditGpo edits it; the folder is made first, since it
// exists only once a local policy was set.
Result<GpoChange> EditLocalPolicy(const std::string& folder, std::uint32_t mask, DrivePolicy policy,
                                  PolAction action, fileio::Waiter* waiter = nullptr);

}  // namespace tarnwick::regpol
