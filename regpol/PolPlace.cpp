#include "regpol/PolPlace.h"

#include <string_view>
#include <utility>

#include "core/Text.h"
#include "fileio/WriteFiles.h"
#include "regpol/Ldif.h"
#include "regpol/LocalPolicy.h"

namespace tarnwick::regpol {

namespace {

bool IsFile(const std::string& path) {
    const Result<fileio::Entry> entry = fileio::CurrentPlatform().Lookup(path);
    return entry && entry->kind == fileio::EntryKind::Regular;
}

}  // namespace

Result<PolPlace> PolPlaceOf(const std::string& polPath) {
    // The path's last names, last first, each with where it starts.
    struct Name {
        std::string_view text;
        std::size_t start;
    };
    Name names[5];
    std::size_t count = 0;
    for (std::size_t end = polPath.size(); end > 0 && count < 5;) {
        const std::size_t cut = polPath.find_last_of("/\\", end - 1);
        const std::size_t start = cut == std::string::npos ? 0 : cut + 1;
        names[count++] = {std::string_view(polPath).substr(start, end - start), start};
        if (cut == std::string::npos) break;
        end = cut;
    }
    const auto is = [&](std::size_t i, std::string_view name) {
        return i < count && EqualNoCase(names[i].text, name);
    };
    if (!is(0, "Registry.pol") || !is(1, "User") || names[1].start == 0) return PolPlace{};
    // The folder above User, without the separator before it.
    std::string folder = polPath.substr(0, names[1].start - 1);
    std::size_t system = 0;  // the index of the system folder's name
    if (is(2, "GroupPolicy")) {
        system = 3;
    } else if (is(3, "GroupPolicyUsers")) {
        const std::string sid(names[2].text);
        if (!LocalPolicySid(sid) || (sid[0] != 'S' && sid[0] != 's')) {
            return Failure{Quoted(sid) + " in " + Quoted(polPath) +
                           " is no security identifier, so no local policy would apply it: a "
                           "local policy for a group or user is GroupPolicyUsers\\SID\\User, "
                           "such as S-1-5-32-544 (administrators), S-1-5-32-545 "
                           "(non-administrators) or a user's S-1-5-21-.... Nothing was written."};
        }
        system = 4;
    } else {
        const bool backup = is(2, "GPO") && is(3, "DomainSysvol");
        if (backup || IsFile(GptPathOf(folder)) || GpoEntryOf(folder, {})) {
            return PolPlace{PolPlaceKind::PolicyObject, std::move(folder)};
        }
        return PolPlace{};
    }
    if (system >= count || names[system].start == 0) return PolPlace{};
    // A 32-bit program that writes to System32 on 64-bit Windows writes to SysWOW64, where no
    // policy engine looks.
    if (EqualNoCase(names[system].text, "System32")) {
        const std::string root = polPath.substr(0, names[system].start - 1);
        if (LocalSystemFolder(root) != JoinPath(root, "System32")) {
            folder = LocalSystemFolder(root) + folder.substr(names[system].start + 8);
        }
    }
    return PolPlace{PolPlaceKind::LocalPolicy, std::move(folder)};
}

Result<GpoChange> EditLocalPolicy(const std::string& folder, std::uint32_t mask, DrivePolicy policy,
                                  PolAction action, fileio::Waiter* waiter) {
    if (Status made = fileio::MakeFolder(folder, "The local policy folder", true); !made) {
        return made.failure();
    }
    return EditGpo(folder, mask, policy, action, true, waiter);
}

}  // namespace tarnwick::regpol
