// `tarnwick-cli pol`, `samba` and `intune`: the drive set as a Registry.pol (a file, a policy
// object's folder, the local policy), as the JSON samba-tool gpo load reads, and as the two scripts
// of an Intune remediation.
#pragma once

#include <optional>
#include <string>

#include "cli/Options.h"
#include "cli/Run.h"
#include "regpol/ApplyNow.h"

namespace tarnwick::cli {

// `windir` gives the local policy's folder for --local.
CliResult PolCommand(const Options& options, const std::string& windir);

// What pol with `options` writes for the current user, for checking the values in force.
regpol::WrittenValues WrittenByPol(const Options& options);
// pol --local with the system root `windir` (PolCommand passes %SystemRoot%; tests a folder of
// their own): the folder made when missing, the policy merged, --now applied.
CliResult PolLocal(const Options& options, const std::string& windir);

CliResult SambaCommand(const Options& options);
CliResult IntuneCommand(const Options& options);

}  // namespace tarnwick::cli
