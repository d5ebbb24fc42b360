#include "policy/MakePolicy.h"

#include <optional>
#include <utility>
#include <vector>

#include "fileio/NewFile.h"
#include "fileio/mdlAPIFiles.h"
#include "generate/Messages.h"
#include "policy/PolicyText.h"

namespace tarnwick::policy {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

std::string Join(const std::string& folder, const std::string& name) {
    if (!folder.empty() && (folder.back() == '/' || folder.back() == kSeparator)) {
        return folder + name;
    }
    return folder + kSeparator + name;
}

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

bool IsFolder(const std::string& path) {
    std::uint32_t attributes = 0;
    return !path.empty() && fileio::CurrentPlatform().Attributes(path, attributes) &&
           (attributes & fileio::kAttrDirectory) != 0;
}

// The whole file through the current platform, and its identity as it was read, so that it is
// replaced later only if it is still that file; false with `why` on any failure.
bool ReadWhole(const std::string& path, std::string& bytes, std::optional<fileio::FileId>& id,
               fileio::SysError& why) {
    fileio::Platform& platform = fileio::CurrentPlatform();
    fileio::Handle handle = fileio::kNoHandle;
    if (!platform.Open(path, fileio::Access::Read, fileio::Disposition::OpenExisting, handle,
                       why)) {
        return false;
    }
    fileio::FileStat stat;
    std::uint64_t size = 0;
    bool ok = platform.Stat(handle, stat, why) && platform.Size(handle, size, why);
    if (ok) id = stat.id;
    if (ok && size > (64u << 20)) {
        why = {0, "it is larger than 64 MiB"};
        ok = false;
    }
    if (ok) {
        bytes.assign(static_cast<std::size_t>(size), '\0');
        std::size_t got = 0;
        ok = size == 0 || platform.Read(handle, bytes.data(), bytes.size(), got, why);
        if (ok && got != bytes.size()) {
            why = {0, "it changed while it was read"};
            ok = false;
        }
    }
    fileio::SysError closeWhy;
    const bool closed = platform.Close(handle, closeWhy);
    // A file that was only read has lost nothing when closing it fails.
    (void)closed;
    return ok;
}

// Creates the culture folder when it is missing.
bool EnsureFolder(const std::string& path, fileio::SysError& why) {
    if (IsFolder(path)) return true;
    if (fileio::CurrentPlatform().CreateFolder(path, why)) return true;
    if (fileio::FileExists(path)) why = {0, "a file of that name is in the way"};
    return false;
}

PolicyResult Outcome(PolicyStatus status, std::string message, PolicyResult base,
                     fileio::SysError why = {}) {
    base.status = status;
    base.message = std::move(message);
    base.error = std::move(why);
    return base;
}

std::string Files(const PolicyResult& result) {
    return Quoted(result.admxPath) + " and " + Quoted(result.admlPath);
}

}  // namespace

PolicyResult MakePolicyDefinitions(const DriveSet& drives, const std::string& folder) {
    PolicyResult result;
    const std::string cultureFolder = Join(folder, kCulture);
    result.admxPath = Join(folder, kAdmxName);
    result.admlPath = Join(cultureFolder, kAdmlName);
    if (drives.Empty()) return Outcome(PolicyStatus::InvalidInput, msg::kSelectDrives, result);
    const DriveItem item{drives.EntryName(), drives.DisplayText(), drives.Mask()};
    result.entryName = item.entryName;
    result.maskText = std::to_string(item.mask);
    if (!IsFolder(folder)) {
        return Outcome(PolicyStatus::InvalidInput,
                       "The PolicyDefinitions folder " + Quoted(folder) +
                           " does not exist. Nothing was written.",
                       result);
    }

    const bool haveAdmx = fileio::FileExists(result.admxPath);
    const bool haveAdml = fileio::FileExists(result.admlPath);
    // Each file is replaced only as it was read: one that changes or appears meanwhile is kept.
    std::optional<fileio::FileId> admxRead, admlRead;
    std::string admx, adml;
    fileio::SysError why;
    if (haveAdmx && !ReadWhole(result.admxPath, admx, admxRead, why)) {
        return Outcome(PolicyStatus::Failed,
                       "The policy definition file " + Quoted(result.admxPath) + " cannot be read" +
                           fileio::Because(why) + " Nothing was changed.",
                       result, why);
    }
    if (haveAdml && !ReadWhole(result.admlPath, adml, admlRead, why)) {
        return Outcome(PolicyStatus::Failed,
                       "The language file " + Quoted(result.admlPath) + " cannot be read" +
                           fileio::Because(why) + " Nothing was changed.",
                       result, why);
    }

    std::vector<DriveItem> items;
    if (haveAdmx) {
        if (!haveAdml) {
            return Outcome(PolicyStatus::Refused,
                           "The language file " + Quoted(result.admlPath) + " of " +
                               Quoted(result.admxPath) + " is missing. Nothing was changed.",
                           result);
        }
        ReadResult read = ReadPair(admx, adml);
        if (!read.ok) {
            return Outcome(PolicyStatus::Refused,
                           "The existing " +
                               Quoted(read.admxAtFault ? result.admxPath : result.admlPath) +
                               " cannot be extended: " + read.cause + " Both files are unchanged.",
                           result);
        }
        items = std::move(read.items);
    } else if (haveAdml) {
        // A language file alone is what a run that stopped between its two replaces leaves.
        std::string cause;
        if (!IsOwnLanguageFile(adml, cause)) {
            return Outcome(PolicyStatus::Refused,
                           "The existing " + Quoted(result.admlPath) +
                               " cannot be replaced: " + cause + " Nothing was changed.",
                           result);
        }
    }

    for (const DriveItem& offered : items) {
        if (offered.mask == item.mask) {
            result.offeredBy = offered.entryName;
            return Outcome(PolicyStatus::AlreadyOffered,
                           "The drive set " + item.entryName + " (mask " + result.maskText +
                               ") is already offered by the item " + offered.entryName + " of " +
                               Quoted(result.admxPath) + ". Both files are unchanged.",
                           result);
        }
        if (offered.entryName == item.entryName) {
            return Outcome(PolicyStatus::Refused,
                           "The existing " + Quoted(result.admxPath) +
                               " cannot be extended: its item " + item.entryName +
                               " has another mask than " + result.maskText +
                               ". Both files are unchanged.",
                           result);
        }
    }
    items.push_back(item);

    if (!EnsureFolder(cultureFolder, why)) {
        return Outcome(PolicyStatus::Failed,
                       "The language folder " + Quoted(cultureFolder) + " cannot be created" +
                           fileio::Because(why) + " Nothing was changed.",
                       result, why);
    }
    // The language file first: the ADMX never names a string that the ADML lacks.
    fileio::NewFileFailure failure;
    if (!fileio::WriteNewFile(result.admlPath, RenderAdml(items), admlRead, failure)) {
        return Outcome(PolicyStatus::Failed,
                       "The language file " + Quoted(result.admlPath) + " cannot be written" +
                           failure.cause + " Both files are unchanged.",
                       result, failure.why);
    }
    if (!fileio::WriteNewFile(result.admxPath, RenderAdmx(items), admxRead, failure)) {
        return Outcome(PolicyStatus::Failed,
                       "The policy definition file " + Quoted(result.admxPath) +
                           " cannot be written" + failure.cause +
                           " It is unchanged; its language file " + Quoted(result.admlPath) +
                           " already holds the new string, which does no harm.",
                       result, failure.why);
    }
    const bool created = !haveAdmx;
    return Outcome(created ? PolicyStatus::Created : PolicyStatus::Added,
                   std::string(created ? "Created " : "Added the item ") +
                       (created ? Files(result) + " with the item " + item.entryName
                                : item.entryName + " to " + Files(result)) +
                       " (mask " + result.maskText + ", \"" + item.displayText + "\").",
                   result);
}

}  // namespace tarnwick::policy
