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
    DropOld();
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
    return Check(failure) && Move(failure);
}

// The target as it must be for the replace: the file agreed on, or still nothing.
bool NewFile::Check(NewFileFailure& failure) {
    if (!HadFile()) return true;  // the move itself refuses a name taken meanwhile
    SysError why;
    Entry now;
    if (!CurrentPlatform().Lookup(target_, now, why)) {
        return Fail(failure, Because(why), why, false, true);
    }
    if ((now.kind != EntryKind::Regular || now.id != *agreed_ || now.target != before_.target)) {
        return Fail(failure,
                    ": the file there changed while it was being written, and nothing was "
                    "replaced.",
                    {}, true, false);
    }
    return true;
}

bool NewFile::Move(NewFileFailure& failure) {
    Platform& platform = CurrentPlatform();
    SysError why;
    Entry now;
    if (HadFile()) {
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

// Before several files are replaced together: a read-only target would stop the replace halfway.
bool NewFile::Writable(NewFileFailure& failure) {
    std::uint32_t attributes = 0;
    if (HadFile() && CurrentPlatform().Attributes(before_.target, attributes) &&
        (attributes & kAttrReadOnly) != 0) {
        return Fail(failure, ": it is read-only, and nothing was replaced.", {}, true, true);
    }
    return true;
}

// A second name for the file about to be replaced, so that it can be put back.
bool NewFile::KeepOld(NewFileFailure& failure) {
    if (!HadFile()) return true;
    SysError why;
    old_ = temp_ + "-old";
    {
        const InterruptionsHeld held;
        if (CurrentPlatform().Link(before_.target, old_, why)) {
            oldSlot_ = TrackTempFile(old_);
            return true;
        }
    }
    // No links here (FAT, some shares): a copy, complete on the disk, does as well.
    old_.clear();
    if (CopyOld(why)) return true;
    return Fail(failure, CauseText(why, false), why, false, true);
}

bool NewFile::CopyOld(SysError& why) {
    Platform& platform = CurrentPlatform();
    Handle from = kNoHandle, to = kNoHandle;
    std::string copy;
    {
        const InterruptionsHeld held;
        if (!CreateTempBeside(before_.target, copy, to, &why)) return false;
        old_ = copy;
        oldSlot_ = TrackTempFile(old_);
    }
    bool ok = platform.Open(before_.target, Access::Read, Disposition::OpenExisting, from, why);
    char buffer[64 * 1024];
    std::size_t got = sizeof buffer;
    while (ok && got == sizeof buffer) {
        ok = platform.Read(from, buffer, sizeof buffer, got, why) &&
             platform.Write(to, buffer, got, why);
    }
    ok = ok && platform.Flush(to, why);
    SysError closeWhy;
    if (from != kNoHandle) platform.Close(from, closeWhy);  // only read
    if (!platform.Close(to, closeWhy) && ok) {
        why = closeWhy;
        ok = false;
    }
    return ok;
}

// The old file back in its place, or the created one gone; false adds the target to
// `notRestored`.
bool NewFile::Restore(std::string& notRestored) {
    SysError why;
    const bool done = HadFile() ? CurrentPlatform().Replace(old_, before_.target, why)
                                : CurrentPlatform().Remove(target_, why);
    if (done) {
        if (HadFile()) {
            UntrackTempFile(std::exchange(oldSlot_, -1));
            old_.clear();
        }
        return true;
    }
    notRestored += (notRestored.empty() ? "\"" : "; \"") + target_ + "\"" + Because(why);
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
        SysError why;
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
