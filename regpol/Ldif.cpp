#include "regpol/Ldif.h"

#include "core/Text.h"

namespace tarnwick::regpol {

namespace {

// The last name of a path, either separator, trailing ones ignored.
std::string_view LastName(std::string_view path) {
    while (!path.empty() && (path.back() == '/' || path.back() == '\\'))
        path.remove_suffix(1);
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
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
        if (!IsExtensionList(*options.extensions)) {
            return Failure{
                "--extensions takes gPCUserExtensionNames as the entry holds it, "
                "[{GUID}{GUID}] groups, not " +
                Quoted(Visible(*options.extensions))};
        }
        entry.knownExtensions = options.extensions;
    }
    if (options.version) {
        const auto version = ReadU32(*options.version);
        if (!version) {
            return Failure{
                "--version-number takes versionNumber as the entry holds it, a number, not " +
                Quoted(Visible(*options.version))};
        }
        entry.knownVersion = *version;
    }
    return entry;
}

std::string GpoLdif(const GpoEntry& entry, std::uint32_t oldVersion, std::uint32_t newVersion,
                    std::span<const std::string_view> required) {
    const std::string listed = entry.knownExtensions.value_or("");
    // The required pairs are ours and the listed ones were checked: the merge cannot fail.
    const std::string merged = MergeExtensionNames(listed, required).value();
    const std::uint32_t read = entry.knownVersion.value_or(oldVersion);
    std::string out = "# The Active Directory entry of policy object " + entry.guid + ".\n";
    if (entry.placeholder) {
        out += "# " + std::string(kDomainPlaceholder) +
               " stands for your domain: give --domain DNS-NAME, or replace it.\n";
    }
    out +=
        "# Applied only while the entry holds versionNumber " + std::to_string(read) + " and " +
        (listed.empty() ? "no gPCUserExtensionNames" : "the gPCUserExtensionNames below") +
        ";\n# if the directory refuses it (no such attribute value, or the value exists), read "
        "both\n# again and run the command again with --version-number N --extensions 'VALUE'.\n";
    out += "dn: " + entry.dn + "\nchangetype: modify\n";
    // The value read deleted (none: nothing is there to delete), then the new one added.
    const auto change = [&out](const std::string& name, const std::optional<std::string>& from,
                               const std::string& to) {
        if (from) out += "delete: " + name + "\n" + name + ": " + *from + "\n-\n";
        out += "add: " + name + "\n" + name + ": " + to + "\n-\n";
    };
    change("versionNumber", std::to_string(read), std::to_string(newVersion));
    change("gPCUserExtensionNames",
           listed.empty() ? std::nullopt : std::optional<std::string>(listed), merged);
    return out;
}

}  // namespace tarnwick::regpol
