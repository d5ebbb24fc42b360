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
#include "regpol/GptIni.h"

namespace tarnwick::regpol {

// The client extension and editor pair of registry preference items (Registry.xml), as the editor
// lists it in Active Directory; registry policy's is kRegistryPolicyPair (GptIni.h).
inline constexpr std::string_view kRegistryPreferencePair =
    "[{B087BE9D-ED37-454F-AF9C-04291E351182}{BEE07A6A-EC9F-4659-B8C9-0B1937907C83}]";

// Stands for the domain's DN when no domain was given; it names no entry, so an LDIF applied
// unchanged fails rather than touching anything.
inline constexpr std::string_view kDomainPlaceholder = "DC=CHANGE-ME,DC=INVALID";

// What the administrator tells about the entry; all optional.
struct AdEntryOptions {
    std::optional<std::string> domain;      // DNS name, such as samdom.example.com
    std::optional<std::string> extensions;  // gPCUserExtensionNames as the entry holds it now
    std::optional<std::string> version;     // versionNumber as the entry holds it now
};

// The entry of the policy object in `gpoFolder`, checked before anything is written.
struct GpoEntry {
    std::string guid;  // {GUID}, upper case
    std::string dn;
    bool placeholder = false;                    // no domain given
    std::optional<std::string> knownExtensions;  // checked, as given
    std::optional<std::uint32_t> knownVersion;
};

// The folder's name must be the policy object's {GUID} (as in SYSVOL); the domain a DNS name;
// the extensions a list of [{GUID}{GUID}...] groups; the version a number.
Result<GpoEntry> GpoEntryOf(std::string_view gpoFolder, const AdEntryOptions& options);

// "DC=samdom,DC=example,DC=com" for "samdom.example.com".
Result<std::string> DomainDn(std::string_view dnsName);

// The LDIF modify record. Each attribute is changed by deleting the exact value read and adding
// the new one, so that the directory applies the record only while the entry still holds what
// was read: a stale record (another run's, or another administrator's change since) is refused
// whole with "no such attribute value" instead of undoing that change. versionNumber goes from
// the entry's known version (else `oldVersion`, gpt.ini's before this run) to `newVersion`;
// gPCUserExtensionNames from the known list to the list merged with `required`. Without a known
// list the value is only added, which the directory refuses when one is there (a single-valued
// attribute).
std::string GpoLdif(const GpoEntry& entry, std::uint32_t oldVersion, std::uint32_t newVersion,
                    std::span<const std::string_view> required);

}  // namespace tarnwick::regpol
