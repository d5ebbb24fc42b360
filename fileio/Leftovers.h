// Temporary and backup files that a killed run left beside its output, and their removal. Every
// temporary name carries its writer, ".<name>.<host>.<p|w><process id>.<16 hex>.trnw-tmp" (p: a
// POSIX process, w: a Windows one, Wine's included), so that a later run can tell which writers
// have ended without touching another computer's or a live process's file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Result.h"
#include "fileio/Platform.h"

namespace tarnwick::fileio {

// "<host>.<p|w><process id>" of this process: the host's first name label, in lower case, with
// only letters, digits and '-'.
std::string WriterTag();

// The writer part of a temporary or backup name beside `target` ("<host>.<p|w><id>.<hex>" or, as
// older runs named them, "<hex>"); empty when `name` is none of them.
std::string TempMiddle(const std::string& targetName, const std::string& name);

// Removes the temporary and backup files of `target` that ended runs left: with `all` every one
// (the caller holds the lock that every writer of `target` takes), otherwise only those written on
// this host by a process of this system that has ended. A backup ("-old") that is not a second
// name of `target` may be the only copy of what was there: it is renamed "-kept" instead, which no
// run clears. What cannot be removed stays; nothing else is touched. Goes to the system directly:
// a leftover that stays changes no outcome. True when something was removed or renamed.
bool ClearLeftovers(const std::string& target, bool all);

// A set of files put in place together (NewFile::CommitAll) is described, before the first one
// replaces anything, in a journal beside the set's last file, named for that file's temporary
// with "-set" added; it is removed once every file is in place, or back as it was. A writer that
// dies between leaves it, and the next writer of the set, under the same lock, heals the set.
inline constexpr char kJournalSuffix[] = ".trnw-tmp-set";

// One file of a set: its target, temporary file (the new content) and the replaced file's second
// name (empty when there was no file), and the new file's identity.
struct SetEntry {
    std::string target, temp, old;
    FileId made;  // volume and index only
    friend bool operator==(const SetEntry&, const SetEntry&) = default;
};

// A journal's text, paths relative to `folder` where they are in it (kept with '/', so that
// another system reaching the folder by another path, a share, reads it), and the entries of such
// a text; none when it was written only in part (it ends with a line "end") or is none.
std::string JournalText(const std::string& folder, const std::vector<SetEntry>& entries);
std::optional<std::vector<SetEntry>> ReadJournal(const std::string& folder, std::string_view text);

// The journal at `path`, complete on the disk.
Status WriteSetJournal(const std::string& path, const std::vector<SetEntry>& entries);

// Brings every set whose journal is in `folder` to one state, before anything is read there:
// forward when every new file had taken its place (the replaced files' second names go), else
// back (each replaced file gets its old file again, each created one goes, the temporaries go).
// A target that is no longer the file the dead run put there keeps its content, and the earlier
// file stays beside it under a "-kept" name. A journal written only in part means that nothing
// was replaced yet: it goes, and the temporaries with ClearLeftovers. Only for a caller that holds
// the lock every writer of the folder's sets takes; through the current platform.
Status HealSets(const std::string& folder);

// Whether the folder lets files be added but none renamed or removed (Linux's append-only or
// immutable attribute, chattr +a or +i), so that no file there can be replaced; false where the
// system has no such thing or cannot tell.
bool FolderAppendOnly(const std::string& folder);

// True when no process of this system has the identifier now.
bool ProcessEnded(std::uint32_t id);
// This computer's name, as the system gives it.
std::string HostName();

}  // namespace tarnwick::fileio
