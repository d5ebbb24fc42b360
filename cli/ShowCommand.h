// `tarnwick-cli show`: what the drive lists of a template offer, read by the template readers of
// readback/ (ADM by its grammar; ADMX with the ADML of the chosen culture).
#pragma once

#include "cli/Options.h"
#include "cli/Run.h"

namespace tarnwick::cli {

CliResult ShowCommand(const Options& options);

}  // namespace tarnwick::cli
