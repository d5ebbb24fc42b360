#include "fileio/win32/Retry.h"

namespace tarnwick::fileio::win32 {

bool Transient(std::uint32_t code) {
    switch (code) {
        case kSharingViolation:
        case kLockViolation:
        case kNetworkBusy:
        case kUnexpectedNetError:
        case kNetNameDeleted:
        case kSemaphoreTimeout:
        case kDeletePending:
            return true;
        default:
            return false;
    }
}

template <typename Attempt>
auto RetryingPlatform::Retried(Attempt attempt) {
    for (const std::uint32_t pause : kRetryPauses) {
        auto done = attempt();
        if (done || !Transient(done.failure().code)) return done;
        inner_.Pause(pause);
    }
    return attempt();
}

Result<Handle> RetryingPlatform::Open(const std::string& path, Access access,
                                      Disposition disposition) {
    return Retried([&] { return inner_.Open(path, access, disposition); });
}

Status RetryingPlatform::MoveNew(const std::string& from, const std::string& to) {
    return Retried([&] { return inner_.MoveNew(from, to); });
}

Status RetryingPlatform::Replace(const std::string& from, const std::string& to) {
    return Retried([&] { return inner_.Replace(from, to); });
}

Status RetryingPlatform::Remove(const std::string& path) {
    return Retried([&] { return inner_.Remove(path); });
}

}  // namespace tarnwick::fileio::win32
