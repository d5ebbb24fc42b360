#include "regpol/ApplyNow.h"

#include <optional>

#ifdef _WIN32
#include "regpol/HereValues.h"
#include "win32/PolicyRefresh.h"
#include "win32/SystemError.h"
#endif

#include "core/DriveSet.h"

namespace tarnwick::regpol {

namespace {

constexpr std::uint32_t kWaitMs = 60000;
constexpr const char* kUser = "HKEY_CURRENT_USER";

std::string MaskText(std::uint32_t mask) {
    const std::string letters = MaskLetters(mask);
    return std::to_string(mask) + " (drives " + (letters.empty() ? "none" : letters) + ")";
}

std::string EngineLine(EngineAnswer engine, const std::string& detail) {
    switch (engine) {
        case EngineAnswer::Applied:
            return "Now: Windows applied user policy (RefreshPolicyEx) and programs were told "
                   "that policy changed.\n";
        case EngineAnswer::TimedOut:
            return "Now: Windows was asked to apply user policy (RefreshPolicyEx) and had not "
                   "said it was done after " +
                   std::to_string(kWaitMs / 1000) + " s; the values below are those of now.\n";
        case EngineAnswer::NoEngine:
            return "Now: this is Wine, where no Group Policy engine runs: nothing applies local "
                   "policy and nothing was asked, so the values below are the registry's as they "
                   "were.\n";
        case EngineAnswer::Failed:
            break;
    }
    return "Now: Windows could not be asked to apply user policy (RefreshPolicyEx): " + detail +
           ".\n";
}

}  // namespace

std::string JudgeInForce(const WrittenValues& written, EngineAnswer engine,
                         const std::string& detail, const std::vector<FoundValue>& inForce) {
    std::string out = EngineLine(engine, detail);
    bool all = true;
    for (std::string_view name : {kNoDrivesValue, kNoViewOnDriveValue}) {
        const bool sets = name == kNoDrivesValue ? SetsNoDrives(written.policy)
                                                 : SetsNoViewOnDrive(written.policy);
        if (!sets) continue;
        // Set: the mask; removed or disabled: no value at all.
        const std::optional<std::uint32_t> wanted = written.mask;
        const FoundValue* found = nullptr;
        for (const auto& v : inForce)
            if (v.valueName == name && v.where == kUser) found = &v;
        const bool present = found != nullptr;
        const bool match = wanted ? present && found->mask == wanted : !present;
        all = all && match;
        std::string have = "not set";
        if (present) have = found->mask ? MaskText(*found->mask) : found->state;
        const std::string verdict = match    ? ", as written.\n"
                                    : wanted ? ", not " + MaskText(*wanted) + " as written.\n"
                                             : "; the policy written sets none.\n";
        out += (match ? "In force: " : "Not in force: ") + std::string(name) + " under " + kUser +
               " is " + have + verdict;
    }
    if (all) {
        out += "File Explorer windows open before keep what they showed: close and reopen them.\n";
    } else if (engine == EngineAnswer::NoEngine) {
        out += "On Windows it applies at the next sign-in, or with gpupdate /target:user /force.\n";
    } else {
        out += "Sign out and sign in again: Windows applies user policy at sign-in";
        out += written.forSid ? ", and the local policy for " + *written.forSid +
                                    " only to the accounts it is for (this one may not be).\n"
                              : ".\n";
    }
    return out;
}

std::string ApplyUserPolicyNow(const WrittenValues& written) {
#ifdef _WIN32
    const win32::PolicyRefresh refresh = win32::RefreshUserPolicy(kWaitMs);
    EngineAnswer engine = EngineAnswer::Failed;
    switch (refresh.outcome) {
        case win32::RefreshOutcome::Applied:
            engine = EngineAnswer::Applied;
            break;
        case win32::RefreshOutcome::TimedOut:
            engine = EngineAnswer::TimedOut;
            break;
        case win32::RefreshOutcome::NoEngine:
            engine = EngineAnswer::NoEngine;
            break;
        case win32::RefreshOutcome::Failed:
            break;
    }
    const std::string detail = win32::ErrorFromCode(refresh.code).text;
    auto values = ReadHereValues();
    if (!values)
        return EngineLine(engine, detail) + "The values in force: " + values.failure().message +
               "\n";
    return JudgeInForce(written, engine, detail, *values);
#else
    (void)written;
    return "Now: applying policy at once needs Windows.\n";
#endif
}

}  // namespace tarnwick::regpol
