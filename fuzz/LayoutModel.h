// An independent, deliberately plain account of what a generation must produce: the entry text,
// the source's encoding, the marker lines and where the inserts go. The fuzz target and the
// fault and bad-input tests compare the real generator against it, so it shares no code with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::model {

// Drive i is ticked when bit i of `drives` is set (A = bit 0 ... Z = bit 25).
struct ModelSelection {
    std::uint32_t drives = 0;
    bool allBut = false;  // "Restrict all drives but :" instead of "Restrict the following drives:"
};

enum class ModelVerdict {
    Created,
    NothingTicked,
    BigEndian,
    TooFewMarkers,
};

struct ModelOutcome {
    ModelVerdict verdict = ModelVerdict::Created;
    std::string bytes;      // the whole new template when Created
    std::string entryName;  // "CDEOnly", "ALLBUTC"...
    int markersFound = 0;   // marker lines seen, at most 3
    // Bytes consumed through each marker line found (line end included), as the line reader
    // must count them: its position after marker line k is markerLineEnds[k] + 1.
    std::vector<std::size_t> markerLineEnds;
    bool ok() const { return verdict == ModelVerdict::Created; }
};

// The drive mask: the ticked drives, or in the all-but mode the unticked ones.
std::uint32_t ModelMask(const ModelSelection& selection);
std::string ModelItemLine(const ModelSelection& selection);
std::string ModelDefinitionLine(const ModelSelection& selection);
std::string ModelEntryName(const ModelSelection& selection);

enum class ModelEncoding { Utf16LE, EightBit, Utf16BE };

// How the generator must read `source`: UTF-16LE, 8-bit (ANSI or UTF-8), or refused big-endian.
ModelEncoding ModelDetectEncoding(std::string_view source);

// What generating from `source` with `selection` must give.
ModelOutcome ModelGenerate(std::string_view source, const ModelSelection& selection);

}  // namespace tarnwick::model
