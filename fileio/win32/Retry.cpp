#include "fileio/win32/Retry.h"

#include <iterator>

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

bool RetryingPlatform::Again(const Failure& failure, std::size_t tried) {
    if (tried >= std::size(kRetryPauses) || !Transient(failure.code)) return false;
    inner_.Pause(kRetryPauses[tried]);
    return true;
}

Result<Handle> RetryingPlatform::Open(const std::string& path, Access access,
                                      Disposition disposition) {
    for (std::size_t tried = 0;; ++tried) {
        Result<Handle> opened = inner_.Open(path, access, disposition);
        if (opened || !Again(opened.failure(), tried)) return opened;
    }
}

Status RetryingPlatform::MoveNew(const std::string& from, const std::string& to) {
    for (std::size_t tried = 0;; ++tried) {
        Status moved = inner_.MoveNew(from, to);
        if (moved || !Again(moved.failure(), tried)) return moved;
    }
}

Status RetryingPlatform::Replace(const std::string& from, const std::string& to) {
    for (std::size_t tried = 0;; ++tried) {
        Status replaced = inner_.Replace(from, to);
        if (replaced || !Again(replaced.failure(), tried)) return replaced;
    }
}

Status RetryingPlatform::Remove(const std::string& path) {
    for (std::size_t tried = 0;; ++tried) {
        Status removed = inner_.Remove(path);
        if (removed || !Again(removed.failure(), tried)) return removed;
    }
}

}  // namespace tarnwick::fileio::win32
