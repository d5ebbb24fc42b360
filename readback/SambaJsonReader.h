// The drive values of the JSON that `samba-tool gpo load GPO --content FILE` reads (a list of
// registry settings, each {"keyname", "valuename", "class", "type", "data"}), ours
// (deploy/SambaJsonWriter.h) or another writer's, read as samba-tool's loader takes them.
#pragma once

#include <string_view>
#include <vector>

#include "core/FoundValue.h"
#include "core/Result.h"

namespace tarnwick::readback {

// The drive values of such a list (entries for other keys or values are passed over), one per
// value and class as loading the list leaves them: an entry that names a value again overrides the
// earlier ones, and the Where column says which entries the listed one applies over. Entries with
// neither type nor data, the form `samba-tool gpo remove GPO --content FILE` reads, are listed as
// removed. Text that is no JSON, or no list of objects, is refused with the line and column; files
// above kMaxInputBytes before they are parsed.
Result<std::vector<FoundValue>> ReadSambaJson(std::string_view text);

}  // namespace tarnwick::readback
