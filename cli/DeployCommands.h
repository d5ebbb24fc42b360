// `tarnwick-cli pol`, `samba` and `intune`: the drive set as a Registry.pol (a file, a policy
// object's folder, the local policy), as the JSON samba-tool gpo load reads, and as the two scripts
// of an Intune remediation.
#pragma once

#include <optional>
#include <string>

#include "cli/Options.h"
#include "cli/Run.h"

namespace tarnwick::cli {

// `windir` gives the local policy's folder for --local.
CliResult PolCommand(const Options& options, const std::string& windir);

// The real System32 under `windir`: Sysnative where it exists (a 32-bit program on 64-bit Windows).
std::string LocalSystemFolder(const std::string& windir);
// The local policy's folder under `windir`: System32\GroupPolicy, or GroupPolicyUsers\<SID> for
// one group or user.
std::string LocalPolicyFolder(const std::string& windir, const std::optional<std::string>& sid);
// The local policy folder whose User\Registry.pol `polPath` names
// (...\GroupPolicy\User\Registry.pol or ...\GroupPolicyUsers\<SID>\User\Registry.pol, names in any
// case), System32 read as Sysnative where that exists; nothing for any other path.
std::optional<std::string> LocalPolicyOfPol(const std::string& polPath);
// pol --local with the system root `windir` (PolCommand passes %SystemRoot%; tests a folder of
// their own): the folder made when missing, the policy merged, --now applied.
CliResult PolLocal(const Options& options, const std::string& windir);

CliResult SambaCommand(const Options& options);
CliResult IntuneCommand(const Options& options);

}  // namespace tarnwick::cli
