// `tarnwick-cli gpp`: the drive set as Group Policy Preferences registry items with item-level
// targeting, in a policy object's folder.
#pragma once

#include "cli/Options.h"
#include "cli/Run.h"

namespace tarnwick::cli {

CliResult GppCommand(const Options& options);

}  // namespace tarnwick::cli
