#include "regpol/Ldif.h"

#include <map>
#include <set>
#include <vector>

#include "core/Text.h"

namespace tarnwick::regpol {

namespace {

constexpr std::size_t kGuidText = 38;  // {8-4-4-4-12}

bool IsGuid(std::string_view text) {
    if (text.size() != kGuidText || text.front() != '{' || text.back() != '}') return false;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != '-' : DigitValue(text[i], 16) < 0) return false;
    }
    return true;
}

// The last name of a path, either separator, trailing ones ignored.
std::string_view LastName(std::string_view path) {
    while (!path.empty() && (path.back() == '/' || path.back() == '\\'))
        path.remove_suffix(1);
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

using Groups = std::map<std::string, std::set<std::string>>;  // extension -> editors

// Adds each "[{ext}{editor}...]" group of `value` to `groups`; false for anything else.
bool AddGroups(std::string_view value, Groups& groups) {
    while (!value.empty()) {
        const std::size_t close = value.find(']');
        if (value.front() != '[' || close == std::string_view::npos) return false;
        std::string_view inner = value.substr(1, close - 1);
        value.remove_prefix(close + 1);
        if (inner.empty() || inner.size() % kGuidText != 0) return false;
        std::set<std::string>* editors = nullptr;
        for (; !inner.empty(); inner.remove_prefix(kGuidText)) {
            const std::string_view guid = inner.substr(0, kGuidText);
            if (!IsGuid(guid)) return false;
            if (editors) {
                editors->insert(UpperAscii(guid));
            } else {
                editors = &groups[UpperAscii(guid)];
            }
        }
    }
    return true;
}

std::string Render(const Groups& groups) {
    std::string out;
    for (const auto& [extension, editors] : groups) {
        out += "[" + extension;
        for (const auto& editor : editors)
            out += editor;
        out += "]";
    }
    return out;
}

}  // namespace

Result<std::string> DomainDn(std::string_view dnsName) {
    if (!dnsName.empty() && dnsName.back() == '.') dnsName.remove_suffix(1);
    const Failure refused{"--domain takes the domain's DNS name, such as samdom.example.com, not " +
                          Quoted(Visible(dnsName))};
    if (dnsName.empty() || dnsName.size() > 253) return refused;
    std::string dn;
    while (true) {
        const std::size_t dot = dnsName.find('.');
        const std::string_view label = dnsName.substr(0, dot);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') {
            return refused;
        }
        for (char c : label) {
            const bool letter = (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
            if (c != '-' && !letter && DigitValue(c, 10) < 0) return refused;
        }
        dn += (dn.empty() ? "DC=" : ",DC=") + std::string(label);
        if (dot == std::string_view::npos) return dn;
        dnsName.remove_prefix(dot + 1);
    }
}

Result<GpoEntry> GpoEntryOf(std::string_view gpoFolder, const AdEntryOptions& options) {
    GpoEntry entry;
    const std::string_view name = LastName(gpoFolder);
    if (!IsGuid(name)) {
        return Failure{
            "The LDIF names the policy object by its GUID, which is the name of its "
            "folder in SYSVOL ({31B2F340-016D-11D2-945F-00C04FB984F9}, say); " +
            Quoted(Visible(name)) + " is no such name."};
    }
    entry.guid = UpperAscii(name);
    std::string domain(kDomainPlaceholder);
    entry.placeholder = !options.domain;
    if (options.domain) {
        auto dn = DomainDn(*options.domain);
        if (!dn) return dn.failure();
        domain = *dn;
    }
    entry.dn = "CN=" + entry.guid + ",CN=Policies,CN=System," + domain;
    if (options.extensions) {
        Groups groups;
        if (!AddGroups(*options.extensions, groups)) {
            return Failure{
                "--extensions takes gPCUserExtensionNames as the entry holds it, "
                "[{GUID}{GUID}] groups, not " +
                Quoted(Visible(*options.extensions))};
        }
        entry.knownExtensions = options.extensions;
    }
    return entry;
}

Result<std::string> MergeExtensionNames(std::string_view listed,
                                        std::span<const std::string_view> required) {
    Groups groups;
    if (!AddGroups(listed, groups)) {
        return Failure{"gPCUserExtensionNames is not a list of [{GUID}{GUID}] groups"};
    }
    for (std::string_view pair : required)
        if (!AddGroups(pair, groups))
            return Failure{"not a [{GUID}{GUID}] group: " + std::string(pair)};
    return Render(groups);
}

std::string GpoLdif(const GpoEntry& entry, std::uint32_t newVersion,
                    std::span<const std::string_view> required) {
    const std::string listed = entry.knownExtensions.value_or("");
    // The required pairs are ours and the listed ones were checked: the merge cannot fail.
    const std::string merged = MergeExtensionNames(listed, required).value();
    std::string out = "# The Active Directory entry of policy object " + entry.guid + ".\n";
    if (entry.placeholder) {
        out += "# " + std::string(kDomainPlaceholder) +
               " stands for your domain: give --domain DNS-NAME, or replace it.\n";
    }
    if (!entry.knownExtensions) {
        out +=
            "# gPCUserExtensionNames is added: if the entry lists extensions already, the "
            "directory refuses\n# this whole change; give them with --extensions 'VALUE' and "
            "they are kept.\n";
    }
    out += "dn: " + entry.dn + "\nchangetype: modify\nreplace: versionNumber\nversionNumber: " +
           std::to_string(newVersion) + "\n-\n";
    const char* how = entry.knownExtensions ? "replace" : "add";
    out += std::string(how) + ": gPCUserExtensionNames\ngPCUserExtensionNames: " + merged + "\n-\n";
    return out;
}

}  // namespace tarnwick::regpol
