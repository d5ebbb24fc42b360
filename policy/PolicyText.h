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

#include "core/DriveItem.h"
#include "core/Result.h"
#include "core/Text.h"
#include "xml/Xml.h"

namespace tarnwick::policy {

// The pair's own name: its two files, its category and the file name Export suggests.
inline constexpr char kPairName[] = "TarnwickDrives";
inline constexpr auto kAdmxFile = JoinedText(kPairName, ".admx");
inline constexpr const char* kAdmxName = kAdmxFile.data();
inline constexpr const char* kCulture = "en-US";
inline constexpr auto kAdmlFile = JoinedText(kPairName, ".adml");
inline constexpr const char* kAdmlName = kAdmlFile.data();

// The folder the Group Policy editor reads policy definitions from, and the local one of them
// under the Windows folder.
inline constexpr char kStoreName[] = "PolicyDefinitions";
inline std::string LocalStore(const std::string& windir) {
    return windir + "\\" + kStoreName;
}

inline constexpr const char* kPolicyNamespace =
    "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions";
// The target namespace that marks a pair as Tarnwick's.
inline constexpr const char* kTargetNamespace = "Tarnwick.Policies.Drives";

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

}  // namespace tarnwick::policy
