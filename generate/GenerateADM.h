// The splicer: writes the new template, a byte-exact copy of the source with the item line after
// the first two marker lines and the definition line after the third.
#pragma once

#include <string>

#include "fileio/Platform.h"
#include "generate/FormState.h"
#include "generate/Selection.h"

namespace tarnwick {

enum class GenerateStatus {
    Created,           // the new template is complete at strNewADM
    SourceOpenFailed,  // the source cannot be opened for reading (error holds the reason)
    UnsupportedSource, // a UTF-16 big-endian source
    TooFewMarkers,     // fewer than three marker lines (markersFound says how many)
    ReadFailed,        // reading the source failed midway
    WriteFailed,       // writing the temporary file or replacing the new path failed
    InvalidInput,      // nothing ticked, a source too large for 32-bit offsets, and the like
};

struct GenerateResult {
    GenerateStatus status = GenerateStatus::Created;
    std::string message;       // one clear English sentence or two, naming the path and the cause
    fileio::SysError error;    // the system's reason, when a platform call failed
    int markersFound = 0;
    bool ok() const { return status == GenerateStatus::Created; }
};

// Reads state.strSourceADM, state.strNewADM and state.dblDriveMask; sets state.strEntryName.
// Nothing is written at strNewADM unless the whole new template replaces it.
GenerateResult GenerateADM(const Selection& selection, FormState& state);

}  // namespace tarnwick
