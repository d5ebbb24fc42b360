#include "prefs/GppFiles.h"

#include <optional>

#include "core/Text.h"
#include "fileio/WriteFiles.h"
#include "regpol/GptIni.h"
#include "regpol/PolicyFiles.h"

namespace tarnwick::prefs {

namespace {

constexpr const char* kUnchanged = " Nothing was changed.";

std::string PreferencesFolderOf(const std::string& gpoFolder) {
    return regpol::FindEntry(regpol::UserFolderOf(gpoFolder),
                             {"Preferences", "PREFERENCES", "preferences"});
}

std::string RegistryFolderOf(const std::string& gpoFolder) {
    return regpol::FindEntry(PreferencesFolderOf(gpoFolder), {"Registry", "REGISTRY", "registry"});
}

Failure Malformed(const std::string& path, const std::string& why) {
    return Failure{"The existing " + Quoted(path) + " cannot be edited: " + why + "." + kUnchanged};
}

}  // namespace

std::string RegistryXmlPathOf(const std::string& gpoFolder) {
    return regpol::FindEntry(RegistryFolderOf(gpoFolder),
                             {"Registry.xml", "REGISTRY.XML", "registry.xml"});
}

Result<GppOutcome> WriteGpp(const std::string& folder, const GppRequest& request) {
    fileio::FileLock lock;
    if (Status open = regpol::OpenPolicyObject(folder, lock, request.waiter); !open)
        return open.failure();

    GppOutcome outcome;
    outcome.gpoFolder = folder;
    outcome.xmlPath = RegistryXmlPathOf(folder);
    outcome.gptPath = regpol::GptPathOf(folder);
    auto xml = regpol::ReadExisting(outcome.xmlPath);
    if (!xml) return Failure{xml.failure().message + kUnchanged, xml.failure().code};
    auto gpt = regpol::ReadExisting(outcome.gptPath);
    if (!gpt) return Failure{gpt.failure().message + kUnchanged, gpt.failure().code};

    const std::vector<Item> items =
        ItemsFor(request.drives, request.policy, request.targets, request.changed, request.action);
    for (const Item& item : items)
        outcome.uids.push_back(ItemUid(item.valueName, item.targets));
    std::string xmlAfter;
    std::optional<fileio::FileId> xmlId, gptId;
    if (*xml) {
        xmlId = (*xml)->id;
        Result<Edit> edit = AddItems((*xml)->bytes, items);
        if (!edit) return Malformed(outcome.xmlPath, edit.failure().message);
        outcome.added = edit->added;
        outcome.replaced = edit->replaced;
        xmlAfter = std::move(edit->bytes);
        std::string().swap((*xml)->bytes);
    } else {
        outcome.xmlCreated = true;
        outcome.added = static_cast<int>(items.size());
        xmlAfter = RenderRegistryXml(items);
    }
    std::optional<std::string> gptBefore;
    if (*gpt) gptBefore = (*gpt)->bytes, gptId = (*gpt)->id;
    outcome.gptCreated = !*gpt;
    // gpt.ini of a domain policy object lists no extensions: the directory holds them.
    auto gptAfter = regpol::MoveUserVersion(gptBefore, false);
    if (!gptAfter) return Malformed(outcome.gptPath, gptAfter.failure().message);
    outcome.oldVersion = gptAfter->oldVersion;
    outcome.newVersion = gptAfter->newVersion;

    // Both files, complete beside their targets, then put in place as one.
    fileio::FileSet set;
    if (!*xml) {
        set.folders = {regpol::UserFolderOf(folder), PreferencesFolderOf(folder),
                       RegistryFolderOf(folder)};
    }
    set.files.push_back({outcome.xmlPath, std::move(xmlAfter), xmlId});
    set.files.push_back({outcome.gptPath, std::move(gptAfter->text), gptId});
    if (auto written = fileio::WriteFiles(std::move(set)); !written) return written.failure();
    return outcome;
}

}  // namespace tarnwick::prefs
