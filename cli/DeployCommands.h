// `tarnwick-cli pol`, `samba` and `intune`: the drive set as a Registry.pol (a file, a policy
// object's folder, the local policy), as the JSON samba-tool gpo load reads, and as the two scripts
// of an Intune remediation.
#pragma once

#include <string>

#include "cli/Options.h"
#include "cli/Run.h"

namespace tarnwick::cli {

// `windir` gives the local policy's folder for --local.
CliResult PolCommand(const Options& options, const std::string& windir);
CliResult SambaCommand(const Options& options);
CliResult IntuneCommand(const Options& options);

}  // namespace tarnwick::cli
