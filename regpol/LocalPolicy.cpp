#include "regpol/LocalPolicy.h"

#include <cstdint>

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

}  // namespace tarnwick::regpol
