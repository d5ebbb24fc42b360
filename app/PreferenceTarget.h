// The conditions of Export's preference items, typed one at a time into its small dialog: each
// made a target of the items (or refused with the reason, so the dialog can stay open with what
// was typed), listed, and all joined with AND as gpp joins its --group, --ou and --user.
#pragma once

#include <string>

#include "core/Result.h"
#include "prefs/RegistryXml.h"

namespace tarnwick::app {

struct TypedCondition {
    prefs::TargetKind kind = prefs::TargetKind::Group;
    std::string name;  // DOMAIN\Group, DOMAIN\user or OU=...,DC=...
    std::string sid;   // groups and users
    bool negated = false;
};

Result<prefs::Target> TargetOf(const TypedCondition& typed);

// The dialog's line for a condition: as the outcome tells whom, with the SID the client matches.
std::string ConditionLine(const prefs::Target& target);

// What the name box expects for a kind of condition.
const char* NameHint(prefs::TargetKind kind);

}  // namespace tarnwick::app
