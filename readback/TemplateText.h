// The bytes of an ADM template as UTF-8 text. Templates come as UTF-16LE (with or without a
// byte-order mark) or as 8-bit text: UTF-8 when the bytes are valid UTF-8, else Windows-1252.
// Which of them a file is, the detection that make uses too decides (core/SourceFormat.h), so
// that show reads every template that make accepts, and as make reads it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/Limits.h"
#include "readback/DriveItem.h"

namespace tarnwick::readback {

// Takes the bytes over (8-bit UTF-8 text is used in place). Refuses UTF-16 big-endian text
// (line 1) and more than `limit` bytes (line 0). Characters that cannot be
// decoded (an unpaired surrogate, an odd last byte) become U+FFFD: the reader reports what it
// finds, it does not repair files.
Result<std::string, ReadFailure> DecodeTemplateText(std::string bytes,
                                                    std::uint64_t limit = kMaxInputBytes);

}  // namespace tarnwick::readback
