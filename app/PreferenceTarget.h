// The small dialog of Export's preference items: for whom they apply, as typed, made into the
// targets of the items (or refused with the reason, so the dialog can stay open).
#pragma once

#include <string>
#include <vector>

#include "core/Result.h"
#include "prefs/RegistryXml.h"

namespace tarnwick::app {

enum class Audience { Everyone, Group, OrgUnit };

struct TargetAnswer {
    Audience audience = Audience::Everyone;
    std::string groupName;  // DOMAIN\Group
    std::string groupSid;
    std::string ouName;  // OU=...,DC=...
    bool negated = false;
};

Result<std::vector<prefs::Target>> TargetsOf(const TargetAnswer& answer);

}  // namespace tarnwick::app
