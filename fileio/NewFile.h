// A file written beside the place it goes and put there only when complete. The temporary file is
// created under a fresh name beside the file that will receive it, known to the interruption
// handlers meanwhile, and removed on every way out unless it has taken its place. The final step
// replaces nothing without consent, and with consent only the regular file agreed on, checked once
// more just before. Templates, policy definitions and registry files are all written so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/Result.h"
#include "fileio/Platform.h"

namespace tarnwick::fileio {

// Why a new file is not in its place. The message completes a sentence that names the file
// (": the disk is full."), and the code is the system's, if it had one; `refused` when the path
// may not receive the file at all, so that nothing was attempted; `hadFile` when a file was there,
// which is then unchanged.
struct NewFileFailure : Failure {
    bool refused = false;
    bool hadFile = false;
};
using NewFileStatus = Result<void, NewFileFailure>;

// Where a commit of several files stopped: why, the file that failed, and the files already
// replaced that could not be put back as they were (empty when every file is as before).
struct GroupFailure : NewFileFailure {
    std::size_t file = 0;
    std::string notRestored;
};

// ": <the system's description>." or "." when it has none (Windows' texts end in a full stop).
std::string Because(const Failure& why);

// What stopped a file, as an administrator would put it; the system's own words when its code
// says nothing plainer. `creating`: a create, where a missing entry can only be the folder.
std::string CauseText(const Failure& why, bool creating);

class NewFile {
  public:
    explicit NewFile(std::string target);
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Looks at the target and creates the temporary file. `agreed`: the file the caller may
    // replace, as it was when that was agreed; none: the path must be free. A target that is no
    // regular file (a folder, a device, a link to nothing) is refused whatever was agreed. A link
    // to a regular file stays a link: the file it leads to receives the data.
    NewFileStatus Begin(const std::optional<FileId>& agreed);
    NewFileStatus Write(const void* data, std::size_t size);
    // Appends `size` bytes from `source`'s position by the system's own copy (Platform::CopyRange):
    // false, with nothing written, where it has none, and the caller writes them itself.
    Result<bool, NewFileFailure> CopyFrom(Handle source, std::uint64_t size);
    // Puts the data on the disk, checks the length and the close, then moves the file into place.
    NewFileStatus Commit();

    std::uint64_t Written() const { return written_; }
    bool HadFile() const { return before_.kind == EntryKind::Regular; }

    // Puts several files in place as one: every file is complete on the disk and every target
    // checked again before the first is replaced, and when a later one cannot be put in place,
    // those already replaced get their old files back (kept meanwhile under a second name, a hard
    // link or, where the file system has none, a copy) and those created are removed.
    static Result<void, GroupFailure> CommitAll(const std::vector<NewFile*>& files);

  private:
    NewFileStatus Check();
    NewFileStatus Move();
    NewFileStatus Writable();
    NewFileStatus KeepOld();
    Status CopyOld();
    std::optional<std::string> Restore();
    void DropOld();
    Status Finish();
    std::string JournalPath() const;

    std::string target_;
    std::optional<FileId> agreed_;
    Entry before_;
    std::string temp_;
    Handle handle_ = kNoHandle;
    int slot_ = -1;
    bool moved_ = false;
    std::uint64_t written_ = 0;
    std::string old_;  // the replaced file's second name, during CommitAll
    int oldSlot_ = -1;
};

}  // namespace tarnwick::fileio
