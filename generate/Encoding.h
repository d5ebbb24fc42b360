// Why a source template holds too few marker lines, when its encoding or line ends are the cause.
#pragma once

#include <string>

#include "core/SourceFormat.h"

namespace tarnwick {

// When a source holds fewer marker lines than needed (`markerLinesFound`) because of its encoding
// or its line ends, one sentence that says so; empty text when neither is the reason (or the file
// cannot be read again). Reads the whole file: only for a source that is being refused.
std::string MarkerShortfallCause(const std::string& path, int markerLinesFound);

}  // namespace tarnwick
