// `pol --local ... --now`: have Windows apply user policy at once, then read the values in force
// (as show --here does) and tell whether they are what was written, and if not what to do.
#pragma once

#include <string>
#include <vector>

#include "cli/Options.h"
#include "deploy/FoundValue.h"

namespace tarnwick::cli {

enum class EngineAnswer { Applied, TimedOut, NoEngine, Failed };

// The lines that tell what the engine did (`detail`: the cause when it failed) and whether
// `inForce` (the registry's drive values now) holds what `options` wrote for the current user.
std::string JudgeInForce(const Options& options, EngineAnswer engine, const std::string& detail,
                         const std::vector<deploy::FoundValue>& inForce);

// Windows: the refresh, the broadcast, the registry read, and JudgeInForce's lines. Elsewhere a
// line saying it cannot run.
std::string ApplyUserPolicyNow(const Options& options);

}  // namespace tarnwick::cli
