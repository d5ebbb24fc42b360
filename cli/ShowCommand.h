// `tarnwick-cli show`: what the drive lists of a template offer (ADM by its grammar; ADMX with the
// ADML of the chosen culture), or the drive values of a deployed form, as readback/ reads them.
#pragma once

#include <string>

#include "cli/Options.h"
#include "cli/Run.h"

namespace tarnwick::cli {

CliResult ShowCommand(const Options& options);

// show --local: the values of the local policy and of every local policy per group or user
// (GroupPolicyUsers\<SID>) under the system root `windir`.
CliResult ShowLocal(const Options& options, const std::string& windir);

}  // namespace tarnwick::cli
