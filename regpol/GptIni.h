// gpt.ini of a policy object: the [General] section's Version (user changes in its high 16 bits,
// computer changes in its low 16) and, for the local policy, gPCUserExtensionNames, the client
// extensions that must run for the user part. A client applies a changed Registry.pol only when
// the version moved.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/Result.h"

namespace tarnwick::regpol {

// The registry policy pair that gpt.ini (local policy) and the directory list alike:
// {35378EAC-...} is the client extension that applies Registry.pol, which a client runs only when
// the list names it; {D02B1F73-...} is the user side of the Administrative Templates editor as
// Windows has listed it since Vista, which the editor reads to know which of its parts hold
// settings. The same editor's earlier GUID, {0F6B957E-509E-11D1-A7CC-0000F87571E3} (Windows 2000
// to Server 2003), is never written but kept where a list has it: the client runs the extension
// either way.
inline constexpr std::string_view kRegistryPolicyPair =
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

// `listed` (gPCUserExtensionNames) with every group of `required` in it: a client extension
// already listed gains the editor GUIDs it lacks. Groups are ordered by their client extension
// GUID, the editor GUIDs in each by value, all in upper case, as the Group Policy editor keeps
// them. A value that is not such a list is refused.
Result<std::string> MergeExtensionNames(std::string_view listed,
                                        std::span<const std::string_view> required);

// Whether `text` is a GUID in braces, {8-4-4-4-12} hex digits of either case.
bool IsGuid(std::string_view text);

// Whether `value` is a list of [{GUID}{GUID}...] groups (empty included).
bool IsExtensionList(std::string_view value);

// The Version of [General], if the text has one that is a number and reads as MoveUserVersion reads
// it.
std::optional<std::uint32_t> GptVersion(std::string_view text);

}  // namespace tarnwick::regpol
