// A small XML reader: a whole document, from its bytes, into a tree of elements. Natively it sits
// on libxml2, in the Windows programs on the system's own XmlLite; both give the same tree.
//
// A document type declaration is refused outright, so no external entity is ever fetched and no
// entity is ever expanded; only the five predefined entities and character references are read.
// The encoding comes from the byte-order mark or the XML declaration (UTF-8 by default); all text
// in the tree is UTF-8, with line ends as XML reads them (LF).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::xml {

// Elements nest at most this deep; a deeper document is refused.
inline constexpr int kMaxDepth = 256;

struct Attribute {
    std::string localName;
    std::string namespaceUri;  // empty for an unprefixed attribute
    std::string value;
};

struct Element {
    std::string localName;
    std::string namespaceUri;
    // In document order; namespace declarations (xmlns, xmlns:p) are not attributes.
    std::vector<Attribute> attributes;
    std::vector<Element> children;
    // All character data directly inside this element (text, CDATA and white space between child
    // elements), joined in order.
    std::string text;
    // The line of the start tag (1-based), or 0 where the parser gives none.
    int line = 0;

    // The value of the first attribute with this local name, whatever its namespace; nullptr when
    // there is none.
    const std::string* Find(std::string_view name) const;
    // The first child with this local name, or nullptr.
    const Element* Child(std::string_view name) const;
    // Every child with this local name, in order.
    std::vector<const Element*> Children(std::string_view name) const;
};

struct Document {
    bool ok = false;
    Element root;  // when ok
    // When not ok: what the parser said, and the line where it stopped (0 where it gives none).
    std::string error;
    int line = 0;
};

Document Parse(std::string_view bytes);

// "line 12: <what the parser said>", or the error alone when the line is unknown.
std::string Describe(const Document& failed);

}  // namespace tarnwick::xml
