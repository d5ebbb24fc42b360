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

// Whether the byte at `i` ends a line. In UTF-16LE text only the code unit U+000D does: a 0D at an
// even offset whose next byte is 00, or that is the last byte of the file. In 8-bit text any CR
// or LF does.
bool EndsLine(std::string_view s, std::size_t i, bool wide) {
    if (!wide) return s[i] == '\r' || s[i] == '\n';
    return s[i] == '\r' && i % 2 == 0 && (i + 1 == s.size() || s[i + 1] == '\0');
}

// A line ends after its CR, and after the LF right behind it if any (in UTF-16LE text the byte
// behind the CR is its zero high byte, never an LF), or after a lone LF.
Line NextLine(std::string_view s, std::size_t start, bool wide) {
    for (std::size_t i = start; i < s.size(); ++i) {
        if (!EndsLine(s, i, wide)) continue;
        if (s[i] == '\n') return {start, i, i + 1, ModelLineEnd::Lf};
        const bool lf = i + 1 < s.size() && s[i + 1] == '\n';
        return {start, i, lf ? i + 2 : i + 1, lf ? ModelLineEnd::CrLf : ModelLineEnd::Cr};
    }
    return {start, s.size(), s.size(), ModelLineEnd::None};
}

bool ZerosFrom(std::string_view head, std::size_t first) {
    for (std::size_t i = first; i < head.size(); i += 2) {
        if (head[i] != '\0') return false;
    }
    return true;
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

// A byte-order mark decides; without one, zeros at every odd offset of the first 64 KiB mean
// UTF-16LE and zeros at every even offset UTF-16BE.
ModelEncoding ModelDetectEncoding(std::string_view s) {
    const std::string_view head = s.substr(0, kDetectionWindow);
    if (head.starts_with("\xFF\xFE")) return ModelEncoding::Utf16LE;
    if (head.starts_with("\xFE\xFF")) return ModelEncoding::Utf16BE;
    if (head.starts_with("\xEF\xBB\xBF")) return ModelEncoding::EightBit;
    if (head.size() < 2) return ModelEncoding::EightBit;
    if (ZerosFrom(head, 1)) return ModelEncoding::Utf16LE;
    if (ZerosFrom(head, 0)) return ModelEncoding::Utf16BE;
    return ModelEncoding::EightBit;
}

std::vector<ModelLine> ModelMarkerLines(std::string_view s, ModelEncoding encoding,
                                        std::size_t wanted) {
    const bool wide = encoding == ModelEncoding::Utf16LE;
    std::vector<ModelLine> markers;
    for (std::size_t at = 0; at < s.size() && markers.size() < wanted;) {
        const Line line = NextLine(s, at, wide);
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
