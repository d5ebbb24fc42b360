// How a template is encoded, and where its lines end, judged from its first bytes: the one decision
// that make (the splicer) and show (the readers) share, so that show reads every template that
// make accepts, and as make reads it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarnwick {

// What every template's drive lists hold in some case ("ABCDOnly", "abcdonly").
inline constexpr std::string_view kMarkerText = "abcdonly";

enum class SourceEncoding {
    Utf16LE,   // the system's own templates: lines end in 0D 00 0A 00
    EightBit,  // ANSI or UTF-8: lines end at CR LF, a lone CR or a lone LF
    Utf16BE,   // refused: its line ends and markers are not where the byte rules look
};

// Which code unit ends a UTF-16LE line. The system's templates end theirs in CR LF, and a CR
// alone ends a line; a template saved with LF alone, whose start holds no CR unit at all, ends
// its lines at the LF unit instead (otherwise its first marker line would run to the end).
enum class WideLineEnd { Cr, Lf };

struct SourceFormat {
    SourceEncoding encoding = SourceEncoding::EightBit;
    WideLineEnd wideLineEnd = WideLineEnd::Cr;  // only for Utf16LE
    bool byteOrderMark = false;                 // the encoding came from a mark
};

// How much of the start of a file the detection looks at.
inline constexpr std::size_t kDetectionWindow = 64 * 1024;

// `head` is the start of the file (up to kDetectionWindow bytes; more are ignored).
SourceFormat DetectFormat(const std::uint8_t* head, std::size_t size);

}  // namespace tarnwick
