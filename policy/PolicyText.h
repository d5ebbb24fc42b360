// The policy-definition pair as text: an ADMX file with its English language file (ADML) that
// offer a list of drive sets in two policies, hiding drives and preventing access to them. The pair
// is made whole from its list of items, so the same list gives the same bytes everywhere; reading
// a pair back gives the list, or says why the pair cannot be one of ours.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::policy {

inline constexpr const char* kAdmxName = "TarnwickDrives.admx";
inline constexpr const char* kCulture = "en-US";
inline constexpr const char* kAdmlName = "TarnwickDrives.adml";

inline constexpr const char* kPolicyNamespace =
    "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions";
// The target namespace that marks a pair as Tarnwick's.
inline constexpr const char* kTargetNamespace = "Tarnwick.Policies.Drives";

// One drive set as both policies offer it.
struct DriveItem {
    std::string entryName;    // the string id: letters, digits and underscores
    std::string displayText;  // "Restrict C, D and E only"
    std::uint32_t mask = 0;   // the registry value
    friend bool operator==(const DriveItem&, const DriveItem&) = default;
};

// Names and ids hold letters, digits and underscores only, and at least one character.
bool IsValidId(std::string_view id);

std::string RenderAdmx(const std::vector<DriveItem>& items);
std::string RenderAdml(const std::vector<DriveItem>& items);

struct ReadResult {
    bool ok = false;
    std::vector<DriveItem> items;  // when ok, in the order the lists give them
    // When not ok: which of the two files is at fault and why, in a sentence (without the path).
    bool admxAtFault = true;
    std::string cause;
};

// Reads a pair written by RenderAdmx and RenderAdml (or by hand, as long as it stays one of
// ours): both well-formed, the ADMX in Tarnwick's target namespace with both policies listing the
// same items, and every item's string in the ADML.
ReadResult ReadPair(std::string_view admx, std::string_view adml);

// Only the language file, for a pair whose ADMX is missing (a run that stopped between the two
// replaces leaves that): true when it is one of ours, else `cause` says why not.
bool IsOwnLanguageFile(std::string_view adml, std::string& cause);

}  // namespace tarnwick::policy
