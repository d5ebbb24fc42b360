// `tarnwick-cli admx`: adds the selected drive set to the policy-definition pair in a
// PolicyDefinitions folder.
#pragma once

#include <string>

#include "cli/Options.h"
#include "cli/Run.h"

namespace tarnwick::cli {

// `windir` gives the default folder on Windows; elsewhere --dir is required.
CliResult MakeAdmx(const Options& options, const std::string& windir);

}  // namespace tarnwick::cli
