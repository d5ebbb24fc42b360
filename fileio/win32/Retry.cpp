#include "fileio/win32/Retry.h"

#include "core/Text.h"

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

Failure RetryingPlatform::Tried(Failure failure, std::size_t tries) {
    std::uint32_t waited = 0;
    for (std::uint32_t pause : kRetryPauses)
        waited += pause;
    // Inside the system's sentence, before its full stop.
    const bool stop = !failure.message.empty() && failure.message.back() == '.';
    if (stop) failure.message.pop_back();
    failure.message +=
        " (tried " + DecimalText(tries) + " times over " + DecimalText(waited) + " ms)";
    if (stop) failure.message += '.';
    return failure;
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
