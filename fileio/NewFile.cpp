#include "fileio/NewFile.h"

#include <utility>

#include "fileio/Leftovers.h"
#include "fileio/TempFiles.h"
#include "fileio/mdlAPIFiles.h"

namespace tarnwick::fileio {

namespace {

#ifdef _WIN32
constexpr const char* kSeparators = "\\/:";
#else
constexpr const char* kSeparators = "/";
#endif

NewFileFailure Failed(std::string cause, std::uint32_t code, bool refused, bool hadFile) {
    NewFileFailure failure;
    failure.message = std::move(cause);
    failure.code = code;
    failure.refused = refused;
    failure.hadFile = hadFile;
    return failure;
}

// A call of the system's that failed, in the words CauseText gives it.
NewFileFailure Failed(const Failure& why, bool creating, bool hadFile) {
    return Failed(CauseText(why, creating), why.code, false, hadFile);
}

// The path may not receive the file; nothing was attempted.
NewFileFailure Refused(std::string cause, bool hadFile) {
    return Failed(std::move(cause), 0, true, hadFile);
}

}  // namespace

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
    if (!temp_.empty() && !moved_) (void)RemoveFile(temp_);
    UntrackTempFile(slot_);
    DropOld();
}

NewFileStatus NewFile::Begin(const std::optional<FileId>& agreed) {
    agreed_ = agreed;
    Result<Entry> before = CurrentPlatform().Lookup(target_);
    if (!before) return Failed(Because(before.failure()), before.failure().code, false, false);
    before_ = std::move(*before);
    switch (before_.kind) {
        case EntryKind::Missing:
        case EntryKind::Regular:
            break;
        case EntryKind::Special:
            return Refused(
                ": it is not a regular file (a device, pipe or socket), and only a regular file is "
                "ever replaced.",
                false);
        case EntryKind::Folder:
            return Refused(": it is a folder.", false);
        case EntryKind::DanglingLink:
            return Refused(": it is a link to a file that does not exist.", false);
    }
    if (HadFile() && !agreed_) {
        return Refused(": a file is already there, and replacing it was not agreed.", true);
    }
    if (HadFile() && *agreed_ != before_.id) {
        return Refused(": the file there is no longer the one agreed to be replaced.", true);
    }
    // Beside the file that receives the data (a link's target), so that the move stays on one
    // volume and the link stays a link.
    const std::string& receiver = HadFile() ? before_.target : target_;
    const std::size_t slash = receiver.find_last_of(kSeparators);
    if (slash != std::string::npos && FolderAppendOnly(receiver.substr(0, slash + 1))) {
        return Refused(
            ": its folder is append-only or immutable (chattr +a or +i), where no complete file "
            "can be renamed into place.",
            HadFile());
    }
    if (ClearLeftovers(receiver, false) && HadFile()) {
        // A second name removed changes the status time of the file it named, which is part of
        // its identity: the file agreed on a moment ago is still agreed on.
        const Result<Entry> after = CurrentPlatform().Lookup(target_);
        if (after && after->kind == EntryKind::Regular && after->target == before_.target &&
            after->id.volume == before_.id.volume && after->id.index == before_.id.index) {
            before_ = *after;
            agreed_ = after->id;
        }
    }
    const InterruptionsHeld held;  // until the new file is tracked
    Result<TempFile> temp = CreateTempBeside(receiver);
    if (!temp) return Failed(temp.failure(), true, HadFile());
    temp_ = std::move(temp->path);
    handle_ = temp->handle;
    slot_ = TrackTempFile(temp_);
    return {};
}

NewFileStatus NewFile::Write(const void* data, std::size_t size) {
    if (Status written = CurrentPlatform().Write(handle_, data, size); !written) {
        return Failed(written.failure(), false, HadFile());
    }
    written_ += size;
    return {};
}

Result<bool, NewFileFailure> NewFile::CopyFrom(Handle source, std::uint64_t size) {
    const Result<bool> copied = CurrentPlatform().CopyRange(source, handle_, size);
    if (!copied) return Failed(copied.failure(), false, HadFile());
    if (*copied) written_ += size;
    return *copied;
}

// The data goes to the disk through the handle it was written with, and the file must be exactly
// as long as what was written and close without an error: each could otherwise hide lost bytes.
Status NewFile::Finish() {
    Platform& platform = CurrentPlatform();
    const Status flushed = platform.Flush(handle_);
    const Result<std::uint64_t> size =
        flushed ? platform.Size(handle_) : Result<std::uint64_t>(flushed.failure());
    const Status closed = platform.Close(std::exchange(handle_, kNoHandle));
    if (!size) return size.failure();
    if (!closed) return closed;
    if (*size == written_) return {};
    return Failure{"it holds " + std::to_string(*size) + " bytes instead of " +
                   std::to_string(written_)};
}

NewFileStatus NewFile::Commit() {
    if (Status finished = Finish(); !finished) return Failed(finished.failure(), false, HadFile());
    if (NewFileStatus checked = Check(); !checked) return checked;
    return Move();
}

// The target as it must be for the replace: the file agreed on, or still nothing.
NewFileStatus NewFile::Check() {
    if (!HadFile()) return {};  // the move itself refuses a name taken meanwhile
    const Result<Entry> now = CurrentPlatform().Lookup(target_);
    if (!now) return Failed(Because(now.failure()), now.failure().code, false, true);
    if (now->kind != EntryKind::Regular || now->id != *agreed_ || now->target != before_.target) {
        return Refused(
            ": the file there changed while it was being written, and nothing was replaced.",
            false);
    }
    return {};
}

NewFileStatus NewFile::Move() {
    Platform& platform = CurrentPlatform();
    if (HadFile()) {
        if (Status replaced = ReplaceFile(temp_, before_.target); !replaced) {
            return Failed(replaced.failure(), false, true);
        }
    } else if (Status moved = platform.MoveNew(temp_, target_); !moved) {
        const auto appeared = [&] {
            const Result<Entry> now = platform.Lookup(target_);
            return now && now->kind != EntryKind::Missing;
        };
        if (CauseOf(moved.failure()) == Cause::NameTaken || appeared()) {
            return Failed(
                ": something appeared there while it was being written, and nothing was replaced.",
                moved.failure().code, true, false);
        }
        return Failed(moved.failure(), false, false);
    }
    moved_ = true;
    return {};
}

// Before several files are replaced together: a read-only target would stop the replace halfway.
NewFileStatus NewFile::Writable() {
    if (!HadFile()) return {};
    const Result<std::uint32_t> attributes = CurrentPlatform().Attributes(before_.target);
    if (attributes && (*attributes & kAttrReadOnly) != 0) {
        return Refused(": it is read-only, and nothing was replaced.", true);
    }
    return {};
}

// A second name for the file about to be replaced, so that it can be put back.
NewFileStatus NewFile::KeepOld() {
    if (!HadFile()) return {};
    old_ = temp_ + "-old";
    {
        const InterruptionsHeld held;
        if (CurrentPlatform().Link(before_.target, old_)) {
            oldSlot_ = TrackTempFile(old_);
            return {};
        }
    }
    // No links here (FAT, some shares): a copy, complete on the disk, does as well.
    old_.clear();
    if (Status copied = CopyOld(); !copied) return Failed(copied.failure(), false, true);
    return {};
}

Status NewFile::CopyOld() {
    Platform& platform = CurrentPlatform();
    Handle to = kNoHandle;
    {
        const InterruptionsHeld held;
        Result<TempFile> copy = CreateTempBeside(before_.target);
        if (!copy) return copy.failure();
        old_ = std::move(copy->path);
        to = copy->handle;
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
    if (done && !closed) return closed;
    return done;
}

// The old file back in its place, or the created one gone. Otherwise what is left: the target in
// quotes, why, and where its earlier content is kept; nothing when all is as before.
std::optional<std::string> NewFile::Restore() {
    const Status done = HadFile() ? CurrentPlatform().Replace(old_, before_.target)
                                  : CurrentPlatform().Remove(target_);
    if (done) {
        if (HadFile()) {
            UntrackTempFile(std::exchange(oldSlot_, -1));
            old_.clear();
        }
        return std::nullopt;
    }
    std::string left = "\"" + target_ + "\"" + Because(done.failure());
    if (HadFile()) {
        // The only copy of what was there: it stays, under the name the message gives, which
        // later runs do not clear as a leftover.
        std::string kept = old_;
        if (kept.size() > 4 && kept.compare(kept.size() - 4, 4, "-old") == 0)
            kept.resize(kept.size() - 4);
        kept += "-kept";
        if (CurrentPlatform().MoveNew(old_, kept)) old_ = kept;
        left.pop_back();
        left += "; its earlier content is kept as \"" + old_ + "\".";
        UntrackTempFile(std::exchange(oldSlot_, -1));
        old_.clear();
    }
    return left;
}

void NewFile::DropOld() {
    if (old_.empty()) return;
    // A scanner or indexer that holds the name for a moment is waited out by the platform layer.
    (void)RemoveFile(old_);
    UntrackTempFile(std::exchange(oldSlot_, -1));
    old_.clear();
}

Result<void, GroupFailure> NewFile::CommitAll(const std::vector<NewFile*>& files) {
    const auto stopped = [](std::size_t file, NewFileFailure failure) {
        return GroupFailure{std::move(failure), file, {}};
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        NewFile& file = *files[i];
        if (Status finished = file.Finish(); !finished) {
            return stopped(i, Failed(finished.failure(), false, file.HadFile()));
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        NewFileStatus ready = files[i]->Check();
        if (ready) ready = files[i]->Writable();
        if (ready) ready = files[i]->KeepOld();
        if (!ready) return stopped(i, ready.failure());
    }
    // From the journal to the last file in place or back, an interruption waits: the set is never
    // left half moved but by a death, which the journal tells the next writer about.
    const InterruptionsHeld held;
    const std::string journal = files.empty() ? std::string() : files.back()->JournalPath();
    if (!journal.empty()) {
        std::vector<SetEntry> entries;
        for (std::size_t i = 0; i < files.size(); ++i) {
            const NewFile& file = *files[i];
            const Result<Entry> made = CurrentPlatform().Lookup(file.temp_);
            Status written = made ? Status() : Status(made.failure());
            const std::string& receiver = file.HadFile() ? file.before_.target : file.target_;
            if (written) entries.push_back({receiver, file.temp_, file.old_, made->id});
            if (written && i + 1 == files.size()) written = WriteSetJournal(journal, entries);
            if (!written) return stopped(i, Failed(written.failure(), false, file.HadFile()));
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        // Checked above: a link to the file changes its status time, which is part of its id.
        const NewFileStatus moved = files[i]->Move();
        if (moved) continue;
        GroupFailure failure = stopped(i, moved.failure());
        for (std::size_t j = i; j-- > 0;) {
            if (const std::optional<std::string> left = files[j]->Restore()) {
                failure.notRestored += (failure.notRestored.empty() ? "" : "; ") + *left;
            }
        }
        if (!journal.empty()) (void)NativePlatform().Remove(journal);
        return failure;
    }
    for (NewFile* file : files)
        file->DropOld();
    // Past the fault injector, as leftovers are cleared: a journal that stays changes no outcome
    // (the next writer finds every file in place).
    if (!journal.empty()) (void)NativePlatform().Remove(journal);
    return {};
}

// Beside the target as given (where its lock is), named for its temporary file.
std::string NewFile::JournalPath() const {
    const std::size_t slash = target_.find_last_of(kSeparators);
    const std::size_t tempSlash = temp_.find_last_of(kSeparators);
    const std::string folder = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
    const std::string name = tempSlash == std::string::npos ? temp_ : temp_.substr(tempSlash + 1);
    std::string path = folder + name;
    path.replace(path.size() - (sizeof kTempSuffix - 1), sizeof kTempSuffix - 1, kJournalSuffix);
    return path;
}

}  // namespace tarnwick::fileio
