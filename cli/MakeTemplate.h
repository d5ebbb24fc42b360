// `tarnwick-cli make`: the checks the window makes before generating (plus the ones a script needs:
// a folder as source or output, the source named by another path), then the same generation.
#pragma once

#include <string>

#include "cli/Options.h"
#include "cli/Run.h"

namespace tarnwick::cli {

CliResult MakeTemplate(const Options& options, const std::string& windir);

}  // namespace tarnwick::cli
