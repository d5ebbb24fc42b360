// How a source template is encoded, judged from its first bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnwick {

enum class SourceEncoding {
    Utf16LE,   // the system's own templates: lines end in 0D 00 0A 00
    EightBit,  // ANSI or UTF-8: lines end at CR LF, a lone CR or a lone LF
    Utf16BE,   // refused: its line ends and markers are not where the byte rules look
};

// How much of the start of a file the detection looks at.
inline constexpr std::size_t kDetectionWindow = 64 * 1024;

// `head` is the start of the file (up to kDetectionWindow bytes; more are ignored).
SourceEncoding DetectEncoding(const std::uint8_t* head, std::size_t size);

}  // namespace tarnwick
