#include "prefs/Audience.h"

#include <utility>

namespace tarnwick::prefs {

std::string AudienceText(const std::vector<Target>& targets) {
    std::vector<ReadFilter> filters;
    for (const Target& target : targets) {
        ReadFilter filter;
        filter.kind = target.kind == TargetKind::Group     ? "FilterGroup"
                      : target.kind == TargetKind::OrgUnit ? "FilterOrgUnit"
                                                           : "FilterUser";
        filter.negated = target.negated;
        filter.name = target.name;
        filters.push_back(std::move(filter));
    }
    const std::string text = TargetsText(filters);
    return text.empty() ? "for every user the policy object reaches" : text;
}

}  // namespace tarnwick::prefs
