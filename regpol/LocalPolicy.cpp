#include "regpol/LocalPolicy.h"

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Text.h"
#include "fileio/Platform.h"

namespace tarnwick::regpol {

std::optional<std::string> LocalPolicySid(const std::string& text) {
    if (EqualNoCase(text, "administrators")) return std::string("S-1-5-32-544");
    if (EqualNoCase(text, "non-administrators")) return std::string("S-1-5-32-545");
    // S-1-<authority>-<sub>..., decimal numbers, at most 15 sub-authorities.
    if (text.size() < 4 || text.size() > 184 || !EqualNoCase(text.substr(0, 4), "S-1-")) {
        return std::nullopt;
    }
    int parts = 0;
    std::size_t digits = 0;
    for (std::size_t i = 4; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '-') {
            if (digits == 0 || digits > 10) return std::nullopt;
            ++parts;
            digits = 0;
        } else if (text[i] >= '0' && text[i] <= '9') {
            ++digits;
        } else {
            return std::nullopt;
        }
    }
    if (parts < 2 || parts > 16) return std::nullopt;
    std::string sid = text;
    sid[0] = 'S';
    return sid;
}

std::string LocalSystemFolder(const std::string& windir) {
    // A 32-bit program on 64-bit Windows sees SysWOW64 under the name System32; Sysnative is the
    // real System32 for it, and exists only then.
    const std::string sysnative = JoinPath(windir, "Sysnative");
    const Result<std::uint32_t> attributes = fileio::CurrentPlatform().Attributes(sysnative);
    const bool wow64 = attributes && (*attributes & fileio::kAttrDirectory) != 0;
    return JoinPath(windir, wow64 ? "Sysnative" : "System32");
}

std::string LocalPolicyFolder(const std::string& windir, const std::optional<std::string>& sid) {
    const std::string system = LocalSystemFolder(windir);
    if (!sid) return JoinPath(system, "GroupPolicy");
    return JoinPath(JoinPath(system, "GroupPolicyUsers"), *sid);
}

std::optional<std::string> LocalPolicyOfPol(const std::string& polPath) {
    // The path's names, last first, each with where it starts.
    std::vector<std::pair<std::string, std::size_t>> names;
    std::size_t end = polPath.size();
    while (end > 0 && names.size() < 6) {
        const std::size_t cut = polPath.find_last_of("/\\", end - 1);
        const std::size_t start = cut == std::string::npos ? 0 : cut + 1;
        names.emplace_back(polPath.substr(start, end - start), start);
        if (cut == std::string::npos) break;
        end = cut;
    }
    const auto is = [&](std::size_t i, std::string_view name) {
        return i < names.size() && EqualNoCase(names[i].first, name);
    };
    if (!is(0, "Registry.pol") || !is(1, "User")) return std::nullopt;
    std::size_t system = 0;  // the index of the system folder's name
    if (is(2, "GroupPolicy")) {
        system = 3;
    } else if (names.size() > 3 && LocalPolicySid(names[2].first) && is(3, "GroupPolicyUsers")) {
        system = 4;
    } else {
        return std::nullopt;
    }
    if (system >= names.size() || names[system].second == 0) return std::nullopt;
    const std::size_t policyEnd = names[1].second - 1;  // the separator before "User"
    std::string folder = polPath.substr(0, policyEnd);
    // A 32-bit program that writes to System32 on 64-bit Windows writes to SysWOW64, where no
    // policy engine looks.
    if (EqualNoCase(names[system].first, "System32")) {
        const std::string root = polPath.substr(0, names[system].second - 1);
        if (LocalSystemFolder(root) != JoinPath(root, "System32")) {
            folder = LocalSystemFolder(root) + folder.substr(names[system].second + 8);
        }
    }
    return folder;
}

}  // namespace tarnwick::regpol
