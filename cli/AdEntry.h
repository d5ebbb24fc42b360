// The Active Directory half of `pol --gpo` (and of any command that edits a policy object's
// folder): the LDIF for the object's entry, checked before the folder is touched and then printed,
// or written with --ldif.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cli/Options.h"
#include "cli/Run.h"
#include "core/Result.h"
#include "regpol/Ldif.h"

namespace tarnwick::cli {

struct AdPlan {
    std::optional<regpol::GpoEntry> entry;  // none: the folder is not named by its GUID
    std::optional<std::string> ldifPath;    // absolute
};

// Before anything is written: the entry of the policy object in `folder` and where its LDIF goes.
// Refused when --ldif, --domain or --extensions cannot be honoured, or when the LDIF file is there
// and --force was not given.
Result<AdPlan> PlanAdEntry(const Options& options, const std::string& folder);

// After the folder's files were written, gpt.ini's version moving from `oldVersion` to
// `newVersion`: the LDIF with every pair of `required` in gPCUserExtensionNames, written to the
// planned file or printed, with what to do with it. A failure to write the file prints the LDIF
// instead, so the change is not lost.
CliResult EmitAdEntry(const Options& options, const AdPlan& plan, std::uint32_t oldVersion,
                      std::uint32_t newVersion, std::span<const std::string_view> required);

}  // namespace tarnwick::cli
