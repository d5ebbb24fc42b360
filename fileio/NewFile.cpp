#include "fileio/NewFile.h"

#include <utility>

#include "fileio/TempFiles.h"
#include "fileio/mdlAPIFiles.h"

namespace tarnwick::fileio {

// The causes that the system words differently on each platform ("Permission denied", "Access is
// denied.") are said in one wording everywhere.
std::string Because(const SysError& why) {
    switch (CauseOf(why)) {
        case Cause::DiskFull:
            return ": the disk is full.";
        case Cause::AccessDenied:
            return ": access is denied.";
        case Cause::ReadOnlyDisk:
            return ": the disk is write-protected.";
        case Cause::NotAFolder:
            return ": a part of the path that should be a folder is a file.";
        default:
            break;
    }
    if (why.text.empty()) return ".";
    return ": " + why.text + (why.text.back() == '.' ? "" : ".");
}

std::string CauseText(const SysError& why, bool creating) {
    switch (CauseOf(why)) {
        case Cause::NoFolder:
            if (creating) return ": the folder it goes in does not exist.";
            break;
        case Cause::AccessDenied:
            return ": access is denied (the file or its folder may not be written, or the file is "
                   "read-only).";
        default:
            break;
    }
    return Because(why);
}

NewFile::NewFile(std::string target) : target_(std::move(target)) {}

NewFile::~NewFile() {
    SysError ignored;  // only on a way out where the file is removed anyway
    if (handle_ != kNoHandle) CurrentPlatform().Close(handle_, ignored);
    if (!temp_.empty() && !moved_) RemoveFile(temp_);
    UntrackTempFile(slot_);
}

bool NewFile::Fail(NewFileFailure& failure, std::string cause, const SysError& why, bool refused,
                   bool hadFile) {
    failure = {std::move(cause), why, refused, hadFile};
    return false;
}

bool NewFile::Begin(const std::optional<FileId>& agreed, NewFileFailure& failure) {
    agreed_ = agreed;
    SysError why;
    if (!CurrentPlatform().Lookup(target_, before_, why)) {
        return Fail(failure, Because(why), why, false, false);
    }
    switch (before_.kind) {
        case EntryKind::Missing:
        case EntryKind::Regular:
            break;
        case EntryKind::Special:
            return Fail(failure,
                        ": it is not a regular file (a device, pipe or socket), and only a "
                        "regular file is ever replaced.",
                        {}, true, false);
        case EntryKind::Folder:
            return Fail(failure, ": it is a folder.", {}, true, false);
        case EntryKind::DanglingLink:
            return Fail(failure, ": it is a link to a file that does not exist.", {}, true, false);
    }
    if (HadFile() && !agreed_) {
        return Fail(failure, ": a file is already there, and replacing it was not agreed.", {},
                    true, true);
    }
    if (HadFile() && *agreed_ != before_.id) {
        return Fail(failure, ": the file there is no longer the one agreed to be replaced.", {},
                    true, true);
    }
    // Beside the file that receives the data (a link's target), so that the move stays on one
    // volume and the link stays a link.
    const InterruptionsHeld held;  // until the new file is tracked
    if (!CreateTempBeside(HadFile() ? before_.target : target_, temp_, handle_, &why)) {
        return Fail(failure, CauseText(why, true), why, false, HadFile());
    }
    slot_ = TrackTempFile(temp_);
    return true;
}

bool NewFile::Write(const void* data, std::size_t size, NewFileFailure& failure) {
    SysError why;
    if (!CurrentPlatform().Write(handle_, data, size, why)) {
        return Fail(failure, CauseText(why, false), why, false, HadFile());
    }
    written_ += size;
    return true;
}

// The data goes to the disk through the handle it was written with, and the file must be exactly
// as long as what was written and close without an error: each could otherwise hide lost bytes.
bool NewFile::Finish(SysError& why) {
    Platform& platform = CurrentPlatform();
    std::uint64_t size = 0;
    const bool done = platform.Flush(handle_, why) && platform.Size(handle_, size, why);
    SysError closeWhy;
    const bool closed = platform.Close(std::exchange(handle_, kNoHandle), closeWhy);
    if (!done) return false;
    if (!closed) {
        why = closeWhy;
        return false;
    }
    if (size == written_) return true;
    why = {0, "it holds " + std::to_string(size) + " bytes instead of " + std::to_string(written_)};
    return false;
}

bool NewFile::Commit(NewFileFailure& failure) {
    SysError why;
    if (!Finish(why)) return Fail(failure, CauseText(why, false), why, false, HadFile());
    return PutInPlace(failure);
}

bool NewFile::PutInPlace(NewFileFailure& failure) {
    Platform& platform = CurrentPlatform();
    SysError why;
    Entry now;
    if (HadFile()) {
        if (!platform.Lookup(target_, now, why))
            return Fail(failure, Because(why), why, false, true);
        if (now.kind != EntryKind::Regular || now.id != *agreed_ || now.target != before_.target) {
            return Fail(failure,
                        ": the file there changed while it was being written, and nothing was "
                        "replaced.",
                        {}, true, false);
        }
        if (!ReplaceFile(temp_, before_.target, &why)) {
            return Fail(failure, CauseText(why, false), why, false, true);
        }
    } else if (!platform.MoveNew(temp_, target_, why)) {
        SysError ignored;
        if (CauseOf(why) == Cause::NameTaken ||
            (platform.Lookup(target_, now, ignored) && now.kind != EntryKind::Missing)) {
            return Fail(failure,
                        ": something appeared there while it was being written, and nothing was "
                        "replaced.",
                        why, true, false);
        }
        return Fail(failure, CauseText(why, false), why, false, false);
    }
    moved_ = true;
    return true;
}

bool WriteNewFile(const std::string& target, const std::string& data,
                  const std::optional<FileId>& agreed, NewFileFailure& failure, bool* replaced) {
    NewFile file(target);
    const bool done = file.Begin(agreed, failure) &&
                      file.Write(data.data(), data.size(), failure) && file.Commit(failure);
    if (replaced != nullptr) *replaced = done && file.HadFile();
    return done;
}

}  // namespace tarnwick::fileio
