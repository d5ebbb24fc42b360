#include "tests/support/PolicyCheck.h"

#include <cctype>
#include <map>
#include <set>

#include "xml/Xml.h"

namespace tarnwick::test {

namespace {

using xml::Element;

constexpr const char* kNamespace =
    "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions";

bool ValidId(const std::string& id) {
    if (id.empty()) return false;
    for (const char c : id) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    }
    return true;
}

std::string Attr(const Element& element, const char* name) {
    const std::string* value = element.Find(name);
    return value ? *value : "";
}

class Checker {
  public:
    std::vector<std::string> problems;

    void Fail(const std::string& what) { problems.push_back(what); }

    void Text(const std::string& name, const std::string& bytes) {
        if (bytes.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n", 0) != 0)
            Fail(name + ": no UTF-8 XML declaration on its first line");
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) {
                Fail(name + ": a line ends in LF alone");
                break;
            }
        }
    }

    // Every $(string.x) / $(presentation.x) in the ADMX's attributes resolves.
    void References(const Element& element, const std::set<std::string>& strings,
                    const std::set<std::string>& presentations) {
        for (const xml::Attribute& attribute : element.attributes) {
            const std::string& value = attribute.value;
            if (value.rfind("$(", 0) != 0) continue;
            const std::size_t dot = value.find('.');
            const std::string kind = value.substr(2, dot - 2);
            const std::string id = value.substr(dot + 1, value.size() - dot - 2);
            const auto& table = kind == "string" ? strings : presentations;
            if ((kind != "string" && kind != "presentation") || value.back() != ')' ||
                table.count(id) == 0) {
                Fail("unresolved reference " + value);
            }
        }
        for (const Element& child : element.children)
            References(child, strings, presentations);
    }
};

}  // namespace

std::vector<std::string> CheckPolicyPair(const std::string& admx, const std::string& adml,
                                         const std::vector<ExpectedItem>& items) {
    Checker check;
    check.Text("ADMX", admx);
    check.Text("ADML", adml);
    const auto definitions = xml::Parse(admx);
    const auto resources = xml::Parse(adml);
    if (!definitions) check.Fail("ADMX: " + xml::Describe(definitions.failure()));
    if (!resources) check.Fail("ADML: " + xml::Describe(resources.failure()));
    if (!definitions || !resources) return check.problems;

    const Element& defs = definitions->root;
    const Element& res = resources->root;
    for (const Element* root : {&defs, &res}) {
        if (root->namespaceUri != kNamespace || Attr(*root, "revision") != "1.0" ||
            Attr(*root, "schemaVersion") != "1.0") {
            check.Fail(root->localName + ": namespace, revision or schema version wrong");
        }
    }
    if (defs.localName != "policyDefinitions" || res.localName != "policyDefinitionResources")
        check.Fail("wrong root elements");

    // The ADML's tables.
    std::map<std::string, std::string> strings;
    std::map<std::string, const Element*> presentations;
    const Element* resourcesElement = res.Child("resources");
    const Element* stringTable =
        resourcesElement ? resourcesElement->Child("stringTable") : nullptr;
    const Element* presentationTable =
        resourcesElement ? resourcesElement->Child("presentationTable") : nullptr;
    if (!stringTable || !presentationTable || !res.Child("displayName")) {
        check.Fail("ADML: display name, string table or presentation table missing");
        return check.problems;
    }
    for (const Element* string : stringTable->Children("string")) {
        const std::string id = Attr(*string, "id");
        if (!ValidId(id) || !strings.emplace(id, string->text).second)
            check.Fail("ADML: invalid or repeated string id '" + id + "'");
    }
    for (const Element* presentation : presentationTable->Children("presentation")) {
        const std::string id = Attr(*presentation, "id");
        if (!ValidId(id) || !presentations.emplace(id, presentation).second)
            check.Fail("ADML: invalid or repeated presentation id '" + id + "'");
    }
    std::set<std::string> stringIds, presentationIds;
    for (const auto& [id, text] : strings)
        stringIds.insert(id);
    for (const auto& [id, element] : presentations)
        presentationIds.insert(id);
    check.References(defs, stringIds, presentationIds);

    // The ADMX's own namespace, category and resources.
    const Element* namespaces = defs.Child("policyNamespaces");
    const Element* target = namespaces ? namespaces->Child("target") : nullptr;
    const Element* use = namespaces ? namespaces->Child("using") : nullptr;
    const std::string targetNamespace = target ? Attr(*target, "namespace") : "";
    if (!target || !ValidId(Attr(*target, "prefix")) || targetNamespace.empty() ||
        targetNamespace.rfind("Microsoft.", 0) == 0 || !use ||
        Attr(*use, "namespace") != "Microsoft.Policies.Windows" ||
        Attr(*use, "prefix") != "windows") {
        check.Fail("ADMX: target or using namespace wrong");
    }
    const Element* resourcesRef = defs.Child("resources");
    if (!resourcesRef || Attr(*resourcesRef, "minRequiredRevision") != "1.0")
        check.Fail("ADMX: resources minRequiredRevision missing");
    std::set<std::string> categories;
    const Element* categoryList = defs.Child("categories");
    for (const Element* category :
         categoryList ? categoryList->Children("category") : std::vector<const Element*>{}) {
        const Element* parent = category->Child("parentCategory");
        if (!ValidId(Attr(*category, "name")) || !parent ||
            Attr(*parent, "ref") != "windows:WindowsExplorer") {
            check.Fail("ADMX: a category without a valid name under windows:WindowsExplorer");
        }
        categories.insert(Attr(*category, "name"));
    }

    // The two policies.
    const Element* policies = defs.Child("policies");
    const std::vector<const Element*> policyList =
        policies ? policies->Children("policy") : std::vector<const Element*>{};
    std::set<std::string> valueNames;
    for (const Element* policy : policyList) {
        const std::string name = Attr(*policy, "name");
        const Element* parent = policy->Child("parentCategory");
        const Element* supported = policy->Child("supportedOn");
        const Element* elements = policy->Child("elements");
        const std::vector<const Element*> enums =
            elements ? elements->Children("enum") : std::vector<const Element*>{};
        if (!ValidId(name) || Attr(*policy, "class") != "User" ||
            Attr(*policy, "key") !=
                "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer" ||
            !parent || categories.count(Attr(*parent, "ref")) == 0 || !supported ||
            Attr(*supported, "ref") != "windows:SUPPORTED_Win2k" || enums.size() != 1) {
            check.Fail("ADMX: policy '" + name +
                       "' lacks its name, class, key, category, support "
                       "or single enum");
            continue;
        }
        const Element& list = *enums[0];
        valueNames.insert(Attr(list, "valueName"));
        if (!ValidId(Attr(list, "id")) || Attr(list, "required") != "true")
            check.Fail("ADMX: enum of '" + name + "' without a valid id or not required");

        // Its dropdown list refers to its enum.
        const std::string presentationRef = Attr(*policy, "presentation");
        const auto found = presentations.find(
            presentationRef.size() > 16 ? presentationRef.substr(15, presentationRef.size() - 16)
                                        : "");
        const Element* dropdown =
            found == presentations.end() ? nullptr : found->second->Child("dropdownList");
        if (!dropdown || Attr(*dropdown, "refId") != Attr(list, "id") ||
            Attr(*dropdown, "noSort") != "true" || Attr(*dropdown, "defaultItem") != "0") {
            check.Fail("ADMX: the dropdownList of '" + name + "' does not refer to its enum");
        }

        // Its items: the expected masks and texts, in order.
        const std::vector<const Element*> listed = list.Children("item");
        if (listed.size() != items.size()) {
            check.Fail("policy '" + name + "' offers " + std::to_string(listed.size()) +
                       " items, not " + std::to_string(items.size()));
            continue;
        }
        for (std::size_t i = 0; i < items.size(); ++i) {
            const Element* value = listed[i]->Child("value");
            const Element* decimal = value ? value->Child("decimal") : nullptr;
            const std::string id = Attr(*listed[i], "displayName");
            if (id != "$(string." + items[i].id + ")" || strings[items[i].id] != items[i].text ||
                !decimal || Attr(*decimal, "value") != std::to_string(items[i].mask)) {
                check.Fail("policy '" + name + "' item " + std::to_string(i) + " is not " +
                           items[i].id + " '" + items[i].text +
                           "' = " + std::to_string(items[i].mask));
            }
        }
    }
    if (valueNames != std::set<std::string>{"NoDrives", "NoViewOnDrive"})
        check.Fail("ADMX: not one policy for NoDrives and one for NoViewOnDrive");
    return check.problems;
}

}  // namespace tarnwick::test
