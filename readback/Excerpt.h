// Offending text as a message quotes it: a whole line or word of a crafted file may be megabytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/Text.h"

namespace tarnwick::readback {

inline constexpr std::size_t kExcerptBytes = 80;

// `text` itself when short; else its first `bytes` bytes, cut before a UTF-8 character that would
// not fit, and "...". Control characters are shown as escapes (Visible).
inline std::string Excerpt(std::string_view text, std::size_t bytes = kExcerptBytes) {
    if (text.size() <= bytes) return Visible(text);
    std::size_t cut = bytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return Visible(text.substr(0, cut)) + "...";
}

}  // namespace tarnwick::readback
