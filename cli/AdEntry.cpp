#include "cli/AdEntry.h"

#include <utility>

#include "core/Text.h"
#include "fileio/WriteFiles.h"
#include "fileio/mdlAPIFiles.h"
#include "paths/PathText.h"

namespace tarnwick::cli {

namespace {

std::string JoinedPairs(std::span<const std::string_view> pairs) {
    std::string joined;
    for (std::string_view pair : pairs)
        joined += pair;
    return joined;
}

}  // namespace

Result<AdPlan> PlanAdEntry(const Options& options, const std::string& folder) {
    AdPlan plan;
    auto entry =
        regpol::GpoEntryOf(folder, {options.domain, options.extensions, options.versionNumber});
    if (entry) {
        plan.entry = std::move(*entry);
    } else if (options.ldif || options.domain || options.extensions || options.versionNumber) {
        return Failure{entry.failure().message + " Nothing was written."};
    }
    if (options.ldif) {
        plan.ldifPath = AbsolutePath(*options.ldif, CurrentPathBase());
        if (!options.force && fileio::FileExists(*plan.ldifPath)) {
            return Failure{"The LDIF file " + Quoted(*plan.ldifPath) +
                           " is already there; nothing was written. Use --force to replace it."};
        }
    }
    return plan;
}

CliResult EmitAdEntry(const Options& options, const AdPlan& plan, std::uint32_t oldVersion,
                      std::uint32_t newVersion, std::span<const std::string_view> required) {
    if (!plan.entry) {
        return {
            kExitDone,
            "Note: no LDIF for Active Directory: the folder's name is not the policy "
            "object's {GUID}. Its versionNumber must become " +
                std::to_string(newVersion) + " and its gPCUserExtensionNames must list " +
                JoinedPairs(required) +
                ": set both (ADSI "
                "Edit, or Set-ADObject), or run this command on the object's folder in SYSVOL.\n",
            ""};
    }
    const std::string ldif = regpol::GpoLdif(*plan.entry, oldVersion, newVersion, required);
    // What the LDIF does and how to apply it, after the LDIF's name.
    const std::string about =
        " sets the policy object's versionNumber and gPCUserExtensionNames" +
        (plan.entry->placeholder ? "; first replace " + std::string(regpol::kDomainPlaceholder) +
                                       " in it with your domain's DN, or give --domain"
                                 : std::string()) +
        ". Apply it on a domain controller (Samba: ldbmodify -H "
        "/var/lib/samba/private/sam.ldb FILE; Windows: ldifde -i -f FILE). The directory "
        "refuses it whole if the entry no longer holds the values it was made from (another "
        "run's LDIF or another administrator changed them): then read versionNumber and "
        "gPCUserExtensionNames and run the command again with --version-number N --extensions "
        "'VALUE'.\n";
    if (!plan.ldifPath) return {kExitDone, "Active Directory: the LDIF below" + about + ldif, ""};
    fileio::FileSet set;
    set.files.push_back(
        {*plan.ldifPath, ldif, fileio::ConsentTo(*plan.ldifPath, options.force), "The LDIF file"});
    const Result<fileio::SetOutcome> written = fileio::WriteFiles(std::move(set));
    if (!written) {
        return {kExitPartly, ldif,
                "tarnwick-cli: " + written.failure().message +
                    " The policy object's folder was written; its LDIF is on standard output.\n"};
    }
    return {kExitDone,
            (written->replaced[0] ? "Replaced: " : "Created: ") + *plan.ldifPath +
                "\nActive Directory: " + Quoted(*plan.ldifPath) + about,
            ""};
}

}  // namespace tarnwick::cli
