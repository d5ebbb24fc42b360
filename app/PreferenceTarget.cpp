#include "app/PreferenceTarget.h"

#include "core/Text.h"
#include "prefs/Audience.h"

namespace tarnwick::app {

Result<prefs::Target> TargetOf(const TypedCondition& typed) {
    prefs::Target target;
    target.kind = typed.kind;
    target.negated = typed.negated;
    target.name = std::string(TrimBlanks(typed.name));
    if (const auto problem = prefs::NameProblem(target)) {
        std::string message = *problem + ".";
        message[0] = static_cast<char>(message[0] - 'a' + 'A');
        return Failure{message};
    }
    if (typed.kind != prefs::TargetKind::OrgUnit) {
        const auto sid = prefs::NormalSid(TrimBlanks(typed.sid));
        if (!sid) {
            return Failure{
                "The SID must be a security identifier such as "
                "S-1-5-21-1004336348-1177238915-682003330-1105 (Look up asks Windows for the "
                "name's; Get-ADGroup and Get-ADUser show it too)."};
        }
        target.sid = *sid;
    }
    return target;
}

std::string ConditionLine(const prefs::Target& target) {
    const std::string line = prefs::AudienceText({target});
    return target.sid.empty() ? line : line + " (" + target.sid + ")";
}

const char* NameHint(prefs::TargetKind kind) {
    switch (kind) {
        case prefs::TargetKind::Group:
            break;
        case prefs::TargetKind::User:
            return "DOMAIN\\user, such as CONTOSO\\jdoe";
        case prefs::TargetKind::OrgUnit:
            return "OU=Pupils,DC=contoso,DC=com";
    }
    return "DOMAIN\\Group, such as CONTOSO\\Pupils";
}

}  // namespace tarnwick::app
