// The outputs of one command as one set: the folders they go in made, every file complete beside
// its place, then all of them put in place or none. Every writer of whole texts (the .reg file,
// Registry.pol, the Samba JSON, the Intune scripts, the policy pair, Registry.xml with gpt.ini)
// goes through WriteFiles, so that each says what became of its files in the same words.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Result.h"
#include "fileio/NewFile.h"

namespace tarnwick::fileio {

struct OutputFile {
    std::string path;
    std::string bytes;
    // The file that may be replaced, as it was when that was agreed; none: the path must be free.
    std::optional<FileId> agreed;
    // How the messages name it.
    std::string what = "The file";
};

struct FileSet {
    // Made when missing, in this order, before any file is begun; each one's parent must exist.
    std::vector<std::string> folders;
    std::vector<OutputFile> files;
    // Said after the cause when a file that is there was not replaced for want of consent
    // (" Use --force to replace it."); empty where the caller has no way to give it.
    std::string noConsentHint;
};

// Whether each file, in the set's order, took the place of a file that was there.
struct SetOutcome {
    std::vector<bool> replaced;
};

// The set written all or nothing: a set of one is committed alone, several together
// (NewFile::CommitAll). A failure's message is the whole sentence (NotWritten's, or a folder's).
Result<SetOutcome> WriteFiles(FileSet set);

// The one sentence for a file that did not take its place: what it is, where, why, `hint` when it
// was refused because a file is there, and that the file that was there is unchanged.
std::string NotWritten(std::string_view what, std::string_view path, const NewFileFailure& why,
                       std::string_view hint = {});

// `path`'s file as it is now when `agreed` (a consent given at the start: --force, a Yes).
std::optional<FileId> ConsentTo(const std::string& path, bool agreed);

// The folder at `path` made when missing (with `parents` every missing folder above it too). A
// failure names it as `what` does ("The folder", "The language folder") and says why.
Status MakeFolder(const std::string& path, std::string_view what = "The folder",
                  bool parents = false);

// What a path that should be a file or a folder is instead, as the end of a sentence
// (" is a file, not a folder.").
std::string WrongKind(EntryKind kind, bool wantFolder);

}  // namespace tarnwick::fileio
