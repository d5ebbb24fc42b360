// The Active Directory half of a policy object edit: the LDIF that brings the object's entry
// (its groupPolicyContainer) in line with what was written into its SYSVOL folder. Clients read
// versionNumber there to decide whether to fetch the folder again, and run only the client
// extensions that gPCUserExtensionNames lists, so a folder edited without this may never apply.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/Result.h"

namespace tarnwick::regpol {

// Client extension and editor pairs, as the editor lists them in Active Directory: registry
// policy (Registry.pol; the user-side Administrative Templates editor) and registry preference
// items (Registry.xml).
inline constexpr std::string_view kRegistryPolicyPair =
    "[{35378EAC-683F-11D2-A89A-00C04FBBCFA2}{0F6B957E-509E-11D1-A7CC-0000F87571E3}]";
inline constexpr std::string_view kRegistryPreferencePair =
    "[{B087BE9D-ED37-454F-AF9C-04291E351182}{BEE07A6A-EC9F-4659-B8C9-0B1937907C83}]";

// Stands for the domain's DN when no domain was given; it names no entry, so an LDIF applied
// unchanged fails rather than touching anything.
inline constexpr std::string_view kDomainPlaceholder = "DC=CHANGE-ME,DC=INVALID";

// What the administrator tells about the entry; both optional.
struct AdEntryOptions {
    std::optional<std::string> domain;      // DNS name, such as samdom.example.com
    std::optional<std::string> extensions;  // gPCUserExtensionNames as the entry holds it now
};

// The entry of the policy object in `gpoFolder`, checked before anything is written.
struct GpoEntry {
    std::string guid;  // {GUID}, upper case
    std::string dn;
    bool placeholder = false;                    // no domain given
    std::optional<std::string> knownExtensions;  // checked, as given
};

// The folder's name must be the policy object's {GUID} (as in SYSVOL); the domain a DNS name;
// the extensions a list of [{GUID}{GUID}...] groups.
Result<GpoEntry> GpoEntryOf(std::string_view gpoFolder, const AdEntryOptions& options);

// "DC=samdom,DC=example,DC=com" for "samdom.example.com".
Result<std::string> DomainDn(std::string_view dnsName);

// `listed` with every group of `required` in it: a client extension already listed gains the
// editor GUIDs it lacks. Groups are ordered by their client extension GUID, the editor GUIDs in
// each by value, all in upper case, as the Group Policy editor keeps them. A value that is not
// such a list is refused.
Result<std::string> MergeExtensionNames(std::string_view listed,
                                        std::span<const std::string_view> required);

// The LDIF modify record: versionNumber replaced with `newVersion`, gPCUserExtensionNames with
// the merged list. Without the entry's current list it adds the value instead, which the
// directory refuses when one is there (a single-valued attribute), so nothing listed is lost:
// the whole change is then refused and the comment says to give the current list.
std::string GpoLdif(const GpoEntry& entry, std::uint32_t newVersion,
                    std::span<const std::string_view> required);

}  // namespace tarnwick::regpol
