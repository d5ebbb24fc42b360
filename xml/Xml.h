// A small XML reader: a whole document, from its bytes, into a tree of elements. Natively it sits
// on libxml2, in the Windows programs on the system's own XmlLite; both give the same tree.
//
// A document type declaration is refused outright, so no external entity is ever fetched and no
// entity is ever expanded; only the five predefined entities and character references are read.
// The encoding comes from the byte-order mark or the XML declaration (UTF-8 by default); all text
// in the tree is UTF-8, with line ends as XML reads them (LF).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Result.h"

namespace tarnwick::xml {

// Elements nest at most this deep; a deeper document is refused.
inline constexpr int kMaxDepth = 256;

// How the document's characters are stored, as far as an edit of its bytes needs to know.
enum class Encoding {
    Utf8,     // UTF-8 (or plain ASCII), with or without a byte-order mark
    Utf16LE,  // two bytes a unit, low byte first
    Utf16BE,
    Other,  // another declared encoding: the tree is read, but no positions are given
};

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
    // Byte offsets in the document as given, when its positions are known: the '<' of the start
    // tag, the byte after that tag, the '<' of the end tag and the byte after it. For an
    // empty-element tag ("<a/>") the last three are all the byte after it.
    std::size_t begin = 0, contentBegin = 0, contentEnd = 0, end = 0;
    bool IsEmptyTag() const { return contentEnd == end; }

    // The value of the first attribute with this local name, whatever its namespace; nullptr when
    // there is none.
    const std::string* Find(std::string_view name) const;
    // The first child with this local name, or nullptr.
    const Element* Child(std::string_view name) const;
    // Every child with this local name, in order.
    std::vector<const Element*> Children(std::string_view name) const;
};

struct Document {
    Element root;
    Encoding encoding = Encoding::Utf8;
    // Whether every element carries its byte offsets: true for a UTF-8 or UTF-16 document.
    bool positioned = false;
};

// Why a document was not read: what the parser said, and the line where it stopped (0 where it
// gives none). `typeDeclaration`: the document has a document type declaration, which is refused
// however well-formed the rest may be, so a reader can say that this is the cause.
struct XmlFailure : Failure {
    int line = 0;
    bool typeDeclaration = false;
};

Result<Document, XmlFailure> Parse(std::string_view bytes);

// Finds the tags of a document that the parser read into `document`, element by element in
// document order, and records their byte offsets; each tag's name must be the element's. Both
// readers call it, so the offsets are the same whichever parser read the tree.
void Locate(std::string_view bytes, Document& document);

// The character at byte `offset` of a document in `encoding` (one unit: a byte or a UTF-16 unit),
// or 0 past the end.
char32_t UnitAt(std::string_view bytes, std::size_t offset, Encoding encoding);
// The bytes of one unit in `encoding`: 1 or 2.
std::size_t UnitSize(Encoding encoding);
// `text` (UTF-8) as a document writes it for a parser to read it back: markup characters escaped,
// quotes only in attribute values (where they would end the value); a line end in text is written
// CR LF (which reads as LF), a CR alone is kept as a reference, and attribute values keep their LF
// and tab as references (a parser would turn them into blanks).
std::string Escaped(std::string_view text, bool attribute = true);
// The blanks and tabs before byte `at` back to the start of its line, and that line's end (CR LF,
// LF or CR); both empty when something else stands before `at` on its line. An insertion copies
// them, so that it sits on a line of its own as its neighbours do.
void LineLeadOf(std::string_view bytes, std::size_t at, Encoding encoding, std::string& indent,
                std::string& lineEnd);
// UTF-8 text as a document in `encoding` stores it (UTF-16 with surrogates where needed).
std::string Encode(std::string_view utf8, Encoding encoding);

// The document as both parsers are given it, so that the two builds read the same: UTF-16 of
// either byte order, with its mark or without (told by the '<' the document starts with), as
// UTF-8 with its declaration saying so; a declaration put in front of the white space that starts
// a document without one (Wine's XmlLite wants it). Lines stay where they were. None when the bytes
// go as they are; refused: UTF-16 that does not decode, or whose declaration names another
// encoding.
Result<std::optional<std::string>, XmlFailure> ForParsers(std::string_view bytes);

// What XML 1.0 refuses and a parser may let pass (Wine's XmlLite does), in the document `fed`
// that ForParsers made of `bytes`: in UTF-8 or UTF-16, a byte sequence that is no UTF-8 or no XML
// character; a reference to an entity other than the five XML predefines (with no document type
// declaration read, every other one is undeclared) or to a character XML does not allow. Comments,
// processing instructions and CDATA are passed over. None when there is none of these.
std::optional<XmlFailure> NotWellFormed(std::string_view bytes, std::string_view fed);

// "line 12: <what the parser said>", or the error alone when the line is unknown.
std::string Describe(const XmlFailure& failed);

}  // namespace tarnwick::xml
