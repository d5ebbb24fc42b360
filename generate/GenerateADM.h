// The splicer: writes the new template, a byte-exact copy of the source with the item line after
// the first two marker lines and the definition line after the third.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "core/Selection.h"
#include "fileio/Platform.h"
#include "fileio/mdlAPIFiles.h"
#include "generate/FormState.h"

namespace tarnwick {

// Why no new template was written.
enum class GenerateFault {
    SourceOpenFailed,   // the source cannot be opened for reading
    UnsupportedSource,  // a UTF-16 big-endian source
    TooFewMarkers,      // fewer than three marker lines (markersFound says how many)
    ReadFailed,         // reading the source failed midway
    WriteFailed,        // writing the temporary file or putting it in place failed
    NotReplaced,        // what is at the new path may not be replaced (no consent, not the file
                        // agreed on, not a regular file, or it appeared or changed meanwhile)
    InvalidInput,       // nothing ticked, a source too large for a result under 2 GiB (checked
                        // before anything is written), the new path naming the source file itself
};

// The message is one clear English sentence or two, naming the path and the cause; the code is the
// system's, when a platform call failed.
struct GenerateFailure : Failure {
    GenerateFault fault = GenerateFault::WriteFailed;
    // The system's own description of an open or read that failed, which the window's open-error
    // message shows as it stands.
    std::string systemText;
    int markersFound = 0;  // TooFewMarkers: how many there are
};

// The new template is complete at strNewADM.
struct Generated {
    bool replaced = false;  // it took the place of a file that was there
};

using GenerateResult = Result<Generated, GenerateFailure>;

// The file the administrator agreed to replace, as it was when they agreed; none: the new path must
// still be free.
struct ReplaceConsent {
    std::optional<fileio::FileId> file;
};

// Reads state.strSourceADM, state.strNewADM and state.dblDriveMask, and sets state.strEntryName
// once the source is open and accepted. UTF-16LE sources follow the line reader's byte rules;
// 8-bit sources take one byte per inserted character after the marker line's whole line end.
// Nothing is written at strNewADM unless the whole new template takes its place, and no temporary
// file is left behind. Only regular files are read or replaced; a link to one stays a link, and
// the file it leads to receives the template.
// The two-argument form has no consent: a file at the new path is never replaced, not even one
// that appears while the template is being written.
GenerateResult GenerateADM(const Selection& selection, FormState& state);
GenerateResult GenerateADM(const Selection& selection, FormState& state,
                           const ReplaceConsent& consent);
// The same, reading the source in blocks of `blockSize` bytes rather than the usual size (tests
// make them tiny, so that inserts fall at block edges).
GenerateResult GenerateADM(const Selection& selection, FormState& state, std::size_t blockSize);
GenerateResult GenerateADM(const Selection& selection, FormState& state,
                           const ReplaceConsent& consent, std::size_t blockSize);

}  // namespace tarnwick
