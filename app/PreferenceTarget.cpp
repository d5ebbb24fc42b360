#include "app/PreferenceTarget.h"

#include "core/Text.h"

namespace tarnwick::app {

Result<std::vector<prefs::Target>> TargetsOf(const TargetAnswer& answer) {
    if (answer.audience == Audience::Everyone) return std::vector<prefs::Target>{};
    prefs::Target target;
    target.negated = answer.negated;
    if (answer.audience == Audience::Group) {
        target.kind = prefs::TargetKind::Group;
        target.name = std::string(TrimBlanks(answer.groupName));
        const auto sid = prefs::NormalSid(TrimBlanks(answer.groupSid));
        if (!sid) {
            return Failure{
                "The group's SID must be a security identifier such as "
                "S-1-5-21-1004336348-1177238915-682003330-1105 (Get-ADGroup shows it)."};
        }
        target.sid = *sid;
    } else {
        target.kind = prefs::TargetKind::OrgUnit;
        target.name = std::string(TrimBlanks(answer.ouName));
    }
    if (const auto problem = prefs::NameProblem(target)) {
        std::string message = *problem + ".";
        message[0] = static_cast<char>(message[0] - 'a' + 'A');
        return Failure{message};
    }
    return std::vector<prefs::Target>{target};
}

}  // namespace tarnwick::app
