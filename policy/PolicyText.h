// The policy-definition pair as text: an ADMX file with its English language file (ADML) that
// offer a list of drive sets in two policies, hiding drives and preventing access to them. A new
// pair is made whole from its list of items, so the same list gives the same bytes everywhere.
// An existing pair is read back into its list, or refused with the reason it cannot be one of
// ours, and grows by insertions only: whatever an administrator edited by hand stays.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/Result.h"
#include "xml/Xml.h"

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

// Where one new element goes in a file: the byte offset, the line end and indentation that come
// before it (copied from the element it follows), the indentation of one level deeper, and the
// prefix of the policy namespace as the file writes its element names ("" or "pd:").
struct InsertPoint {
    std::size_t at = 0;
    std::string lineEnd;  // "\r\n", "\n", or "" when the neighbours share one line
    std::string indent;
    std::string step;
    std::string prefix;
    xml::Encoding encoding = xml::Encoding::Utf8;
};

// A language file as read for an edit: its string ids and where a new string goes. A refusal's
// message is a sentence without the path.
struct LanguageFile {
    std::unordered_map<std::string, std::string> strings;
    InsertPoint point;
};
Result<LanguageFile> ReadLanguageFile(std::string_view adml);

// A pair as read for an edit.
struct Pair {
    std::vector<DriveItem> items;  // in the order the lists give them
    InsertPoint lists[2];          // where each policy's list takes a new item
    LanguageFile language;
};

// Why a pair is not edited: a sentence without the path, and which of the two files is at fault.
struct PairFailure : Failure {
    bool admxAtFault = true;
};

// Reads a pair written by RenderAdmx and RenderAdml (or by hand, as long as it stays one of
// ours): both well-formed, the ADMX in Tarnwick's target namespace with both policies listing the
// same items, and every item's string in the ADML. Linear in the size of the pair.
Result<Pair, PairFailure> ReadPair(std::string_view admx, std::string_view adml);

// Only the language file, for a pair whose ADMX is missing (a run that stopped between the two
// replaces leaves that): refused, saying why, when it is not one of ours.
Status IsOwnLanguageFile(std::string_view adml);

// The ADMX with `item` after the last item of both lists, every other byte as it was.
std::string GrowAdmx(std::string_view admx, const Pair& read, const DriveItem& item);
// The language file with the item's string after the last string of its table.
std::string GrowAdml(std::string_view adml, const LanguageFile& read, const DriveItem& item);

// At most `limit` characters of `text` for a message (cut on a character boundary, with "..."
// after a cut), so that a huge name or value never fills the screen; control characters as
// escapes (Visible).
std::string Clip(std::string_view text, std::size_t limit = 80);

}  // namespace tarnwick::policy
