#include "fileio/WriteFiles.h"

#include <memory>
#include <utility>

#include "core/Text.h"
#include "fileio/mdlAPIFiles.h"

namespace tarnwick::fileio {

namespace {

// What a set of several files says when it stopped with every file as it was.
constexpr const char* kSetUnchanged = " Nothing was changed.";

// The sentence's start and cause; the caller ends it with what became of the files.
std::string Stopped(std::string_view what, std::string_view path, const NewFileFailure& why,
                    std::string_view hint) {
    std::string text = std::string(what) + " " + Quoted(path) + " was not written" + why.message;
    if (why.refused && why.hadFile) text += hint;
    return text;
}

// Every missing folder above `path`, from the first one down; the system's failure as it is.
Status MakeParents(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\");
    if (cut == std::string::npos || cut == 0) return {};
    const std::string parent = path.substr(0, cut);
    const Result<Entry> entry = CurrentPlatform().Lookup(parent);
    if (entry && entry->kind != EntryKind::Missing) return {};
    if (Status above = MakeParents(parent); !above) return above;
    return CurrentPlatform().CreateFolder(parent);
}

}  // namespace

std::string NotWritten(std::string_view what, std::string_view path, const NewFileFailure& why,
                       std::string_view hint) {
    return Stopped(what, path, why, hint) +
           (why.hadFile ? " The file that was there is unchanged." : "");
}

std::optional<FileId> ConsentTo(const std::string& path, bool agreed) {
    if (!agreed) return std::nullopt;
    return FileIdentity(path);
}

std::string WrongKind(EntryKind kind, bool wantFolder) {
    switch (kind) {
        case EntryKind::Missing:
            return " does not exist.";
        case EntryKind::Regular:
            return " is a file, not a folder.";
        case EntryKind::Folder:
            return " is a folder, not a file.";
        case EntryKind::DanglingLink:
            return wantFolder ? " is a link to a folder that does not exist."
                              : " is a link to a file that does not exist.";
        case EntryKind::Special:
            break;
    }
    return " is a device, pipe or socket, not a " + std::string(wantFolder ? "folder." : "file.");
}

Status MakeFolder(const std::string& path, std::string_view what, bool parents) {
    const std::string named = std::string(what) + " " + Quoted(path);
    const Result<Entry> entry = CurrentPlatform().Lookup(path);
    if (entry && entry->kind == EntryKind::Folder) return {};
    if (entry && entry->kind != EntryKind::Missing)
        return Failure{named + WrongKind(entry->kind, true)};
    Status made = entry ? Status() : Status(entry.failure());
    if (made && parents) made = MakeParents(path);
    if (made) made = CurrentPlatform().CreateFolder(path);
    if (made) return {};
    return Failure{named + " could not be made" + Because(made.failure()), made.failure().code};
}

Result<SetOutcome> WriteFiles(FileSet set) {
    const bool several = set.files.size() > 1;
    // `file` did not take its place, and every file is as it was unless `notRestored` names some.
    const auto stopped = [&](std::size_t file, const NewFileFailure& why,
                             const std::string& notRestored = {}) {
        const OutputFile& output = set.files[file];
        std::string message =
            !several
                ? NotWritten(output.what, output.path, why, set.noConsentHint)
                : Stopped(output.what, output.path, why, set.noConsentHint) +
                      (notRestored.empty()
                           ? std::string(kSetUnchanged)
                           : " These files could not be put back as they were: " + notRestored);
        return Failure{std::move(message), why.code};
    };
    for (const std::string& folder : set.folders) {
        if (Status made = MakeFolder(folder); !made) {
            return Failure{made.failure().message + (several ? kSetUnchanged : ""),
                           made.failure().code};
        }
    }
    std::vector<std::unique_ptr<NewFile>> files;
    std::vector<NewFile*> all;
    for (std::size_t i = 0; i < set.files.size(); ++i) {
        std::string& bytes = set.files[i].bytes;
        files.push_back(std::make_unique<NewFile>(set.files[i].path));
        all.push_back(files.back().get());
        NewFileStatus begun = all[i]->Begin(set.files[i].agreed);
        if (begun) begun = all[i]->Write(bytes.data(), bytes.size());
        if (!begun) return stopped(i, begun.failure());
        // Only the temporary file holds the content from here on.
        std::string().swap(bytes);
    }
    if (!several && !all.empty()) {
        if (NewFileStatus done = all[0]->Commit(); !done) return stopped(0, done.failure());
    } else if (const auto committed = NewFile::CommitAll(all); !committed) {
        return stopped(committed.failure().file, committed.failure(),
                       committed.failure().notRestored);
    }
    SetOutcome outcome;
    for (const NewFile* file : all)
        outcome.replaced.push_back(file->HadFile());
    return outcome;
}

}  // namespace tarnwick::fileio
