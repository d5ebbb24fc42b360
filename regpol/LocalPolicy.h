// This computer's local policy: the folders of the local policy and of the local policies per group
// or user (GroupPolicyUsers), named as a 32-bit program on 64-bit Windows must name them.
#pragma once

#include <optional>
#include <string>

namespace tarnwick::regpol {

// The SID of --for: administrators (S-1-5-32-544), non-administrators (S-1-5-32-545), or a SID
// (S-1-5-21-...), in any case; nothing for anything else.
std::optional<std::string> LocalPolicySid(const std::string& text);

// The real System32 under `windir`: Sysnative for a 32-bit program on 64-bit Windows.
std::string LocalSystemFolder(const std::string& windir);

// The local policy's folder (GroupPolicy), or that of the local policy for `sid`
// (GroupPolicyUsers\<SID>).
std::string LocalPolicyFolder(const std::string& windir, const std::optional<std::string>& sid);

}  // namespace tarnwick::regpol
