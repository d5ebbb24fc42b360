#include "fileio/NewFile.h"

#include <utility>

#include "fileio/TempFiles.h"
#include "fileio/mdlAPIFiles.h"

namespace tarnwick::fileio {

// The causes that the system words differently on each platform ("Permission denied", "Access is
// denied.") are said in one wording everywhere.
std::string Because(const Failure& why) {
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
    if (why.message.empty()) return ".";
    return ": " + why.message + (why.message.back() == '.' ? "" : ".");
}

std::string CauseText(const Failure& why, bool creating) {
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

// Only on a way out where the file is removed anyway, so what fails here does not matter.
NewFile::~NewFile() {
    if (handle_ != kNoHandle) (void)CurrentPlatform().Close(handle_);
    if (!temp_.empty() && !moved_) RemoveFile(temp_);
    UntrackTempFile(slot_);
    DropOld();
}

bool NewFile::Fail(NewFileFailure& failure, std::string cause, const Failure& why, bool refused,
                   bool hadFile) {
    failure = {std::move(cause), why, refused, hadFile};
    return false;
}

bool NewFile::Begin(const std::optional<FileId>& agreed, NewFileFailure& failure) {
    agreed_ = agreed;
    Result<Entry> before = CurrentPlatform().Lookup(target_);
    if (!before) return Fail(failure, Because(before.failure()), before.failure(), false, false);
    before_ = std::move(*before);
    Failure why;
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
    if (Status written = CurrentPlatform().Write(handle_, data, size); !written) {
        return Fail(failure, CauseText(written.failure(), false), written.failure(), false,
                    HadFile());
    }
    written_ += size;
    return true;
}

// The data goes to the disk through the handle it was written with, and the file must be exactly
// as long as what was written and close without an error: each could otherwise hide lost bytes.
bool NewFile::Finish(Failure& why) {
    Platform& platform = CurrentPlatform();
    const Status flushed = platform.Flush(handle_);
    const Result<std::uint64_t> size =
        flushed ? platform.Size(handle_) : Result<std::uint64_t>(flushed.failure());
    const Status closed = platform.Close(std::exchange(handle_, kNoHandle));
    if (!size) {
        why = size.failure();
        return false;
    }
    if (!closed) {
        why = closed.failure();
        return false;
    }
    if (*size == written_) return true;
    why = {"it holds " + std::to_string(*size) + " bytes instead of " + std::to_string(written_)};
    return false;
}

bool NewFile::Commit(NewFileFailure& failure) {
    Failure why;
    if (!Finish(why)) return Fail(failure, CauseText(why, false), why, false, HadFile());
    return PutInPlace(failure);
}

bool NewFile::PutInPlace(NewFileFailure& failure) {
    return Check(failure) && Move(failure);
}

// The target as it must be for the replace: the file agreed on, or still nothing.
bool NewFile::Check(NewFileFailure& failure) {
    if (!HadFile()) return true;  // the move itself refuses a name taken meanwhile
    const Result<Entry> now = CurrentPlatform().Lookup(target_);
    if (!now) return Fail(failure, Because(now.failure()), now.failure(), false, true);
    if (now->kind != EntryKind::Regular || now->id != *agreed_ || now->target != before_.target) {
        return Fail(failure,
                    ": the file there changed while it was being written, and nothing was "
                    "replaced.",
                    {}, true, false);
    }
    return true;
}

bool NewFile::Move(NewFileFailure& failure) {
    Platform& platform = CurrentPlatform();
    Failure why;
    if (HadFile()) {
        if (!ReplaceFile(temp_, before_.target, &why)) {
            return Fail(failure, CauseText(why, false), why, false, true);
        }
    } else if (Status moved = platform.MoveNew(temp_, target_); !moved) {
        why = moved.failure();
        const auto appeared = [&] {
            const Result<Entry> now = platform.Lookup(target_);
            return now && now->kind != EntryKind::Missing;
        };
        if (CauseOf(why) == Cause::NameTaken || appeared()) {
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

// Before several files are replaced together: a read-only target would stop the replace halfway.
bool NewFile::Writable(NewFileFailure& failure) {
    if (!HadFile()) return true;
    const Result<std::uint32_t> attributes = CurrentPlatform().Attributes(before_.target);
    if (attributes && (*attributes & kAttrReadOnly) != 0) {
        return Fail(failure, ": it is read-only, and nothing was replaced.", {}, true, true);
    }
    return true;
}

// A second name for the file about to be replaced, so that it can be put back.
bool NewFile::KeepOld(NewFileFailure& failure) {
    if (!HadFile()) return true;
    Failure why;
    old_ = temp_ + "-old";
    {
        const InterruptionsHeld held;
        if (CurrentPlatform().Link(before_.target, old_)) {
            oldSlot_ = TrackTempFile(old_);
            return true;
        }
    }
    // No links here (FAT, some shares): a copy, complete on the disk, does as well.
    old_.clear();
    if (CopyOld(why)) return true;
    return Fail(failure, CauseText(why, false), why, false, true);
}

bool NewFile::CopyOld(Failure& why) {
    Platform& platform = CurrentPlatform();
    Handle to = kNoHandle;
    std::string copy;
    {
        const InterruptionsHeld held;
        if (!CreateTempBeside(before_.target, copy, to, &why)) return false;
        old_ = copy;
        oldSlot_ = TrackTempFile(old_);
    }
    const Result<Handle> from =
        platform.Open(before_.target, Access::Read, Disposition::OpenExisting);
    Status done;
    if (!from) done = from.failure();
    char buffer[64 * 1024];
    std::size_t got = sizeof buffer;
    while (done && got == sizeof buffer) {
        const Result<std::size_t> read = platform.Read(*from, buffer, sizeof buffer);
        if (!read) {
            done = read.failure();
            break;
        }
        got = *read;
        done = platform.Write(to, buffer, got);
    }
    if (done) done = platform.Flush(to);
    if (from) (void)platform.Close(*from);  // only read
    const Status closed = platform.Close(to);
    if (done && !closed) done = closed;
    if (done) return true;
    why = done.failure();
    return false;
}

// The old file back in its place, or the created one gone; false adds the target to
// `notRestored`.
bool NewFile::Restore(std::string& notRestored) {
    const Status done = HadFile() ? CurrentPlatform().Replace(old_, before_.target)
                                  : CurrentPlatform().Remove(target_);
    if (done) {
        if (HadFile()) {
            UntrackTempFile(std::exchange(oldSlot_, -1));
            old_.clear();
        }
        return true;
    }
    notRestored += (notRestored.empty() ? "\"" : "; \"") + target_ + "\"" + Because(done.failure());
    if (HadFile()) {
        // The only copy of what was there: it stays, under the name the message gives.
        notRestored.pop_back();
        notRestored += "; its earlier content is kept as \"" + old_ + "\".";
        UntrackTempFile(std::exchange(oldSlot_, -1));
        old_.clear();
    }
    return false;
}

void NewFile::DropOld() {
    if (old_.empty()) return;
    // Tried twice: a scanner or indexer may hold the name for a moment.
    if (!RemoveFile(old_)) RemoveFile(old_);
    UntrackTempFile(std::exchange(oldSlot_, -1));
    old_.clear();
}

bool NewFile::CommitAll(const std::vector<NewFile*>& files, GroupFailure& failure) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        Failure why;
        failure.file = i;
        NewFile& file = *files[i];
        if (!file.Finish(why)) {
            return file.Fail(failure.failure, CauseText(why, false), why, false, file.HadFile());
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        failure.file = i;
        if (!files[i]->Check(failure.failure) || !files[i]->Writable(failure.failure) ||
            !files[i]->KeepOld(failure.failure)) {
            return false;
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        failure.file = i;
        // Checked above: a link to the file changes its status time, which is part of its id.
        if (files[i]->Move(failure.failure)) continue;
        for (std::size_t j = i; j-- > 0;)
            files[j]->Restore(failure.notRestored);
        return false;
    }
    for (NewFile* file : files)
        file->DropOld();
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
