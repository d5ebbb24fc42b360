// An independent, deliberately plain account of what a generation must produce: the entry text,
// the source's encoding, the marker lines and where the inserts go. Every test that checks a new
// template byte for byte, and the fuzz target, compare the real generator against it, so it shares
// no code with it (and includes nothing of the generator's).
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

enum class ModelEncoding { Utf16LE, EightBit, Utf16BE };

enum class ModelLineEnd { None, Cr, CrLf, Lf };

// A marker line as the byte rules cut it: `consumed` counts the bytes from the start of the
// source through its line end, so the line reader's position after it is consumed + 1.
struct ModelLine {
    std::size_t consumed = 0;
    ModelLineEnd end = ModelLineEnd::None;
};

struct ModelOutcome {
    ModelVerdict verdict = ModelVerdict::Created;
    std::string bytes;      // the whole new template when Created
    std::string entryName;  // "CDEOnly", "ALLBUTC"...
    int markersFound = 0;   // marker lines seen, at most 3
    std::vector<ModelLine> markerLines;
    bool ok() const { return verdict == ModelVerdict::Created; }
};

// The drive mask: the ticked drives, or in the all-but mode the unticked ones.
std::uint32_t ModelMask(const ModelSelection& selection);
std::string ModelItemLine(const ModelSelection& selection);
std::string ModelDefinitionLine(const ModelSelection& selection);
std::string ModelEntryName(const ModelSelection& selection);

// How the generator must read `source`: UTF-16LE, 8-bit (ANSI or UTF-8), or refused big-endian.
ModelEncoding ModelDetectEncoding(std::string_view source);

// The first `wanted` marker lines of `source` read as UTF-16LE or as 8-bit text.
std::vector<ModelLine> ModelMarkerLines(std::string_view source, ModelEncoding encoding,
                                        std::size_t wanted);

// The new template for a source with three marker lines, given the item and definition lines
// as text: each is encoded as the source is, and goes where the byte rules put it.
std::string ModelSplice(std::string_view source, ModelEncoding encoding, const std::string& item,
                        const std::string& definition);

// What generating from `source` with `selection` must give.
ModelOutcome ModelGenerate(std::string_view source, const ModelSelection& selection);

}  // namespace tarnwick::model
