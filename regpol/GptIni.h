// gpt.ini of a policy object: the [General] section's Version (user changes in its high 16 bits,
// computer changes in its low 16) and, for the local policy, gPCUserExtensionNames, the client
// extensions that must run for the user part. A client applies a changed Registry.pol only when
// the version moved.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/Result.h"

namespace tarnwick::regpol {

// The registry client extension and the Administrative Templates tool that edits it.
inline constexpr std::string_view kRegistryExtensionPair =
    "[{35378EAC-683F-11D2-A89A-00C04FBBCFA2}{D02B1F73-3407-48AE-BA88-E8213C6761F1}]";

inline constexpr std::uint32_t kUserVersionStep = 0x10000;

struct GptEdit {
    std::string text;
    std::uint32_t oldVersion = 0;
    std::uint32_t newVersion = 0;
};

// `existing` (none: no gpt.ini yet) with the user version one higher and, with
// `registryExtension`, the registry extension listed in gPCUserExtensionNames. Every other line
// keeps its bytes, a UTF-8 byte-order mark stays in front, and lines may end in CR LF, LF or CR;
// new lines take the file's first line end (CR LF in a new file). Refused, so that the version
// never moves backwards or forks: a version that is not a number or whose user part is at its
// maximum, [General] twice, Version twice in it, a file in UTF-16 or with zero bytes.
Result<GptEdit> MoveUserVersion(const std::optional<std::string>& existing, bool registryExtension);

// The Version of [General], if the text has one that is a number and reads as MoveUserVersion reads
// it.
std::optional<std::uint32_t> GptVersion(std::string_view text);

}  // namespace tarnwick::regpol
