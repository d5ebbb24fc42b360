// `pol --local ... --now`: have Windows apply user policy at once, then read the values in force
// (as show --here does) and tell whether they are what was written, and if not what to do.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/DriveSet.h"
#include "core/FoundValue.h"

namespace tarnwick::regpol {

// What a local policy edit wrote for the current user: the values of `policy`, set to `mask`, or
// taken out (removed or disabled) when there is no mask; `forSid` the group or user it is for.
struct WrittenValues {
    DrivePolicy policy = DrivePolicy::Hide;
    std::optional<std::uint32_t> mask;
    std::optional<std::string> forSid;
};

enum class EngineAnswer { Applied, TimedOut, NoEngine, Failed };

// The lines that tell what the engine did (`detail`: the cause when it failed) and whether
// `inForce` (the registry's drive values now) holds what `written` says for the current user.
std::string JudgeInForce(const WrittenValues& written, EngineAnswer engine,
                         const std::string& detail, const std::vector<FoundValue>& inForce);

// Windows: the refresh, the broadcast, the registry read, and JudgeInForce's lines. Elsewhere a
// line saying it cannot run.
std::string ApplyUserPolicyNow(const WrittenValues& written);

}  // namespace tarnwick::regpol
