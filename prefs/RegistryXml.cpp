#include "prefs/RegistryXml.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <map>

#include "core/Limits.h"
#include "core/Text.h"
#include "prefs/NameGuid.h"
#include "prefs/Names.h"
#include "xml/Xml.h"

namespace tarnwick::prefs {

namespace {

std::string_view FilterElement(TargetKind kind) {
    switch (kind) {
        case TargetKind::Group:
            return "FilterGroup";
        case TargetKind::OrgUnit:
            return "FilterOrgUnit";
        case TargetKind::User:
            return "FilterUser";
    }
    return "FilterGroup";
}

std::string FilterText(const Target& target) {
    std::string text = "<" + std::string(FilterElement(target.kind)) + " bool=\"AND\" not=\"" +
                       (target.negated ? "1" : "0") + "\" name=\"" + xml::Escaped(target.name) +
                       "\"";
    switch (target.kind) {
        case TargetKind::Group:
            text += " sid=\"" + xml::Escaped(target.sid) +
                    "\" userContext=\"1\" primaryGroup=\"0\" localGroup=\"0\"";
            break;
        case TargetKind::OrgUnit:
            text += " userContext=\"1\" directMember=\"0\"";
            break;
        case TargetKind::User:
            text += " sid=\"" + xml::Escaped(target.sid) + "\"";
            break;
    }
    return text + "/>";
}

// The element's attribute, or "" when it has none.
std::string AttributeOf(const xml::Element& element, std::string_view name) {
    const std::string* value = element.Find(name);
    return value ? *value : std::string();
}

bool IsRoot(const xml::Element& root) {
    return root.localName == "RegistrySettings" && root.namespaceUri.empty();
}

Failure RootFailure(const xml::Element& root) {
    return Failure{"its root element is " + Visible(root.localName) +
                   ", not RegistrySettings: it is no Group Policy Preferences registry file"};
}

Result<xml::Document> ParseSettings(std::string_view bytes) {
    if (bytes.size() > kMaxInputBytes) {
        return Failure{"it is " + LargerThanLimit()};
    }
    Result<xml::Document, xml::XmlFailure> parsed = xml::Parse(bytes);
    if (!parsed) return Failure{"it is not well-formed XML: " + xml::Describe(parsed.failure())};
    if (!IsRoot(parsed->root)) return RootFailure(parsed->root);
    return std::move(*parsed);
}

// A registry item and what the folders around it do to it.
struct Found {
    const xml::Element* element = nullptr;
    bool inDisabledFolder = false;
    std::string disabledFolder;
    std::vector<const xml::Element*> folderFilters;  // each folder's <Filters> with conditions
    bool OwnAudience() const { return !inDisabledFolder && folderFilters.empty(); }
};

// Every registry item of `parent` and of the collections in it, in document order.
void CollectItems(const xml::Element& parent, std::vector<Found>& items, const Found& around = {}) {
    for (const xml::Element& child : parent.children) {
        if (child.localName == "Registry") {
            items.push_back(around);
            items.back().element = &child;
        } else if (child.localName == "Collection") {
            Found inner = around;
            if (!inner.inDisabledFolder && AttributeOf(child, "disabled") == "1") {
                inner.inDisabledFolder = true;
                inner.disabledFolder = AttributeOf(child, "name");
            }
            const xml::Element* filters = child.Child("Filters");
            if (filters && !filters->children.empty()) inner.folderFilters.push_back(filters);
            CollectItems(child, items, inner);
        }
    }
}

std::vector<ReadFilter> FiltersOf(const xml::Element& filters) {
    std::vector<ReadFilter> read;
    for (const xml::Element& filter : filters.children) {
        read.push_back({filter.localName,
                        AttributeOf(filter, "bool") == "OR",
                        AttributeOf(filter, "not") == "1",
                        AttributeOf(filter, "name"),
                        AttributeOf(filter, "sid"),
                        {}});
        if (filter.localName == "FilterCollection") read.back().group = FiltersOf(filter);
    }
    return read;
}

// The tag name as written at the '<' at `begin` ("RegistrySettings", "p:RegistrySettings").
std::string TagNameAt(std::string_view bytes, std::size_t begin, xml::Encoding encoding) {
    std::u16string name;
    const std::size_t width = xml::UnitSize(encoding);
    for (std::size_t at = begin + width;; at += width) {
        const char32_t c = xml::UnitAt(bytes, at, encoding);
        if (c == 0 || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '>' || c == '/')
            break;
        name += static_cast<char16_t>(c);
    }
    return width == 1 ? std::string(name.begin(), name.end()) : Utf8Of(name);
}

// A change of the bytes: `length` bytes at `at` give way to `text` (already encoded).
struct Splice {
    std::size_t at = 0;
    std::size_t length = 0;
    std::string text;
};

std::string Apply(std::string_view bytes, std::vector<Splice>& splices) {
    std::stable_sort(splices.begin(), splices.end(), [](const Splice& a, const Splice& b) {
        return a.at != b.at ? a.at < b.at : a.length < b.length;
    });
    std::string out;
    std::size_t extra = 0;
    for (const Splice& s : splices)
        extra += s.text.size();
    out.reserve(bytes.size() + extra);
    std::size_t done = 0;
    for (const Splice& s : splices) {
        // A change inside one made already (an item nested in a copy of itself) is dropped; the
        // check of the result tells whether that lost anything.
        if (s.at < done) continue;
        out.append(bytes.substr(done, s.at - done));
        out.append(s.text);
        done = s.at + s.length;
    }
    out.append(bytes.substr(done));
    return out;
}

const char* const kEncodingRefused =
    "its encoding is neither UTF-8 nor UTF-16, and only those are edited";

}  // namespace

std::optional<std::string> NormalSid(std::string_view text) {
    if (text.size() < 4 || (text[0] != 'S' && text[0] != 's') || text[1] != '-') return {};
    std::string sid = "S";
    int parts = 0;
    for (std::string_view rest = text.substr(2);; ++parts) {
        const std::size_t dash = rest.find('-');
        const std::string_view digits = rest.substr(0, dash);
        // The revision is 1, the authority six bytes, each sub-authority four.
        const auto number = ReadU64(digits);
        if (!number || digits.size() > 15 || (parts == 0 && *number != 1) ||
            (parts == 1 && *number > 0xFFFFFFFFFFFFull) || (parts > 1 && *number > 0xFFFFFFFFull)) {
            return {};
        }
        sid += "-" + std::to_string(*number);
        if (dash == std::string_view::npos) break;
        rest.remove_prefix(dash + 1);
    }
    ++parts;
    if (parts < 3 || parts > 17) return {};  // one to fifteen sub-authorities
    return sid;
}

std::optional<std::string> NameProblem(const Target& target) {
    const char* what = target.kind == TargetKind::OrgUnit ? "the OU's distinguished name"
                       : target.kind == TargetKind::Group ? "the group's name"
                                                          : "the user's name";
    if (TrimBlanks(target.name).empty()) return std::string(what) + " is empty";
    if (!IsPlainUtf8(target.name)) {
        return std::string(what) + " " + Quoted(Visible(target.name)) +
               " has control characters or is not UTF-8";
    }
    if (target.kind == TargetKind::OrgUnit) {
        if (auto normal = NormalOuName(target.name); !normal) return normal.failure().message;
    }
    if (target.kind == TargetKind::User) {
        if (auto normal = NormalAccountName(target.name); !normal) return normal.failure().message;
    }
    return {};
}

Target Normalised(Target target) {
    if (target.kind == TargetKind::OrgUnit) {
        if (auto normal = NormalOuName(target.name)) target.name = std::move(*normal);
    } else if (target.kind == TargetKind::User) {
        if (auto normal = NormalAccountName(target.name)) target.name = std::move(*normal);
    }
    return target;
}

std::vector<Item> ItemsFor(const DriveSet& drives, DrivePolicy policy,
                           const std::vector<Target>& targets, const std::string& changed,
                           ItemAction action) {
    std::vector<Target> normal;
    for (const Target& target : targets)
        normal.push_back(Normalised(target));
    const std::uint32_t mask = action == ItemAction::Delete ? 0 : drives.Mask();
    std::vector<Item> items;
    if (SetsNoDrives(policy)) items.push_back({kNoDrivesValue, mask, normal, changed, action});
    if (SetsNoViewOnDrive(policy)) {
        items.push_back({kNoViewOnDriveValue, mask, normal, changed, action});
    }
    return items;
}

std::string ItemUid(std::string_view valueName, const std::vector<Target>& targets) {
    // Groups and users by SID (a renamed group is the same audience), OUs by their name in lower
    // case (directory names compare without case); the order of the conditions does not matter.
    std::vector<std::string> keys;
    for (const Target& target : targets) {
        std::string key = target.kind == TargetKind::Group     ? "group"
                          : target.kind == TargetKind::OrgUnit ? "ou"
                                                               : "user";
        key += target.negated ? " not " : " ";
        if (target.kind == TargetKind::OrgUnit) {
            key += LowerAscii(Normalised(target).name);
        } else {
            key += UpperAscii(target.sid);
        }
        keys.push_back(std::move(key));
    }
    std::sort(keys.begin(), keys.end());
    std::string name = "tarnwick drive restriction\n" + std::string(valueName);
    for (const std::string& key : keys)
        name += "\n" + key;
    return NameGuid(name);
}

std::string ChangedText(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) rest += 86400, --days;
    // The civil date of a day count (days since 1970-01-01), by 400-year eras from March.
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    const auto two = [](std::int64_t n) { return DecimalText(static_cast<std::uint64_t>(n), 2); };
    return DecimalText(static_cast<std::uint64_t>(year), 4) + "-" + two(month) + "-" + two(day) +
           " " + two(rest / 3600) + ":" + two(rest / 60 % 60) + ":" + two(rest % 60);
}

Result<std::string> ChangedNow() {
    if (const char* fixed = std::getenv("SOURCE_DATE_EPOCH"); fixed && *fixed) {
        const std::string_view text = fixed;
        // Years 1970 to 9999: the editor's four-digit year.
        const auto seconds = ReadNumber(text, 10, 253402300799);
        if (!seconds) {
            return Failure{"SOURCE_DATE_EPOCH is set to " + Quoted(Visible(text)) +
                           ", which is no number of seconds since 1970 (up to the year 9999)"};
        }
        return ChangedText(static_cast<std::int64_t>(*seconds));
    }
    return ChangedText(static_cast<std::int64_t>(std::time(nullptr)));
}

std::string ItemText(const Item& item) {
    const std::string value = HexText(item.mask, 8);
    const std::string name(item.valueName);
    const bool remove = item.action == ItemAction::Delete;
    // Images 12 and 13: the editor's icons of a DWORD value updated and deleted.
    std::string text = "<Registry clsid=\"" + std::string(kItemClsid) + "\" name=\"" + name +
                       "\" status=\"" + name + "\" image=\"" + (remove ? "13" : "12") +
                       "\" changed=\"" + item.changed + "\" uid=\"" +
                       ItemUid(item.valueName, item.targets) +
                       "\" bypassErrors=\"1\"><Properties action=\"" + (remove ? "D" : "U") +
                       "\" displayDecimal=\"1\" default=\"0\" hive=\"HKEY_CURRENT_USER\" key=\"" +
                       std::string(kExplorerPoliciesKey) + "\" name=\"" + name +
                       "\" type=\"REG_DWORD\" value=\"" + value + "\"/>";
    if (!item.targets.empty()) {
        text += "<Filters>";
        for (const Target& target : item.targets)
            text += FilterText(target);
        text += "</Filters>";
    }
    return text + "</Registry>";
}

std::string RenderRegistryXml(const std::vector<Item>& items) {
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<RegistrySettings clsid=\"" +
                       std::string(kSettingsClsid) + "\">\r\n";
    for (const Item& item : items)
        text += "  " + ItemText(item) + "\r\n";
    return text + "</RegistrySettings>\r\n";
}

namespace {

// The items spliced into the bytes, unchecked; `uids` gets each item's uid.
Result<Edit> Spliced(std::string_view bytes, const std::vector<Item>& items,
                     std::vector<std::string>& uids) {
    Result<xml::Document> parsed = ParseSettings(bytes);
    if (!parsed) return parsed.failure();
    const xml::Document& document = *parsed;
    if (!document.positioned) {
        return Failure{document.encoding == xml::Encoding::Other
                           ? kEncodingRefused
                           : "its tags could not be located for an edit"};
    }
    const xml::Encoding encoding = document.encoding;
    const std::size_t width = xml::UnitSize(encoding);
    std::vector<Found> existing;
    CollectItems(document.root, existing);
    // Each uid to its items, so that a file of many items is searched once; an item whose folders
    // change whom it reaches is for another audience than its uid says.
    std::map<std::string, std::vector<const xml::Element*>> byUid;
    for (const Found& found : existing) {
        const std::string* uid = found.element->Find("uid");
        if (uid && found.OwnAudience()) byUid[UpperAscii(*uid)].push_back(found.element);
    }

    Edit edit;
    std::vector<Splice> splices;
    std::vector<std::string> fresh;  // the items that are new, as text
    for (const Item& item : items) {
        const std::string uid = ItemUid(item.valueName, item.targets);
        uids.push_back(uid);
        const auto found = byUid.find(uid);
        if (found == byUid.end()) {
            fresh.push_back(ItemText(item));
            ++edit.added;
            continue;
        }
        const std::vector<const xml::Element*>& same = found->second;
        splices.push_back(
            {same[0]->begin, same[0]->end - same[0]->begin, xml::Encode(ItemText(item), encoding)});
        ++edit.replaced;
        for (std::size_t k = 1; k < same.size(); ++k) {
            // A later copy goes with the line it stood on.
            std::string indent, lineEnd;
            xml::LineLeadOf(bytes, same[k]->begin, encoding, indent, lineEnd);
            const std::size_t lead = (indent.size() + lineEnd.size()) * width;
            splices.push_back({same[k]->begin - lead, same[k]->end - same[k]->begin + lead, ""});
        }
    }

    if (!fresh.empty()) {
        const xml::Element& root = document.root;
        if (root.IsEmptyTag()) {
            // "<RegistrySettings .../>": its "/>" becomes ">", the items and an end tag.
            std::string text = ">";
            for (const std::string& item : fresh)
                text += item;
            text += "</" + TagNameAt(bytes, root.begin, encoding) + ">";
            splices.push_back({root.end - 2 * width, 2 * width, xml::Encode(text, encoding)});
            edit.rootOpened = true;
        } else {
            std::string rootIndent, rootEnd, indent, lineEnd;
            xml::LineLeadOf(bytes, root.begin, encoding, rootIndent, rootEnd);
            std::size_t at = root.contentBegin;
            if (root.children.empty()) {
                lineEnd = rootEnd;
                if (lineEnd.empty()) {
                    // A root at the start of the file: the line end its content begins with.
                    const char32_t first = xml::UnitAt(bytes, at, encoding);
                    if (first == '\n') lineEnd = "\n";
                    if (first == '\r') {
                        lineEnd = xml::UnitAt(bytes, at + width, encoding) == '\n' ? "\r\n" : "\r";
                    }
                }
                if (!lineEnd.empty()) indent = rootIndent + "  ";
            } else {
                at = root.children.back().end;
                xml::LineLeadOf(bytes, root.children.back().begin, encoding, indent, lineEnd);
            }
            std::string text;
            for (const std::string& item : fresh)
                text += lineEnd + indent + item;
            splices.push_back({at, 0, xml::Encode(text, encoding)});
        }
    }
    edit.bytes = Apply(bytes, splices);
    return edit;
}

}  // namespace

Result<Edit> AddItems(std::string_view bytes, const std::vector<Item>& items) {
    std::vector<std::string> uids;
    // The tree of the file read is gone before the result is read, so only one is held at a time.
    Result<Edit> edit = Spliced(bytes, items, uids);
    if (!edit) return edit;
    // The result must read, with each item once; otherwise the file is left as it was.
    Result<std::vector<ReadItem>> again = ReadRegistryXml(edit->bytes);
    if (!again) return Failure{"the edit would not read back (" + again.failure().message + ")"};
    for (const std::string& uid : uids) {
        const auto count = std::count_if(again->begin(), again->end(), [&](const ReadItem& read) {
            return read.OwnAudience() && UpperAscii(read.uid) == uid;
        });
        if (count != 1) {
            return Failure{"its item " + uid +
                           " is nested inside another item, which cannot be edited in place"};
        }
    }
    return edit;
}

Result<std::vector<ReadItem>> ReadRegistryXml(std::string_view bytes) {
    Result<xml::Document> parsed = ParseSettings(bytes);
    if (!parsed) return parsed.failure();
    std::vector<Found> found;
    CollectItems(parsed->root, found);
    std::vector<ReadItem> items;
    items.reserve(found.size());
    for (const Found& each : found) {
        const xml::Element* element = each.element;
        ReadItem item;
        item.inDisabledFolder = each.inDisabledFolder;
        item.disabledFolder = each.disabledFolder;
        for (const xml::Element* filters : each.folderFilters)
            item.folderFilters.push_back(FiltersOf(*filters));
        item.uid = AttributeOf(*element, "uid");
        item.disabled = AttributeOf(*element, "disabled") == "1";
        item.line = element->line;
        if (const xml::Element* properties = element->Child("Properties")) {
            item.action = AttributeOf(*properties, "action");
            item.hive = AttributeOf(*properties, "hive");
            item.key = AttributeOf(*properties, "key");
            item.valueName = AttributeOf(*properties, "name");
            item.type = AttributeOf(*properties, "type");
            item.value = AttributeOf(*properties, "value");
        }
        if (item.type == "REG_DWORD" && item.value.size() <= 8) {
            if (const auto number = ReadU32(item.value, 16)) item.dword = *number;
        }
        if (const xml::Element* filters = element->Child("Filters"))
            item.filters = FiltersOf(*filters);
        items.push_back(std::move(item));
    }
    return items;
}

std::string TargetsText(const std::vector<ReadFilter>& filters) {
    std::string text;
    for (const ReadFilter& filter : filters) {
        if (!text.empty()) text += filter.orJoin ? " or " : " and ";
        const std::string who = Visible(filter.name.empty() ? filter.sid : filter.name);
        const char* no = filter.negated ? "not " : "";
        if (filter.kind == "FilterGroup") {
            text += std::string(no) + "for " + who;
        } else if (filter.kind == "FilterOrgUnit") {
            text += std::string(no) + "in " + who;
        } else if (filter.kind == "FilterUser") {
            text += std::string(no) + "user " + who;
        } else if (filter.kind == "FilterCollection") {
            text += std::string(no) + "(" + TargetsText(filter.group) + ")";
        } else {
            text += std::string(no) + "a condition " + Visible(filter.kind);
        }
    }
    return text;
}

std::string AudienceText(const ReadItem& item) {
    std::vector<const std::vector<ReadFilter>*> levels;
    for (const auto& filters : item.folderFilters)
        levels.push_back(&filters);
    if (!item.filters.empty()) levels.push_back(&item.filters);
    std::string text;
    for (const auto* level : levels) {
        const bool hasOr = std::any_of(level->begin() + 1, level->end(),
                                       [](const ReadFilter& f) { return f.orJoin; });
        const std::string one = TargetsText(*level);
        if (!text.empty()) text += " and ";
        text += hasOr && levels.size() > 1 ? "(" + one + ")" : one;
    }
    return text;
}

std::string ActionText(std::string_view action) {
    if (action == "U") return "update";
    if (action == "C") return "create";
    if (action == "R") return "replace";
    if (action == "D") return "delete";
    return "action " + Quoted(Visible(action));
}

}  // namespace tarnwick::prefs
