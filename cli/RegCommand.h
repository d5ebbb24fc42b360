// `tarnwick-cli reg`: the drive mask as a .reg file for the current user, or as text on standard
// output; with --remove, the file that deletes the values again.
#pragma once

#include "cli/Options.h"
#include "cli/Run.h"

namespace tarnwick::cli {

CliResult RegCommand(const Options& options);

}  // namespace tarnwick::cli
