#include "readback/AdmxReader.h"

#include <optional>

#include "core/Text.h"
#include "readback/InputFile.h"
#include "xml/Xml.h"

namespace tarnwick::readback {

namespace {

Result<xml::Document, ReadFailure> Load(std::string_view bytes, std::string_view rootName,
                                        std::uint64_t limit) {
    if (bytes.size() > limit) return FailureAt(0, TooLargeText(bytes.size(), limit));
    auto parsed = xml::Parse(bytes);
    if (!parsed) {
        const xml::XmlFailure& failure = parsed.failure();
        // xml/ refuses a document type declaration in a file that may well be well-formed: the
        // declaration is the cause, and it is said so.
        if (failure.typeDeclaration) {
            return FailureAt(failure.line,
                             "expected no document type declaration (DTD); policy definitions "
                             "have none, and it is not read");
        }
        return FailureAt(failure.line,
                         "expected well-formed XML (" + Excerpt(failure.message, 200) + ")");
    }
    xml::Document document = std::move(*parsed);
    if (document.root.localName != rootName) {
        return FailureAt(document.root.line, "expected <" + std::string(rootName) +
                                                 "> as the root element, found <" +
                                                 Excerpt(document.root.localName) + ">");
    }
    return document;
}

// The item's number; nothing for a text or delete value, which sets no drive mask.
Result<std::optional<std::uint32_t>, ReadFailure> ItemValue(const xml::Element& item) {
    const xml::Element* value = item.Child("value");
    if (value == nullptr) return FailureAt(item.line, "expected <value> inside <item>");
    for (const char* numeric : {"decimal", "longDecimal"}) {
        if (const xml::Element* number = value->Child(numeric)) {
            const std::string* text = number->Find("value");
            const auto parsed = text ? ReadU32(*text) : NumberFault::Empty;
            if (!parsed) {
                return FailureAt(number->line, std::string("expected <") + numeric +
                                                   " value=\"n\"> with n from 0 to 4294967295");
            }
            return std::optional<std::uint32_t>(*parsed);
        }
    }
    return std::optional<std::uint32_t>();
}

ReadStatus ReadEnum(const xml::Element& list, int index, DriveLists& out) {
    const std::string valueName = *list.Find("valueName");
    for (const xml::Element* element : list.Children("item")) {
        const std::string* display = element->Find("displayName");
        const auto id = display ? StringIdOf(*display) : std::nullopt;
        if (!id) {
            return FailureAt(element->line, "expected displayName=\"$(string.id)\" on <item>");
        }
        const auto value = ItemValue(*element);
        if (!value) return value.failure();
        if (!value->has_value()) {
            out.notes.push_back("line " + std::to_string(element->line) + ": the item " +
                                Excerpt(*id) + " of " + Excerpt(valueName) +
                                " has no numeric value; it is not listed");
            continue;
        }
        out.items.push_back({*id, "", value->value(), valueName, index, element->line});
    }
    return {};
}

}  // namespace

Result<DriveLists, ReadFailure> ReadAdmxDriveLists(std::string_view admx, std::uint64_t limit) {
    const auto document = Load(admx, "policyDefinitions", limit);
    if (!document) return document.failure();
    const xml::Element& root = document->root;
    DriveLists out;
    int lists = 0;
    const xml::Element* policies = root.Child("policies");
    if (policies == nullptr) return out;
    for (const xml::Element* policy : policies->Children("policy")) {
        const xml::Element* elements = policy->Child("elements");
        if (elements == nullptr) continue;
        for (const xml::Element* list : elements->Children("enum")) {
            const std::string* valueName = list->Find("valueName");
            if (valueName == nullptr || !IsDriveValueName(*valueName)) continue;
            if (const ReadStatus read = ReadEnum(*list, lists++, out); !read) return read.failure();
        }
    }
    return out;
}

Result<std::map<std::string, std::string>, ReadFailure> ReadAdmlStrings(std::string_view adml,
                                                                        std::uint64_t limit) {
    const auto document = Load(adml, "policyDefinitionResources", limit);
    if (!document) return document.failure();
    const xml::Element& root = document->root;
    std::map<std::string, std::string> strings;
    const xml::Element* resources = root.Child("resources");
    const xml::Element* table = resources ? resources->Child("stringTable") : nullptr;
    if (table == nullptr) return strings;
    for (const xml::Element* entry : table->Children("string")) {
        const std::string* id = entry->Find("id");
        if (id == nullptr) return FailureAt(entry->line, "expected an id on <string>");
        strings.emplace(*id, entry->text);
    }
    return strings;
}

void ResolveTexts(DriveLists& lists, const std::map<std::string, std::string>& strings) {
    for (auto& item : lists.items) {
        const auto found = strings.find(item.entryName);
        if (found != strings.end()) {
            item.displayText = found->second;
        } else {
            lists.notes.push_back("line " + std::to_string(item.line) +
                                  ": the ADML has no string " + Excerpt(item.entryName) +
                                  "; its text is left empty");
        }
    }
}

std::string AdmlPathFor(const std::string& admxPath, const std::string& culture) {
    const std::size_t slash = admxPath.find_last_of("/\\");
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const char separator = slash == std::string::npos ? '/' : admxPath[slash];
    std::string name = admxPath.substr(nameStart);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return admxPath.substr(0, nameStart) + culture + separator + name + ".adml";
}

}  // namespace tarnwick::readback
