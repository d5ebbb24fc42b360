// A plain, line-by-line account of the byte rules and of where the inserts go, written without the
// streaming code's shortcuts, to compare it against. Also random sources that make markers, near
// misses, line ends and block edges meet often.
#pragma once

#include <cctype>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "generate/LineReader.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::test {

// Every line of `s`, with whether it holds the marker, cut as the reader must cut it.
struct RefLine {
    LineInfo info;
    bool hasMarker = false;
};

inline std::vector<RefLine> ReferenceLines(const std::string& s, bool utf16) {
    std::vector<RefLine> lines;
    for (std::size_t start = 0; start < s.size();) {
        std::size_t textEnd = start;
        while (textEnd < s.size() && s[textEnd] != '\r' && (utf16 || s[textEnd] != '\n')) {
            ++textEnd;
        }
        std::size_t end = textEnd;
        LineEnd kind = LineEnd::None;
        if (end < s.size()) {
            kind = s[end] == '\r' ? LineEnd::Cr : LineEnd::Lf;
            ++end;
            if (kind == LineEnd::Cr && end < s.size() && s[end] == '\n') {
                ++end;
                kind = LineEnd::CrLf;
            }
        }
        // The text: bytes as they are, or UTF-16LE units at even offsets ('?' for non-ASCII).
        std::string text;
        if (utf16) {
            for (std::size_t i = start + start % 2; i + 1 < textEnd; i += 2) {
                text += s[i + 1] == '\0' ? s[i] : '?';
            }
        } else {
            text = s.substr(start, textEnd - start);
        }
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        lines.push_back({{end, kind}, text.find("abcdonly") != std::string::npos});
        start = end;
    }
    return lines;
}

inline std::vector<LineInfo> ReferenceMarkerLines(const std::string& s, bool utf16,
                                                  std::size_t wanted) {
    std::vector<LineInfo> found;
    for (const RefLine& line : ReferenceLines(s, utf16)) {
        if (line.hasMarker && found.size() < wanted) found.push_back(line.info);
    }
    return found;
}

// The new template for a source with three marker lines: UTF-16LE inserts one byte past the
// marker line (capped at the end), 8-bit ones right after it, and after a last marker line
// without a line end, a CR LF first.
inline std::string ReferenceLayout(const std::string& s, bool utf16, const std::string& item,
                                   const std::string& definition) {
    const std::vector<LineInfo> markers = ReferenceMarkerLines(s, utf16, 3);
    std::string out;
    std::size_t copied = 0;
    for (std::size_t k = 0; k < markers.size(); ++k) {
        std::string text = k < 2 ? item : definition;
        std::size_t at = markers[k].consumed + (utf16 ? 1 : 0);
        if (markers[k].end == LineEnd::None) text = "\r\n" + text;
        if (at > s.size()) at = s.size();
        out += s.substr(copied, at - copied) + (utf16 ? Utf16(text) : text);
        copied = at;
    }
    return out + s.substr(copied);
}

inline std::string RandomSource(std::mt19937& random, bool utf16, int pieces = 60) {
    // Mostly marker letters, so that markers, near misses and line ends all come often.
    static const std::string kPieces[] = {"abcdonly", "ABCDONLY", "aBcDoNlY", "abcd", "only",
                                          "x",        "\r\n",     "\r",       "\n",   " "};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(kPieces) - 1);
    std::uniform_int_distribution<int> count(0, pieces);
    std::string text;
    for (int n = count(random); n > 0; --n)
        text += kPieces[pick(random)];
    if (!utf16) return text;
    std::string bytes = "\xFF\xFE" + Utf16(text);
    // A few units that are not ASCII, one of them with a letter in its low byte.
    if (bytes.size() > 8 && random() % 2) bytes.replace(4, 2, "b\x62");
    if (bytes.size() > 12 && random() % 2) bytes.insert(9, 1, '\0');  // shifts the alignment
    return bytes;
}

}  // namespace tarnwick::test
