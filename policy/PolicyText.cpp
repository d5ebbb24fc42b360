#include "policy/PolicyText.h"

#include <optional>
#include <unordered_set>

#include "core/DriveSet.h"
#include "core/Text.h"
#include "xml/Xml.h"

namespace tarnwick::policy {

namespace {

constexpr const char* kCrLf = "\r\n";

constexpr const char* kCategory = kPairName;

// The two policies: the registry value each writes, and its texts.
struct PolicyKind {
    const char* name;
    std::string_view valueName;
    const char* displayName;
    const char* help;
};

constexpr PolicyKind kPolicies[] = {
    {"TarnwickNoDrives", kNoDrivesValue, "Hide these specified drives in My Computer",
     "Hides the chosen drives in My Computer and Windows Explorer, and in the Open and Save "
     "dialogs of programs that use the standard dialogs.\n\n"
     "Hiding only hides: a user who types a path on a hidden drive (in the address bar, the Run "
     "dialog or a program) still opens it. To stop users browsing the drives, use \"Prevent "
     "access to drives from My Computer\".\n\n"
     "This policy writes the registry value NoDrives, the same value as the stock policy of the "
     "same name under Windows Components > Windows Explorer (File Explorer). Set one of the two, "
     "never both: each overwrites what the other wrote."},
    {"TarnwickNoViewOnDrive", kNoViewOnDriveValue, "Prevent access to drives from My Computer",
     "Prevents users from browsing the chosen drives: My Computer and Windows Explorer refuse to "
     "open them or list their folders, and so do the Run dialog and Map Network Drive. The drives "
     "stay visible unless they are hidden too; programs that open files themselves still reach "
     "them.\n\n"
     "This policy writes the registry value NoViewOnDrive, the same value as the stock policy of "
     "the same name under Windows Components > Windows Explorer (File Explorer). Set one of the "
     "two, never both: each overwrites what the other wrote."},
};

std::string EnumId(const PolicyKind& policy) {
    return std::string(policy.name) + "_Drives";
}

// Lines with two spaces of indentation per level and CR LF ends, as the stock files have.
class Lines {
  public:
    Lines() { text_ = std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>") + kCrLf; }
    void Add(int level, const std::string& line) {
        text_ += std::string(2 * static_cast<std::size_t>(level), ' ') + line + kCrLf;
    }
    const std::string& Text() const { return text_; }

  private:
    std::string text_;
};

std::string RootAttributes() {
    return std::string("revision=\"1.0\" schemaVersion=\"1.0\" xmlns=\"") + kPolicyNamespace + "\"";
}

std::string StringRef(const std::string& id) {
    return "$(string." + id + ")";
}

}  // namespace

bool IsValidId(std::string_view id) {
    if (id.empty()) return false;
    for (const char c : id) {
        const bool ok =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok) return false;
    }
    return true;
}

std::string RenderAdmx(const std::vector<DriveItem>& items) {
    Lines out;
    out.Add(0, "<policyDefinitions " + RootAttributes() + ">");
    out.Add(1, "<policyNamespaces>");
    out.Add(2,
            std::string("<target prefix=\"tarnwick\" namespace=\"") + kTargetNamespace + "\" />");
    out.Add(2, "<using prefix=\"windows\" namespace=\"Microsoft.Policies.Windows\" />");
    out.Add(1, "</policyNamespaces>");
    out.Add(1, "<resources minRequiredRevision=\"1.0\" />");
    out.Add(1, "<categories>");
    out.Add(2, std::string("<category name=\"") + kCategory + "\" displayName=\"" +
                   StringRef(kCategory) + "\" explainText=\"" +
                   StringRef(std::string(kCategory) + "_Help") + "\">");
    out.Add(3, "<parentCategory ref=\"windows:WindowsExplorer\" />");
    out.Add(2, "</category>");
    out.Add(1, "</categories>");
    out.Add(1, "<policies>");
    for (const PolicyKind& policy : kPolicies) {
        const std::string name = policy.name;
        out.Add(2, "<policy name=\"" + name + "\" class=\"User\" displayName=\"" + StringRef(name) +
                       "\" explainText=\"" + StringRef(name + "_Help") +
                       "\" presentation=\"$(presentation." + name + ")\" key=\"" +
                       std::string(kExplorerPoliciesKey) + "\">");
        out.Add(3, std::string("<parentCategory ref=\"") + kCategory + "\" />");
        out.Add(3, "<supportedOn ref=\"windows:SUPPORTED_Win2k\" />");
        out.Add(3, "<elements>");
        out.Add(4, "<enum id=\"" + EnumId(policy) + "\" valueName=\"" +
                       std::string(policy.valueName) + "\" required=\"true\">");
        for (const DriveItem& item : items) {
            out.Add(5, "<item displayName=\"" + xml::Escaped(StringRef(item.entryName)) + "\">");
            out.Add(6, "<value>");
            out.Add(7, "<decimal value=\"" + std::to_string(item.mask) + "\" />");
            out.Add(6, "</value>");
            out.Add(5, "</item>");
        }
        out.Add(4, "</enum>");
        out.Add(3, "</elements>");
        out.Add(2, "</policy>");
    }
    out.Add(1, "</policies>");
    out.Add(0, "</policyDefinitions>");
    return out.Text();
}

std::string RenderAdml(const std::vector<DriveItem>& items) {
    Lines out;
    out.Add(0, "<policyDefinitionResources " + RootAttributes() + ">");
    out.Add(1, "<displayName>Tarnwick drive restrictions</displayName>");
    out.Add(1,
            "<description>Drive sets made with Tarnwick for the two Windows Explorer drive "
            "policies.</description>");
    out.Add(1, "<resources>");
    out.Add(2, "<stringTable>");
    const auto string = [&out](const std::string& id, const std::string& text) {
        out.Add(3, "<string id=\"" + id + "\">" + xml::Escaped(text, false) + "</string>");
    };
    string(kCategory, "Tarnwick drive restrictions");
    string(std::string(kCategory) + "_Help",
           "Drive restrictions made with Tarnwick: each policy offers every drive set added so "
           "far.");
    for (const PolicyKind& policy : kPolicies) {
        string(policy.name, policy.displayName);
        string(std::string(policy.name) + "_Help", policy.help);
    }
    for (const DriveItem& item : items)
        string(item.entryName, item.displayText);
    out.Add(2, "</stringTable>");
    out.Add(2, "<presentationTable>");
    for (const PolicyKind& policy : kPolicies) {
        out.Add(3, std::string("<presentation id=\"") + policy.name + "\">");
        out.Add(4,
                "<dropdownList refId=\"" + EnumId(policy) +
                    "\" noSort=\"true\" defaultItem=\"0\">Restrict these drives:</dropdownList>");
        out.Add(3, "</presentation>");
    }
    out.Add(2, "</presentationTable>");
    out.Add(1, "</resources>");
    out.Add(0, "</policyDefinitionResources>");
    return out.Text();
}

namespace {

PairFailure Refused(bool admxAtFault, std::string cause) {
    PairFailure failure;
    failure.message = std::move(cause);
    failure.admxAtFault = admxAtFault;
    return failure;
}

std::string Where(const xml::Element& element) {
    return element.line > 0 ? " (line " + std::to_string(element.line) + ")" : "";
}

bool IsPolicyElement(const xml::Element& element, std::string_view name) {
    return element.localName == name && element.namespaceUri == kPolicyNamespace;
}

// "$(string.ID)" -> ID, or empty when the reference or its id is not as ours.
std::string StringId(const std::string* reference) {
    const auto id = reference ? StringIdOf(*reference) : std::nullopt;
    return id && IsValidId(*id) ? *id : "";
}

// A drive mask as the lists write it: a decimal number of no more than 26 bits.
std::optional<std::uint32_t> ParseMask(const std::string* text) {
    const auto read = text ? ReadU32(*text) : NumberFault::Empty;
    if (!read || *read > kAllDrivesMask) return std::nullopt;
    return *read;
}

std::string NotWellFormed(const xml::XmlFailure& failure) {
    return "it is not well-formed XML: " + Excerpt(xml::Describe(failure), 160) + ".";
}

// The namespace prefix the element's start tag is written with ("pd:"), or "".
std::string PrefixOf(std::string_view bytes, const xml::Element& element, xml::Encoding encoding) {
    std::u16string name;
    const std::size_t width = xml::UnitSize(encoding);
    for (std::size_t at = element.begin + width;; at += width) {
        const char32_t c = xml::UnitAt(bytes, at, encoding);
        if (c == 0 || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '>' || c == '/')
            break;
        if (c == ':') {
            // In a UTF-8 file the units are its bytes already.
            return (width == 1 ? std::string(name.begin(), name.end()) : Utf8Of(name)) + ":";
        }
        name += static_cast<char16_t>(c);
    }
    return "";
}

// Where a new last child of `parent` goes: after its last child element, on a line of its own
// when that child has one; in a parent without children, right after the start tag, one level
// deeper than the parent. Refused when the parent is an empty-element tag or the positions are
// unknown.
Result<InsertPoint> InsertPointOf(std::string_view bytes, const xml::Document& document,
                                  const xml::Element& parent) {
    if (!document.positioned) {
        return Failure{document.encoding == xml::Encoding::Other
                           ? "its encoding is neither UTF-8 nor UTF-16, and only those are edited."
                           : "its tags could not be located for an edit."};
    }
    if (parent.IsEmptyTag()) {
        return Failure{"its element " + parent.localName + Where(parent) +
                       " is written as an empty-element tag, which takes no insertion."};
    }
    InsertPoint point;
    point.encoding = document.encoding;
    point.prefix = PrefixOf(bytes, parent, document.encoding);
    std::string parentIndent, parentEnd;
    xml::LineLeadOf(bytes, parent.begin, document.encoding, parentIndent, parentEnd);
    if (parent.children.empty()) {
        point.at = parent.contentBegin;
        point.lineEnd = parentEnd;
        point.step = parentEnd.empty() ? "" : "  ";
        point.indent = parentIndent + point.step;
        return point;
    }
    const xml::Element& last = parent.children.back();
    point.at = last.end;
    xml::LineLeadOf(bytes, last.begin, document.encoding, point.indent, point.lineEnd);
    point.step.clear();
    if (!point.lineEnd.empty()) {
        const bool deeper = point.indent.size() > parentIndent.size() &&
                            point.indent.compare(0, parentIndent.size(), parentIndent) == 0;
        point.step = deeper ? point.indent.substr(parentIndent.size()) : "  ";
    }
    return point;
}

std::string Splice(std::string_view bytes, const InsertPoint& point, const std::string& utf8) {
    std::string out;
    const std::string inserted = xml::Encode(utf8, point.encoding);
    out.reserve(bytes.size() + inserted.size());
    out.append(bytes.substr(0, point.at));
    out.append(inserted);
    out.append(bytes.substr(point.at));
    return out;
}

// The list of one policy's enum, its items added to `items`; refused when the policy or an item is
// not as ours.
Result<const xml::Element*> ReadEnum(const xml::Element& policies, const PolicyKind& kind,
                                     std::vector<DriveItem>& items) {
    const xml::Element* policy = nullptr;
    for (const xml::Element& candidate : policies.children) {
        if (candidate.localName != "policy") continue;
        const std::string* name = candidate.Find("name");
        if (name && *name == kind.name) policy = &candidate;
    }
    const xml::Element* elements = policy ? policy->Child("elements") : nullptr;
    const xml::Element* list = elements ? elements->Child("enum") : nullptr;
    const std::string* valueName = list ? list->Find("valueName") : nullptr;
    if (!valueName || *valueName != kind.valueName) {
        return Failure{std::string("it has no policy ") + kind.name + " with a list for " +
                       std::string(kind.valueName) + "."};
    }
    items.reserve(list->children.size());
    for (const xml::Element& item : list->children) {
        if (item.localName != "item") continue;
        DriveItem read;
        read.entryName = StringId(item.Find("displayName"));
        const xml::Element* value = item.Child("value");
        const xml::Element* decimal = value ? value->Child("decimal") : nullptr;
        const auto mask = ParseMask(decimal ? decimal->Find("value") : nullptr);
        if (read.entryName.empty() || !mask) {
            return Failure{std::string("an item of ") + kind.name + Where(item) +
                           " is not a drive set with a string and a mask."};
        }
        read.mask = *mask;
        items.push_back(std::move(read));
    }
    return list;
}

bool IsFixedId(const std::string& id) {
    if (id == kCategory || id == std::string(kCategory) + "_Help") return true;
    for (const PolicyKind& policy : kPolicies) {
        if (id == policy.name || id == std::string(policy.name) + "_Help") return true;
    }
    return false;
}

// Renders the new item as the file lays out its neighbours.
std::string ItemText(const InsertPoint& point, const DriveItem& item) {
    const std::string& p = point.prefix;
    const std::string line = point.lineEnd + point.indent;
    const std::string& step = point.step;
    return line + "<" + p + "item displayName=\"" + xml::Escaped(StringRef(item.entryName)) +
           "\">" + line + step + "<" + p + "value>" + line + step + step + "<" + p +
           "decimal value=\"" + std::to_string(item.mask) + "\" />" + line + step + "</" + p +
           "value>" + line + "</" + p + "item>";
}

}  // namespace

Result<LanguageFile> ReadLanguageFile(std::string_view adml) {
    const auto parsed = xml::Parse(adml);
    if (!parsed) return Failure{NotWellFormed(parsed.failure())};
    const xml::Document& document = *parsed;
    const xml::Element& root = document.root;
    const xml::Element* resources = root.Child("resources");
    const xml::Element* table = resources ? resources->Child("stringTable") : nullptr;
    if (!IsPolicyElement(root, "policyDefinitionResources") || !table) {
        return Failure{
            "it is not a policy language file (policyDefinitionResources with a string table)."};
    }
    Result<InsertPoint> point = InsertPointOf(adml, document, *table);
    if (!point) return point.failure();
    LanguageFile file;
    file.point = std::move(*point);
    file.strings.reserve(table->children.size());
    for (const xml::Element& string : table->children) {
        if (string.localName != "string") continue;
        const std::string* id = string.Find("id");
        if (id) file.strings.emplace(*id, string.text);
    }
    return file;
}

Status IsOwnLanguageFile(std::string_view adml) {
    const Result<LanguageFile> file = ReadLanguageFile(adml);
    if (!file) return file.failure();
    if (file->strings.count(kCategory) == 0) {
        return Failure{std::string("it is not Tarnwick's: it has no string ") + kCategory + "."};
    }
    return {};
}

Result<Pair, PairFailure> ReadPair(std::string_view admx, std::string_view adml) {
    Pair pair;
    std::vector<DriveItem> lists[2];
    {
        // The tree goes before the language file is read: one tree at a time.
        const auto parsed = xml::Parse(admx);
        if (!parsed) return Refused(true, NotWellFormed(parsed.failure()));
        const xml::Document& document = *parsed;
        const xml::Element& root = document.root;
        if (!IsPolicyElement(root, "policyDefinitions")) {
            return Refused(true,
                           "it is not a policy definition file (policyDefinitions in the "
                           "namespace " +
                               std::string(kPolicyNamespace) + ").");
        }
        const xml::Element* namespaces = root.Child("policyNamespaces");
        const xml::Element* target = namespaces ? namespaces->Child("target") : nullptr;
        const std::string* targetNamespace = target ? target->Find("namespace") : nullptr;
        if (!targetNamespace || *targetNamespace != kTargetNamespace) {
            return Refused(true, "it is not Tarnwick's: its target namespace is '" +
                                     Excerpt(targetNamespace ? *targetNamespace : std::string()) +
                                     "', not '" + kTargetNamespace + "'.");
        }
        const xml::Element* policies = root.Child("policies");
        if (!policies) return Refused(true, "it has no policies.");
        for (int i = 0; i < 2; ++i) {
            const Result<const xml::Element*> list = ReadEnum(*policies, kPolicies[i], lists[i]);
            if (!list) return Refused(true, list.failure().message);
            Result<InsertPoint> point = InsertPointOf(admx, document, **list);
            if (!point) return Refused(true, point.failure().message);
            pair.lists[i] = std::move(*point);
        }
    }
    if (lists[0] != lists[1]) {
        return Refused(true, std::string("its policies ") + kPolicies[0].name + " and " +
                                 kPolicies[1].name + " do not offer the same drive sets.");
    }
    Result<LanguageFile> language = ReadLanguageFile(adml);
    if (!language) return Refused(false, language.failure().message);

    std::unordered_set<std::string_view> seen;
    seen.reserve(lists[0].size());
    for (DriveItem& item : lists[0]) {
        if (IsFixedId(item.entryName)) {
            return Refused(
                true, "its item " + Excerpt(item.entryName) + " uses the id of a fixed string.");
        }
        if (!seen.insert(item.entryName).second) {
            return Refused(true, "it lists the item " + Excerpt(item.entryName) + " twice.");
        }
        const auto found = language->strings.find(item.entryName);
        if (found == language->strings.end()) {
            return Refused(false, "it has no string " + Excerpt(item.entryName) +
                                      ", which the policy definition file's item names.");
        }
        item.displayText = found->second;
    }
    pair.items = std::move(lists[0]);
    pair.language = std::move(*language);
    return pair;
}

std::string GrowAdmx(std::string_view admx, const Pair& read, const DriveItem& item) {
    const bool firstEarlier = read.lists[0].at <= read.lists[1].at;
    const InsertPoint& early = read.lists[firstEarlier ? 0 : 1];
    const InsertPoint& late = read.lists[firstEarlier ? 1 : 0];
    const std::string one = xml::Encode(ItemText(early, item), early.encoding);
    const std::string two = xml::Encode(ItemText(late, item), late.encoding);
    // One copy of the file, the two items spliced in on the way.
    std::string out;
    out.reserve(admx.size() + one.size() + two.size());
    out.append(admx.substr(0, early.at));
    out.append(one);
    out.append(admx.substr(early.at, late.at - early.at));
    out.append(two);
    out.append(admx.substr(late.at));
    return out;
}

std::string GrowAdml(std::string_view adml, const LanguageFile& read, const DriveItem& item) {
    const InsertPoint& point = read.point;
    return Splice(adml, point,
                  point.lineEnd + point.indent + "<" + point.prefix + "string id=\"" +
                      item.entryName + "\">" + xml::Escaped(item.displayText, false) + "</" +
                      point.prefix + "string>");
}

}  // namespace tarnwick::policy
