#include "tests/support/LayoutModel.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace tarnwick::model {
namespace {

constexpr int kDrives = 26;
constexpr std::uint32_t kAllDrivesMask = (1u << kDrives) - 1;
constexpr std::string_view kMarker = "abcdonly";
constexpr std::size_t kDetectionWindow = 64 * 1024;

bool IsTicked(const ModelSelection& selection, int drive) {
    return (selection.drives >> drive) & 1u;
}

std::string TickedLetters(const ModelSelection& selection) {
    std::string letters;
    for (int drive = 0; drive < kDrives; ++drive) {
        if (IsTicked(selection, drive)) letters += static_cast<char>('A' + drive);
    }
    return letters;
}

// "C", "C and D", "C, D and E".
std::string LetterList(const std::string& letters) {
    std::string list;
    for (std::size_t i = 0; i < letters.size(); ++i) {
        list += letters[i];
        if (i + 2 < letters.size()) list += ", ";
        if (i + 2 == letters.size()) list += " and ";
    }
    return list;
}

// One line as the byte rules cut it: [start, textEnd) is its text, [textEnd, end) its line end.
struct Line {
    std::size_t start = 0;
    std::size_t textEnd = 0;
    std::size_t end = 0;
    ModelLineEnd kind = ModelLineEnd::None;
};

// How many code units of the first 64 KiB are `low` with a zero high byte (little-endian).
std::size_t WideUnitsOf(std::string_view s, char low) {
    const std::string_view head = s.substr(0, kDetectionWindow);
    std::size_t count = 0;
    for (std::size_t i = 0; i + 1 < head.size(); i += 2) {
        if (head[i] == low && head[i + 1] == '\0') ++count;
    }
    return count;
}

// The byte that ends a UTF-16LE line: CR, unless the first 64 KiB hold LF units and no CR unit.
char WideLineEndByte(std::string_view s) {
    return WideUnitsOf(s, '\r') == 0 && WideUnitsOf(s, '\n') > 0 ? '\n' : '\r';
}

// Whether the byte at `i` ends a line. In UTF-16LE text only the line-end unit does: its byte at
// an even offset whose next byte is 00, or that is the last byte of the file. In 8-bit text any
// CR or LF does.
bool EndsLine(std::string_view s, std::size_t i, char wideEnd) {
    if (wideEnd == '\0') return s[i] == '\r' || s[i] == '\n';
    return s[i] == wideEnd && i % 2 == 0 && (i + 1 == s.size() || s[i + 1] == '\0');
}

// A line ends after its CR, and after the LF right behind it if any (in UTF-16LE text the byte
// behind the CR is its zero high byte, never an LF), or after a lone LF. `wideEnd` is the
// UTF-16LE line-end byte, or 0 for 8-bit text.
Line NextLine(std::string_view s, std::size_t start, char wideEnd) {
    for (std::size_t i = start; i < s.size(); ++i) {
        if (!EndsLine(s, i, wideEnd)) continue;
        if (s[i] == '\n') return {start, i, i + 1, ModelLineEnd::Lf};
        const bool lf = i + 1 < s.size() && s[i + 1] == '\n';
        return {start, i, lf ? i + 2 : i + 1, lf ? ModelLineEnd::CrLf : ModelLineEnd::Cr};
    }
    return {start, s.size(), s.size(), ModelLineEnd::None};
}

// Zeros at the high byte of each whole code unit: the second byte (little-endian) or the first.
std::size_t HighZeros(std::string_view head, bool bigEndian) {
    std::size_t zeros = 0;
    for (std::size_t i = 0; i + 1 < head.size(); i += 2) {
        if (head[i + (bigEndian ? 0 : 1)] == '\0') ++zeros;
    }
    return zeros;
}

// A CR or LF unit, or the marker in units (any case), in the given byte order.
bool HasWideLineEndOrMarker(std::string_view head, bool bigEndian) {
    std::string letters;  // the low bytes of units with a zero high byte; others as '\1'
    for (std::size_t i = 0; i + 1 < head.size(); i += 2) {
        const char high = head[i + (bigEndian ? 0 : 1)];
        const char low = head[i + (bigEndian ? 1 : 0)];
        if (high == '\0' && (low == '\r' || low == '\n')) return true;
        letters += high == '\0' ? low : '\1';
    }
    for (char& c : letters)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return letters.find(kMarker) != std::string::npos;
}

bool LooksWide(std::string_view head, bool bigEndian) {
    const std::size_t units = head.size() / 2;
    return 2 * HighZeros(head, bigEndian) > units || HasWideLineEndOrMarker(head, bigEndian);
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// 8-bit text: the marker's bytes anywhere in the line, ASCII letters in any case.
bool NarrowLineHoldsMarker(std::string_view s, const Line& line) {
    for (std::size_t at = line.start; at + kMarker.size() <= line.textEnd; ++at) {
        bool match = true;
        for (std::size_t k = 0; k < kMarker.size() && match; ++k) {
            match = LowerAscii(s[at + k]) == kMarker[k];
        }
        if (match) return true;
    }
    return false;
}

// UTF-16LE text: the marker as whole code units at even file offsets, each a letter and a zero.
bool WideLineHoldsMarker(std::string_view s, const Line& line) {
    const std::size_t first = line.start + (line.start % 2);
    for (std::size_t at = first; at + 2 * kMarker.size() <= line.textEnd; at += 2) {
        bool match = true;
        for (std::size_t k = 0; k < kMarker.size() && match; ++k) {
            match = LowerAscii(s[at + 2 * k]) == kMarker[k] && s[at + 2 * k + 1] == '\0';
        }
        if (match) return true;
    }
    return false;
}

std::string Encode(const std::string& text, bool wide) {
    if (!wide) return text;
    std::string bytes;
    for (char c : text) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

}  // namespace

std::uint32_t ModelMask(const ModelSelection& selection) {
    const std::uint32_t ticked = selection.drives & kAllDrivesMask;
    return selection.allBut ? (~ticked & kAllDrivesMask) : ticked;
}

std::string ModelEntryName(const ModelSelection& selection) {
    const std::string letters = TickedLetters(selection);
    return selection.allBut ? "ALLBUT" + letters : letters + "Only";
}

std::string ModelItemLine(const ModelSelection& selection) {
    return "\t\t    \tNAME !!" + ModelEntryName(selection) + "\t\tVALUE NUMERIC\t" +
           std::to_string(ModelMask(selection)) + "\r\n";
}

std::string ModelDefinitionLine(const ModelSelection& selection) {
    return ModelEntryName(selection) + "=\"Restrict " +
           (selection.allBut ? "all drives but " : "") + LetterList(TickedLetters(selection)) +
           " only\"\r\n";
}

// A byte-order mark decides. Without one, in the first 64 KiB: the byte order with more zero high
// bytes is UTF-16 when it also has a CR or LF unit, the marker in units, or zero high bytes in
// most units; anything else (any text without a zero byte) is 8-bit.
ModelEncoding ModelDetectEncoding(std::string_view s) {
    const std::string_view head = s.substr(0, kDetectionWindow);
    if (head.starts_with("\xFF\xFE")) return ModelEncoding::Utf16LE;
    if (head.starts_with("\xFE\xFF")) return ModelEncoding::Utf16BE;
    if (head.starts_with("\xEF\xBB\xBF")) return ModelEncoding::EightBit;
    const std::size_t little = HighZeros(head, false);
    const std::size_t big = HighZeros(head, true);
    if (little > big && LooksWide(head, false)) return ModelEncoding::Utf16LE;
    if (big > little && LooksWide(head, true)) return ModelEncoding::Utf16BE;
    return ModelEncoding::EightBit;
}

std::vector<ModelLine> ModelMarkerLines(std::string_view s, ModelEncoding encoding,
                                        std::size_t wanted) {
    const bool wide = encoding == ModelEncoding::Utf16LE;
    const char wideEnd = wide ? WideLineEndByte(s) : '\0';
    std::vector<ModelLine> markers;
    for (std::size_t at = 0; at < s.size() && markers.size() < wanted;) {
        const Line line = NextLine(s, at, wideEnd);
        if (wide ? WideLineHoldsMarker(s, line) : NarrowLineHoldsMarker(s, line)) {
            markers.push_back({line.end, line.kind});
        }
        at = line.end;
    }
    return markers;
}

std::string ModelSplice(std::string_view s, ModelEncoding encoding, const std::string& item,
                        const std::string& definition) {
    const bool wide = encoding == ModelEncoding::Utf16LE;
    const std::vector<ModelLine> markers = ModelMarkerLines(s, encoding, 3);
    std::string out;
    std::size_t copied = 0;
    for (std::size_t k = 0; k < markers.size(); ++k) {
        // A UTF-16LE insert follows one byte past the marker's line end (between CR and LF); an
        // 8-bit one follows the whole line end. Neither reaches past the end of the source. A
        // last line without a line end gets one before its insert.
        std::string text = k < 2 ? item : definition;
        if (markers[k].end == ModelLineEnd::None) text = "\r\n" + text;
        const std::size_t cut = std::min(markers[k].consumed + (wide ? 1 : 0), s.size());
        out.append(s.substr(copied, cut - copied));
        out.append(Encode(text, wide));
        copied = cut;
    }
    out.append(s.substr(copied));
    return out;
}

ModelOutcome ModelGenerate(std::string_view s, const ModelSelection& selection) {
    ModelOutcome outcome;
    const ModelEncoding encoding = ModelDetectEncoding(s);
    if (encoding == ModelEncoding::Utf16BE) {
        outcome.verdict = ModelVerdict::BigEndian;
        return outcome;
    }
    outcome.markerLines = ModelMarkerLines(s, encoding, 3);
    outcome.markersFound = static_cast<int>(outcome.markerLines.size());
    if (outcome.markersFound < 3) {
        outcome.verdict = ModelVerdict::TooFewMarkers;
        return outcome;
    }
    if (TickedLetters(selection).empty()) {
        outcome.verdict = ModelVerdict::NothingTicked;
        return outcome;
    }
    outcome.entryName = ModelEntryName(selection);
    outcome.bytes =
        ModelSplice(s, encoding, ModelItemLine(selection), ModelDefinitionLine(selection));
    return outcome;
}

}  // namespace tarnwick::model
