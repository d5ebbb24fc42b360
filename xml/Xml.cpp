#include "xml/Xml.h"

namespace tarnwick::xml {

const std::string* Element::Find(std::string_view name) const {
    for (const Attribute& attribute : attributes) {
        if (attribute.localName == name) return &attribute.value;
    }
    return nullptr;
}

const Element* Element::Child(std::string_view name) const {
    for (const Element& child : children) {
        if (child.localName == name) return &child;
    }
    return nullptr;
}

std::vector<const Element*> Element::Children(std::string_view name) const {
    std::vector<const Element*> found;
    for (const Element& child : children) {
        if (child.localName == name) found.push_back(&child);
    }
    return found;
}

std::string Describe(const Document& failed) {
    if (failed.line <= 0) return failed.error;
    return "line " + std::to_string(failed.line) + ": " + failed.error;
}

}  // namespace tarnwick::xml
