// The drive values of the Intune scripts that `tarnwick-cli intune` writes
// (deploy/IntuneScripts.h): the values a setting pair checks or sets, with their mask, and those a
// removal pair checks are gone or deletes, with the hives the script acts on. Read from the
// script's code, never from its comments: the table of values it checks or sets ($wanted), the list
// it deletes ($names), and the registry hives it opens.
#pragma once

#include <string_view>
#include <vector>

#include "core/FoundValue.h"
#include "core/Result.h"

namespace tarnwick::readback {

// The NoDrives and NoViewOnDrive entries of such a script (UTF-8 with or without a byte-order
// mark, CR LF or LF), in script order: "set" with the mask, or "deleted" (by the remediation),
// "absent" (as the detection wants it). A table entry that is
// not 'Name' = number is refused with its line; a script with neither table lists nothing.
Result<std::vector<FoundValue>> ReadIntuneScript(std::string_view bytes);

}  // namespace tarnwick::readback
