// `tarnwick-cli show` for the deployed forms: a Registry.pol, a policy object's folder, a .reg
// file, the Samba JSON, and (--here, Windows) the registry of the current user and computer.
#pragma once

#include <string>

#include "cli/Options.h"
#include "cli/Run.h"

namespace tarnwick::cli {

// Whether `show FILE` is for this reader rather than the template readers: --here, a folder, or
// a name ending in .pol, .reg, .json or .xml (Registry.xml of Group Policy Preferences).
bool ShowsValues(const Options& options);
CliResult ShowValues(const Options& options);
// show --local: the values of the local policy and of every local policy per group or user
// (GroupPolicyUsers\<SID>) under the system root `windir`.
CliResult ShowLocal(const Options& options, const std::string& windir);

}  // namespace tarnwick::cli
