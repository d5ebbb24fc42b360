#include "readback/DeployedValues.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/DriveSet.h"
#include "core/Text.h"
#include "fileio/NewFile.h"
#include "fileio/Platform.h"
#include "paths/PathText.h"
#include "prefs/GppFiles.h"
#include "prefs/RegistryXml.h"
#include "readback/IntuneScriptReader.h"
#include "readback/RegReader.h"
#include "readback/SambaJsonReader.h"
#include "regpol/GptIni.h"
#include "regpol/HereValues.h"
#include "regpol/LocalPolicy.h"
#include "regpol/PolicyFiles.h"

namespace tarnwick::readback {

namespace {

std::string Letters(std::uint32_t mask) {
    const std::string letters = MaskLetters(mask);
    return letters.empty() ? "-" : letters;
}

std::string TrimSeparator(std::string text) {
    while (!text.empty() && (text.front() == '/' || text.front() == '\\'))
        text.erase(0, 1);
    return text;
}

// The file's bytes, or why not; no file is a failure here.
Result<std::string> ReadFile(const std::string& path) {
    auto read = regpol::ReadExisting(path);
    if (!read) return read.failure();
    if (!*read) return Failure{"\"" + path + "\" does not exist."};
    return std::move((*read)->bytes);
}

Result<std::vector<FoundValue>> PolValues(const std::string& bytes, const std::string& path,
                                          const std::string& label, const std::string& hive) {
    auto records = regpol::ReadPol(bytes);
    if (!records) return Failure{path + ", " + records.failure().message + "."};
    std::vector<FoundValue> found;
    for (const auto& applied : regpol::AppliedDriveValues(*records)) {
        const regpol::PolRecord& record = (*records)[applied.record];
        FoundValue value;
        value.valueName = std::string(applied.name);
        value.where =
            hive + (label.empty() ? "" : label + ", ") + "byte " + std::to_string(record.offset);
        if (!applied.deletedBy.empty()) {
            value.state = "deleted";
            if (applied.deletedBy != regpol::kDeletePrefix)
                value.where += " (" + std::string(applied.deletedBy) + ")";
        } else if (const auto mask = regpol::DwordOf(record)) {
            value.state = "set";
            value.mask = mask;
        } else if (record.type == kRegBinary && record.data.size() == 4) {
            value.state = "set";
            value.mask = Le32Of(record.data);
            value.note = std::string(kBinaryNote);
        } else {
            value.state = "type " + std::to_string(record.type) + ", not a dword";
        }
        found.push_back(std::move(value));
    }
    return found;
}

// The drive items of a Registry.xml (Group Policy Preferences): each with its action and, in the
// Where column, for whom its targeting lets it apply.
Result<std::vector<FoundValue>> PrefValues(const std::string& bytes, const std::string& path,
                                           const std::string& label) {
    auto items = prefs::ReadRegistryXml(bytes);
    if (!items) return Failure{path + ", " + items.failure().message + "."};
    std::vector<FoundValue> found;
    for (const prefs::ReadItem& item : *items) {
        const bool drive = EqualNoCase(item.valueName, kNoDrivesValue) ||
                           EqualNoCase(item.valueName, kNoViewOnDriveValue);
        if (!drive || !EqualNoCase(item.key, kExplorerPoliciesKey)) continue;
        FoundValue value;
        value.valueName = EqualNoCase(item.valueName, kNoDrivesValue)
                              ? std::string(kNoDrivesValue)
                              : std::string(kNoViewOnDriveValue);
        value.where = Visible(item.hive) + ", " + (label.empty() ? "" : label + ", ") + "line " +
                      std::to_string(item.line) + ", " + prefs::ActionText(item.action);
        if (item.disabled) value.where += " (item disabled)";
        if (!item.disabled && item.inDisabledFolder) {
            value.where += " (in the disabled folder " + Quoted(Visible(item.disabledFolder)) + ")";
        }
        // The folders' targeting with the item's, as the client joins them.
        const std::string targets = prefs::AudienceText(item);
        if (!targets.empty()) value.where += ", " + targets;
        if (item.disabled || item.inDisabledFolder) {
            value.state = "disabled";  // the client skips it: nothing is set or deleted
        } else if (item.action == "D") {
            value.state = "deleted";
        } else if (item.dword) {
            value.state = "set";
            value.mask = item.dword;
        } else {
            value.state = item.type == "REG_DWORD" ? "not hex digits" : Visible(item.type);
        }
        found.push_back(std::move(value));
    }
    return found;
}

Result<ValueListing> GpoValues(const std::string& folder) {
    const std::string userFolder = regpol::UserFolderOf(folder);
    const std::string polPath = regpol::PolPathIn(userFolder);
    const std::string gptPath = regpol::GptPathOf(folder);
    ValueListing listing;
    auto gpt = regpol::ReadExisting(gptPath);
    if (!gpt) return gpt.failure();
    if (!*gpt) {
        listing.after += "Version: no gpt.ini in \"" + folder + "\"\n";
    } else if (const auto version = regpol::GptVersion((*gpt)->bytes)) {
        listing.after += "Version: " + std::to_string(*version) + " (user " +
                         std::to_string(*version >> 16) + ", computer " +
                         std::to_string(*version & 0xFFFF) + ") in " + gptPath + "\n";
    } else {
        listing.after += "Version: none that is a number in " + gptPath + "\n";
    }
    auto pol = regpol::ReadExisting(polPath);
    if (!pol) return pol.failure();
    const std::string xmlPath = prefs::RegistryXmlPathOf(folder);
    auto xml = regpol::ReadExisting(xmlPath);
    if (!xml) return xml.failure();
    if (!*pol && !*gpt && !*xml) {
        return Failure{"\"" + folder +
                       "\" is a folder, but no policy object's: it has neither gpt.ini nor "
                       "User/Registry.pol."};
    }
    std::vector<FoundValue> preferences;
    if (*xml) {
        auto read =
            PrefValues((*xml)->bytes, xmlPath, TrimSeparator(xmlPath.substr(folder.size())));
        if (!read) return read.failure();
        preferences = std::move(*read);
    }
    if (!*pol) {
        listing.values = std::move(preferences);
        listing.after =
            "No Registry.pol for users: " + polPath + " does not exist.\n" + listing.after;
        return listing;
    }
    // The file as the folder names it ("User/Registry.pol").
    auto values = PolValues((*pol)->bytes, polPath, TrimSeparator(polPath.substr(folder.size())),
                            "HKEY_CURRENT_USER, ");
    if (!values) return values.failure();
    listing.values = std::move(*values);
    listing.values.insert(listing.values.end(), preferences.begin(), preferences.end());
    return listing;
}

// Whom a local policy folder is for, as the editor names it.
std::string LocalLabel(const std::string& sid) {
    if (sid == "S-1-5-32-544") return "Local policy for Administrators (" + sid + ")";
    if (sid == "S-1-5-32-545") return "Local policy for Non-Administrators (" + sid + ")";
    return "Local policy for " + sid;
}

}  // namespace

bool ListsValues(const std::string& path) {
    return EndsWithNoCase(path, ".pol") || EndsWithNoCase(path, ".xml") ||
           EndsWithNoCase(path, ".reg") || EndsWithNoCase(path, ".json") ||
           EndsWithNoCase(path, ".ps1") || IsFolder(path);
}

namespace {

// The note on what hiding does not stop, once after a listing that sets a value.
void AddHidingLimits(ValueListing& listing) {
    for (const FoundValue& v : listing.values) {
        if (v.mask) {
            listing.after += std::string(regpol::kHidingLimits) + "\n";
            return;
        }
    }
}

Result<ValueListing> ReadFileValues(const std::string& path) {
    if (IsFolder(path)) return GpoValues(path);
    if (EndsWithNoCase(path, ".xml")) {
        auto bytes = ReadFile(path);
        if (!bytes) return bytes.failure();
        auto values = PrefValues(*bytes, path, "");
        if (!values) return values.failure();
        return ValueListing{std::move(*values), ""};
    }
    if (EndsWithNoCase(path, ".pol")) {
        auto bytes = ReadFile(path);
        if (!bytes) return bytes.failure();
        auto values = PolValues(*bytes, path, "", "");
        if (!values) return values.failure();
        return ValueListing{std::move(*values), ""};
    }
    auto bytes = ReadFile(path);
    if (!bytes) return bytes.failure();
    auto values = EndsWithNoCase(path, ".reg")   ? ReadRegFile(*bytes)
                  : EndsWithNoCase(path, ".ps1") ? ReadIntuneScript(*bytes)
                                                 : ReadSambaJson(*bytes);
    if (!values) return Failure{path + ", " + values.failure().message + "."};
    return ValueListing{std::move(*values), ""};
}

}  // namespace

Result<ValueListing> ReadDeployedValues(const std::string& path) {
    auto listing = ReadFileValues(path);
    if (listing) AddHidingLimits(*listing);
    return listing;
}

Result<ValueListing> ReadValuesHere() {
    auto here = regpol::ReadHereValues();
    if (!here) return here.failure();
    std::string note = regpol::HereNote(*here, true) +
                       regpol::OtherRestrictionLines(regpol::ReadOtherRestrictions()) +
                       std::string(regpol::kHidingLimits) + "\n";
    return ValueListing{std::move(*here), std::move(note)};
}

Result<LocalValues> ReadLocalValues(const std::string& windir) {
    std::vector<std::pair<std::string, std::string>> folders;  // label, folder
    const std::string all = regpol::LocalPolicyFolder(windir, std::nullopt);
    if (IsFolder(all)) folders.emplace_back("Local policy", all);
    const std::string users = JoinPath(regpol::LocalSystemFolder(windir), "GroupPolicyUsers");
    if (IsFolder(users)) {
        auto names = fileio::CurrentPlatform().ListFolder(users);
        if (!names) {
            return Failure{Quoted(users) + " cannot be listed" + fileio::Because(names.failure())};
        }
        std::sort(names->begin(), names->end());
        for (const auto& name : *names)
            if (IsFolder(JoinPath(users, name)))
                folders.emplace_back(LocalLabel(name), JoinPath(users, name));
    }
    LocalValues local;
    if (folders.empty()) {
        local.none = "No local policy: neither " + all + " nor a folder in " + users + ".";
        return local;
    }
    for (const auto& [label, folder] : folders) {
        auto one = GpoValues(folder);
        if (!one) {
            local.unread.push_back(label + ": " + one.failure().message);
            continue;
        }
        for (auto& v : one->values) {
            v.where = label + ": " + v.where;
            local.listing.values.push_back(std::move(v));
        }
        local.listing.after += label + ": " + folder + "\n" + one->after;
    }
    AddHidingLimits(local.listing);
    return local;
}

std::string FormatValues(const std::vector<FoundValue>& values, bool tsv) {
    std::vector<std::array<std::string, 4>> rows;
    if (!tsv) rows.push_back({"Value name", "Mask", "Drives", "Where"});
    for (const auto& v : values) {
        rows.push_back({v.valueName, v.mask ? std::to_string(*v.mask) : v.state,
                        v.mask ? Letters(*v.mask) : "-", v.where});
    }
    std::array<std::size_t, 4> widths{};
    for (const auto& row : rows)
        for (std::size_t c = 0; c < 3; ++c)
            widths[c] = std::max(widths[c], row[c].size());
    std::string out;
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < 4; ++c) {
            out += row[c];
            if (c == 3) break;
            out += tsv ? std::string("\t") : std::string(widths[c] - row[c].size() + 2, ' ');
        }
        out += "\n";
    }
    return out;
}

}  // namespace tarnwick::readback
