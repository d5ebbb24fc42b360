#include "policy/MakePolicy.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "core/Limits.h"
#include "core/Text.h"
#include "fileio/Leftovers.h"
#include "fileio/WholeFile.h"
#include "fileio/WriteFiles.h"
#include "fileio/mdlAPIFiles.h"
#include "policy/PolicyText.h"
#include "words/Words.h"

namespace tarnwick::policy {

namespace {

constexpr const char* kUnchanged = " Nothing was changed.";

Failure Fail(std::string message, const Failure& why = {}) {
    return Failure{std::move(message), why.code};
}

// A read that failed, in the same words as a write that fails for the same cause.
std::string ReadCause(const Failure& why) {
    if (fileio::CauseOf(why) == fileio::Cause::AccessDenied) {
        return ": access is denied (the file or its folder may not be read).";
    }
    return fileio::CauseText(why, false);
}

// One file of the store as read: where it is, its bytes, and its identity when read, so that it
// is replaced later only if it is still that file.
struct StoreFile {
    std::string path;
    std::string bytes;
    std::optional<fileio::FileId> id;  // none: no file there
    std::string grown;                 // the new content, when it changes
};

// What is at `path`: nothing or a regular file is fine; anything else stops the run.
Status LookAt(const std::string& path, const char* what, fileio::Entry& entry) {
    Result<fileio::Entry> found = fileio::CurrentPlatform().Lookup(path);
    if (!found) {
        const Failure& why = found.failure();
        return Fail(
            std::string(what) + Quoted(path) + " cannot be examined" + ReadCause(why) + kUnchanged,
            why);
    }
    entry = std::move(*found);
    if (entry.kind == fileio::EntryKind::Missing || entry.kind == fileio::EntryKind::Regular) {
        return {};
    }
    return Fail(std::string(what) + Quoted(path) + fileio::WrongKind(entry.kind, false) +
                kUnchanged);
}

// The whole file through the current platform, refused before reading when it is larger than any
// policy file may be.
Status ReadWhole(StoreFile& file, const char* what) {
    Result<fileio::WholeFile, fileio::WholeReadFailure> read =
        fileio::ReadWholeFile(file.path, kMaxInputBytes);
    if (!read) {
        const fileio::WholeReadFailure& why = read.failure();
        const std::string cause =
            why.tooLarge  ? ": it is " + LargerThanLimit() + ", far more than any policy file."
            : why.changed ? ": it changed while it was read."
                          : ReadCause(why);
        return Fail(std::string(what) + Quoted(file.path) + " cannot be read" + cause + kUnchanged,
                    why);
    }
    file.id = read->id;
    file.bytes = std::move(read->bytes);
    return {};
}

bool SameFile(const fileio::FileId& a, const fileio::FileId& b) {
    return a.volume == b.volume && a.index == b.index;
}

// A language file as found: its identity, the folder that holds the name a replace writes to (a
// link's target's), and the name it was found under.
struct Found {
    fileio::FileId id;
    std::optional<fileio::FileId> holder;
    std::string path;
};

Found FoundAt(const fileio::Entry& entry, const std::string& path) {
    Found found{entry.id, std::nullopt, path};
    const std::size_t slash = entry.target.find_last_of("/\\");
    if (slash == std::string::npos) return found;
    const Result<fileio::Entry> holder =
        fileio::CurrentPlatform().Lookup(entry.target.substr(0, slash));
    if (holder && holder->kind == fileio::EntryKind::Folder) found.holder = holder->id;
    return found;
}

// The files of the store to read: the ADMX, the en-US language file, and the language file of
// every other folder that has one, in the order of the folder names. A file reached by two names
// through links (a linked language folder, a linked file) is one file, taken once under its first
// name, and never again under en-US's (`seen`, when there is one). A hard link is refused: the
// new file put in place under one name would leave the old one under the other.
Result<std::vector<std::string>> OtherLanguageFiles(const std::string& folder,
                                                    std::vector<Found> seen) {
    Result<std::vector<std::string>> listed = fileio::CurrentPlatform().ListFolder(folder);
    if (!listed) {
        return Fail("The PolicyDefinitions folder " + Quoted(folder) + " cannot be listed" +
                        ReadCause(listed.failure()) + kUnchanged,
                    listed.failure());
    }
    std::vector<std::string> names = std::move(*listed);
    std::sort(names.begin(), names.end());
    std::vector<std::string> paths;
    for (const std::string& name : names) {
        if (name == kCulture) continue;
        const std::string path = JoinPath(JoinPath(folder, name), kAdmlName);
        const Result<fileio::Entry> entry = fileio::CurrentPlatform().Lookup(path);
        if (!entry) {
            return Fail("The language file " + Quoted(path) + " cannot be examined" +
                            ReadCause(entry.failure()) + kUnchanged,
                        entry.failure());
        }
        if (entry->kind == fileio::EntryKind::Missing) continue;
        if (entry->kind != fileio::EntryKind::Regular) {
            return Fail("The language file " + Quoted(path) +
                        fileio::WrongKind(entry->kind, false) + kUnchanged);
        }
        const Found found = FoundAt(*entry, path);
        const auto same = std::find_if(seen.begin(), seen.end(), [&](const Found& other) {
            return SameFile(found.id, other.id);
        });
        if (same == seen.end()) {
            seen.push_back(found);
            paths.push_back(path);
            continue;
        }
        if (!found.holder || !same->holder || !SameFile(*found.holder, *same->holder)) {
            return Fail("The language files " + Quoted(same->path) + " and " + Quoted(path) +
                        " are one file under two names (a hard link): the grown file would take "
                        "the place of one name only, and the other would keep the old text." +
                        kUnchanged +
                        " Make one of them a copy of the other, or a symbolic link "
                        "to it, and run again.");
        }
    }
    return paths;
}

std::string WhatIs(const std::string& path) {
    const bool admx = path.size() >= 5 && path.compare(path.size() - 5, 5, ".admx") == 0;
    return admx ? "The policy definition file" : "The language file";
}

Failure Refused(const std::string& path, const std::string& cause) {
    return Fail("The existing " + Quoted(path) + " cannot be extended: " + cause +
                " Every file is unchanged.");
}

// The store's lock, held from the first read to the last replace, so that no other run writes it.
Status LockStore(fileio::FileLock& lock, const std::string& folder, const PolicyOptions& options) {
    const std::string lockPath = JoinPath(folder, kLockName);
    fileio::Waiter silent;
    fileio::Waiter& waiter = options.waiter != nullptr ? *options.waiter : silent;
    const auto locked = lock.Take(lockPath, "the policy definitions in " + Quoted(folder), waiter);
    if (locked) return {};
    if (locked.failure().cancelled) {
        return Fail("Stopped waiting for the other run writing the policy definitions in " +
                    Quoted(folder) + "." + kUnchanged);
    }
    if (locked.failure().busy) {
        const auto seconds =
            std::chrono::duration_cast<std::chrono::seconds>(waiter.Limit()).count();
        return Fail("Another run is writing the policy definitions in " + Quoted(folder) +
                    " (it holds " + Quoted(lockPath) + "); waited " + std::to_string(seconds) +
                    " seconds for it." + kUnchanged + " Try again when it is done.");
    }
    return Failure{"The lock file " + Quoted(lockPath) + " cannot be created" +
                       locked.failure().message + kUnchanged,
                   locked.failure().code};
}

// The store as read under its lock: the pair and the other languages' files.
struct Store {
    StoreFile admx, adml;
    bool haveAdmx = false, haveAdml = false;
    std::vector<StoreFile> others;
};

Status ReadStore(const std::string& folder, Store& store) {
    // What killed runs left beside the pair goes: every writer of it holds the lock.
    fileio::ClearLeftovers(store.admx.path, true);
    fileio::ClearLeftovers(store.adml.path, true);
    fileio::Entry admxEntry, admlEntry;
    if (Status s = LookAt(store.admx.path, "The policy definition file ", admxEntry); !s) return s;
    if (Status s = LookAt(store.adml.path, "The language file ", admlEntry); !s) return s;
    store.haveAdmx = admxEntry.kind == fileio::EntryKind::Regular;
    store.haveAdml = admlEntry.kind == fileio::EntryKind::Regular;
    if (store.haveAdmx) {
        if (Status s = ReadWhole(store.admx, "The policy definition file "); !s) return s;
    }
    if (store.haveAdml) {
        if (Status s = ReadWhole(store.adml, "The language file "); !s) return s;
    }
    std::vector<Found> seen;
    if (store.haveAdml) seen.push_back(FoundAt(admlEntry, store.adml.path));
    Result<std::vector<std::string>> otherPaths = OtherLanguageFiles(folder, std::move(seen));
    if (!otherPaths) return otherPaths.failure();
    for (const std::string& path : *otherPaths) {
        fileio::ClearLeftovers(path, true);
        store.others.push_back({path, {}, {}, {}});
        if (Status s = ReadWhole(store.others.back(), "The language file "); !s) return s;
    }
    return {};
}

// The item added to the existing pair: its new contents, or the item that offers the mask
// already (AlreadyOffered).
Status GrowPair(Store& store, const DriveItem& item, PolicyOutcome& outcome) {
    StoreFile& admx = store.admx;
    StoreFile& adml = store.adml;
    if (!store.haveAdml) {
        return Fail("The language file " + Quoted(adml.path) + " of " + Quoted(admx.path) +
                    " is missing." + kUnchanged);
    }
    const Result<Pair, PairFailure> pair = ReadPair(admx.bytes, adml.bytes);
    if (!pair) {
        const PairFailure& failure = pair.failure();
        return Refused(failure.admxAtFault ? admx.path : adml.path, failure.message);
    }
    const Pair& read = *pair;
    // One pass over the items: a mask offered already, or the name taken by another mask.
    std::unordered_map<std::uint32_t, const DriveItem*> byMask;
    std::unordered_set<std::string_view> names;
    byMask.reserve(read.items.size());
    names.reserve(read.items.size());
    for (const DriveItem& offered : read.items) {
        byMask.emplace(offered.mask, &offered);
        names.insert(offered.entryName);
    }
    if (const auto found = byMask.find(item.mask); found != byMask.end()) {
        outcome.status = PolicyStatus::AlreadyOffered;
        outcome.offeredBy = found->second->entryName;
        outcome.message = "The drive set " + item.entryName + " (mask " + outcome.maskText +
                          ") is already offered by the item " + Excerpt(outcome.offeredBy) +
                          " of " + Quoted(admx.path) + ". Every file is unchanged.";
        return {};
    }
    if (names.count(item.entryName) != 0) {
        return Refused(admx.path, "its item " + item.entryName + " has another mask than " +
                                      outcome.maskText + ".");
    }
    admx.grown = GrowAdmx(admx.bytes, read, item);
    // A string left with this id (by a hand edit, or an earlier run that stopped) is kept.
    if (read.language.strings.count(item.entryName) == 0) {
        adml.grown = GrowAdml(adml.bytes, read.language, item);
    }
    // Only the new content is needed from here on.
    std::string().swap(admx.bytes);
    std::string().swap(adml.bytes);
    return {};
}

// A new pair with the one item. A language file alone is what an older run that stopped between
// its two replaces left; it is made whole again.
Status NewPair(Store& store, const DriveItem& item) {
    if (store.haveAdml) {
        if (const Status own = IsOwnLanguageFile(store.adml.bytes); !own) {
            return Fail("The existing " + Quoted(store.adml.path) +
                        " cannot be replaced: " + own.failure().message + kUnchanged);
        }
    }
    store.admx.grown = RenderAdmx({item});
    store.adml.grown = RenderAdml({item});
    return {};
}

// Every file that changes, as one set: the language files first, so that should the run stop
// between them no ADMX names a missing string. Other languages get the English text until someone
// translates it.
Result<fileio::FileSet> ChangedFiles(Store& store, const DriveItem& item, PolicyOutcome& outcome) {
    std::vector<StoreFile*> changed;
    if (!store.adml.grown.empty()) changed.push_back(&store.adml);
    for (StoreFile& other : store.others) {
        const Result<LanguageFile> language = ReadLanguageFile(other.bytes);
        if (!language) return Refused(other.path, language.failure().message);
        if (language->strings.count(item.entryName) != 0) continue;  // translated already
        other.grown = GrowAdml(other.bytes, *language, item);
        std::string().swap(other.bytes);
        changed.push_back(&other);
        outcome.otherLanguages.push_back(other.path);
    }
    changed.push_back(&store.admx);
    fileio::FileSet set;
    for (StoreFile* file : changed) {
        // Grown past what every reader takes, the store could never be read or grown again.
        if (file->grown.size() > kMaxInputBytes) {
            return Refused(file->path, "with the new item it would be " + LargerThanLimit() +
                                           ", the most that Tarnwick and show read.");
        }
        set.files.push_back({file->path, std::move(file->grown), file->id, WhatIs(file->path)});
    }
    return set;
}

}  // namespace

Result<PolicyOutcome> MakePolicyDefinitions(const DriveSet& drives, const std::string& folder,
                                            const PolicyOptions& options) {
    if (drives.Empty()) return Fail(msg::kSelectDrives);
    PolicyOutcome outcome;
    const std::string cultureFolder = JoinPath(folder, kCulture);
    outcome.admxPath = JoinPath(folder, kAdmxName);
    outcome.admlPath = JoinPath(cultureFolder, kAdmlName);
    const DriveItem item{drives.EntryName(), drives.DisplayText(), drives.Mask()};
    outcome.entryName = item.entryName;
    outcome.maskText = std::to_string(item.mask);

    const Result<fileio::Entry> entry = fileio::CurrentPlatform().Lookup(folder);
    if (!entry) {
        return Fail("The PolicyDefinitions folder " + Quoted(folder) + " cannot be examined" +
                        ReadCause(entry.failure()) + " Nothing was written.",
                    entry.failure());
    }
    if (entry->kind != fileio::EntryKind::Folder) {
        return Fail("The PolicyDefinitions folder " + Quoted(folder) +
                    fileio::WrongKind(entry->kind, true) + " Nothing was written.");
    }
    fileio::FileLock lock;
    if (Status locked = LockStore(lock, folder, options); !locked) return locked.failure();
    // A run that died while putting the pair in place left it half moved: forward or back to one
    // pair before it is read.
    if (Status healed = fileio::HealSets(folder); !healed) {
        return Fail("The policy definitions in " + Quoted(folder) +
                        " that an earlier run left half written cannot be put in order" +
                        fileio::Because(healed.failure()) + kUnchanged,
                    healed.failure());
    }
    Store store;
    store.admx.path = outcome.admxPath;
    store.adml.path = outcome.admlPath;
    if (Status read = ReadStore(folder, store); !read) return read.failure();
    const Status grown = store.haveAdmx ? GrowPair(store, item, outcome) : NewPair(store, item);
    if (!grown) return grown.failure();
    if (outcome.status == PolicyStatus::AlreadyOffered) return outcome;
    Result<fileio::FileSet> set = ChangedFiles(store, item, outcome);
    if (!set) return set.failure();
    if (!store.haveAdmx) {
        if (Status made = fileio::MakeFolder(cultureFolder, "The language folder"); !made) {
            return Fail(made.failure().message + kUnchanged, made.failure());
        }
    }
    if (auto written = fileio::WriteFiles(std::move(*set)); !written) return written.failure();

    outcome.status = store.haveAdmx ? PolicyStatus::Added : PolicyStatus::Created;
    const std::string files = Quoted(outcome.admxPath) + " and " + Quoted(outcome.admlPath);
    outcome.message = (store.haveAdmx ? "Added the item " + item.entryName + " to " + files
                                      : "Created " + files + " with the item " + item.entryName) +
                      " (mask " + outcome.maskText + ", \"" + item.displayText + "\").";
    if (!outcome.otherLanguages.empty()) {
        outcome.message += " The language files of " +
                           std::to_string(outcome.otherLanguages.size()) +
                           " other languages have its English text.";
    }
    return outcome;
}

bool IsPolicyStore(std::string_view folder) {
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
        folder.remove_suffix(1);
    const std::size_t slash = folder.find_last_of("\\/");
    return EqualNoCase(slash == std::string_view::npos ? folder : folder.substr(slash + 1),
                       "PolicyDefinitions");
}

}  // namespace tarnwick::policy
