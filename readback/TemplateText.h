// The bytes of an ADM template as UTF-8 text. Templates come as UTF-16LE (with or without a
// byte-order mark) or as 8-bit text: UTF-8 when the bytes are valid UTF-8, else Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::readback {

// Throws ReadError (line 1) for UTF-16 big-endian text. Characters that cannot be decoded (an
// unpaired surrogate, an odd last byte) become U+FFFD: the reader reports what it finds, it does
// not repair files.
std::string DecodeTemplateText(std::string_view bytes);

// UTF-8 of one code point.
void AppendUtf8(std::string& out, char32_t code);

}  // namespace tarnwick::readback
