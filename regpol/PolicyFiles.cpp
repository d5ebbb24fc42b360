#include "regpol/PolicyFiles.h"

#include "core/Limits.h"
#include "core/Text.h"
#include "fileio/Leftovers.h"
#include "fileio/WriteFiles.h"
#include "regpol/GptIni.h"

namespace tarnwick::regpol {

namespace {

fileio::EntryKind KindOf(const std::string& path) {
    const Result<fileio::Entry> entry = fileio::CurrentPlatform().Lookup(path);
    if (!entry) return fileio::EntryKind::Special;
    return entry->kind;
}

Failure Malformed(const std::string& path, const Failure& why) {
    return Failure{Quoted(path) + ", " + why.message + ". Nothing was changed."};
}

// The folder above `path` (its trailing separators dropped), or empty at the top.
std::string Parent(std::string path) {
#ifdef _WIN32
    constexpr std::string_view kSeparators = "\\/";
#else
    constexpr std::string_view kSeparators = "/";
#endif
    while (path.size() > 1 && kSeparators.find(path.back()) != std::string_view::npos)
        path.pop_back();
    const std::size_t last = path.find_last_of(kSeparators);
    return last == std::string::npos || last == 0 ? std::string() : path.substr(0, last);
}

// The GPMC backup that `folder` is in (the folder itself, its DomainSysvol or that folder's GPO):
// the folder that holds DomainSysvol and the backup's description, Backup.xml or bkupInfo.xml, in
// any letter case (a backup copied to Linux may have its names in another).
std::optional<std::string> BackupOf(const std::string& folder) {
    std::string at = folder;
    for (int up = 0; up < 3 && !at.empty(); ++up, at = Parent(at)) {
        const auto names = fileio::CurrentPlatform().ListFolder(at);
        if (!names) continue;
        bool sysvol = false, description = false;
        for (const std::string& name : *names) {
            if (EqualNoCase(name, "DomainSysvol")) {
                sysvol = sysvol || KindOf(JoinPath(at, name)) == fileio::EntryKind::Folder;
            } else if (EqualNoCase(name, "Backup.xml") || EqualNoCase(name, "bkupInfo.xml")) {
                description =
                    description || KindOf(JoinPath(at, name)) == fileio::EntryKind::Regular;
            }
        }
        if (sysvol && description) return at;
    }
    return std::nullopt;
}

}  // namespace

std::string FindEntry(const std::string& folder, std::initializer_list<std::string_view> names) {
    for (std::string_view name : names) {
        const std::string path = JoinPath(folder, name);
        if (KindOf(path) != fileio::EntryKind::Missing) return path;
    }
    return JoinPath(folder, *names.begin());
}

std::string UserFolderOf(const std::string& gpoFolder) {
    return FindEntry(gpoFolder, {"User", "USER", "user"});
}

std::string PolPathIn(const std::string& userFolder) {
    return FindEntry(userFolder, {"Registry.pol", "registry.pol", "REGISTRY.POL"});
}

std::string GptPathOf(const std::string& gpoFolder) {
    return FindEntry(gpoFolder, {"gpt.ini", "GPT.INI", "Gpt.ini", "GPT.ini"});
}

Result<std::optional<fileio::WholeFile>> ReadExisting(const std::string& path) {
    fileio::Platform& platform = fileio::CurrentPlatform();
    const Result<fileio::Entry> entry = platform.Lookup(path);
    if (!entry) {
        return Failure{Quoted(path) + " cannot be looked at" + fileio::Because(entry.failure()),
                       entry.failure().code};
    }
    if (entry->kind == fileio::EntryKind::Missing) return std::optional<fileio::WholeFile>{};
    if (entry->kind != fileio::EntryKind::Regular) {
        return Failure{Quoted(path) + " is no regular file."};
    }
    Result<fileio::WholeFile, fileio::WholeReadFailure> read =
        fileio::ReadWholeFile(path, kMaxInputBytes);
    if (!read) {
        const fileio::WholeReadFailure& why = read.failure();
        const std::string cause = why.tooLarge  ? ": it is " + LargerThanLimit() + "."
                                  : why.changed ? ": it changed while it was read."
                                                : fileio::Because(why);
        return Failure{Quoted(path) + " cannot be read" + cause, why.code};
    }
    return std::optional<fileio::WholeFile>{std::move(*read)};
}

Result<PolWrite> WritePolFile(const std::string& path, std::uint32_t mask, DrivePolicy policy,
                              PolAction action, bool merge) {
    auto existing = ReadExisting(path);
    if (!existing) return existing.failure();
    std::optional<std::string> before;
    std::optional<fileio::FileId> agreed;
    if (*existing && merge) {
        before = (*existing)->bytes;
        agreed = (*existing)->id;
    }
    auto bytes = EditDriveValues(before, mask, policy, action);
    if (!bytes) return Malformed(path, bytes.failure());
    fileio::FileSet set;
    set.files.push_back({path, std::move(*bytes), agreed});
    if (!merge) set.noConsentHint = " Use --force to merge into it.";
    if (auto written = fileio::WriteFiles(std::move(set)); !written) return written.failure();
    return PolWrite{!existing->has_value()};
}

Status OpenPolicyObject(const std::string& folder, fileio::FileLock& lock, fileio::Waiter* waiter) {
    if (KindOf(folder) != fileio::EntryKind::Folder) {
        return Failure{"The policy folder " + Quoted(folder) +
                       " does not exist. Nothing was written."};
    }
    // GPMC's import takes a backup's settings from its description files (Backup.xml,
    // bkupInfo.xml, gpreport.xml) as well as the folder; a file changed beside them might not be
    // carried, so a backup is not edited at all.
    if (const auto backup = BackupOf(folder)) {
        return Failure{
            Quoted(folder) + " is in a GPMC backup (" + Quoted(*backup) +
            " holds Backup.xml and DomainSysvol); a file changed there may not "
            "be carried by an import. Nothing was written. Use the policy object's "
            "folder in SYSVOL instead, \\\\DOMAIN\\SYSVOL\\DOMAIN\\Policies\\{GPO-GUID} (the "
            "domain and GUID are GPODomain and GPOGuid in bkupInfo.xml), then back it "
            "up again."};
    }
    // From the first read to the last replace, no other run writes this policy object.
    const std::string lockPath = JoinPath(folder, "gpt.ini.lock");
    fileio::Waiter silent;
    if (waiter == nullptr) waiter = &silent;
    if (const auto locked = lock.Take(lockPath, "the policy object " + Quoted(folder), *waiter);
        !locked) {
        if (locked.failure().cancelled) {
            return Failure{"Stopped waiting for the other run writing the policy object " +
                           Quoted(folder) + ". Nothing was written."};
        }
        if (locked.failure().busy) {
            const auto seconds =
                std::chrono::duration_cast<std::chrono::seconds>(waiter->Limit()).count();
            return Failure{"Another run is writing the policy object " + Quoted(folder) +
                           " (it holds " + Quoted(lockPath) + "); waited " +
                           std::to_string(seconds) +
                           " seconds for it. Nothing was written. Try again when it is done."};
        }
        return Failure{"The lock file " + Quoted(lockPath) + " cannot be created" +
                           locked.failure().message + " Nothing was written.",
                       locked.failure().code};
    }
    // A run that died while putting its files in place left them half moved: forward or back to
    // one set before they are read.
    if (Status healed = fileio::HealSets(folder); !healed) {
        return Failure{"The files of " + Quoted(folder) +
                           " that an earlier run left half written cannot be put in order" +
                           fileio::Because(healed.failure()) + " Nothing was written.",
                       healed.failure().code};
    }
    return {};
}

Result<GpoChange> EditGpo(const std::string& folder, std::uint32_t mask, DrivePolicy policy,
                          PolAction action, bool localPolicy, fileio::Waiter* waiter) {
    fileio::FileLock lock;
    if (Status open = OpenPolicyObject(folder, lock, waiter); !open) return open.failure();
    GpoChange change;
    const std::string userFolder = UserFolderOf(folder);
    change.polPath = PolPathIn(userFolder);
    change.gptPath = GptPathOf(folder);

    // Both files are read and their new texts made before anything is written, so a malformed
    // gpt.ini stops the run with Registry.pol untouched.
    auto pol = ReadExisting(change.polPath);
    if (!pol) return pol.failure();
    auto gpt = ReadExisting(change.gptPath);
    if (!gpt) return gpt.failure();
    std::optional<std::string> polBefore, gptBefore;
    std::optional<fileio::FileId> polId, gptId;
    if (*pol) polBefore = (*pol)->bytes, polId = (*pol)->id;
    if (*gpt) gptBefore = (*gpt)->bytes, gptId = (*gpt)->id;
    auto polAfter = EditDriveValues(polBefore, mask, policy, action);
    if (!polAfter) return Malformed(change.polPath, polAfter.failure());
    auto gptAfter = MoveUserVersion(gptBefore, localPolicy);
    if (!gptAfter) return Malformed(change.gptPath, gptAfter.failure());
    change.polCreated = !polBefore;
    change.gptCreated = !gptBefore;
    change.oldVersion = gptAfter->oldVersion;
    change.newVersion = gptAfter->newVersion;

    // Both or neither, Registry.pol put in place first. Clients fetch a policy object's files
    // only when its version moved: a version moved over the old Registry.pol would be taken as
    // current and the change never fetched.
    fileio::FileSet set;
    set.folders.push_back(userFolder);
    set.files.push_back({change.polPath, std::move(*polAfter), polId});
    set.files.push_back({change.gptPath, std::move(gptAfter->text), gptId});
    if (auto written = fileio::WriteFiles(std::move(set)); !written) return written.failure();
    return change;
}

}  // namespace tarnwick::regpol
