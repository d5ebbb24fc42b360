#include "xml/Xml.h"

#include "core/Text.h"

#include <vector>

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

std::string Describe(const XmlFailure& failed) {
    if (failed.line <= 0) return failed.message;
    return "line " + std::to_string(failed.line) + ": " + failed.message;
}

}  // namespace tarnwick::xml

namespace tarnwick::xml {

namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The encoding the bytes announce, and the byte where the document starts after a byte-order
// mark; as the parsers decide it: the mark first, then the XML declaration, UTF-8 by default.
Encoding Detect(std::string_view bytes, std::size_t& start) {
    start = 0;
    if (StartsWith(bytes, "\xFF\xFE")) return start = 2, Encoding::Utf16LE;
    if (StartsWith(bytes, "\xFE\xFF")) return start = 2, Encoding::Utf16BE;
    if (StartsWith(bytes, "\xEF\xBB\xBF")) return start = 3, Encoding::Utf8;
    if (StartsWith(bytes, std::string_view("<\0", 2))) return Encoding::Utf16LE;
    if (StartsWith(bytes, std::string_view("\0<", 2))) return Encoding::Utf16BE;
    if (!StartsWith(bytes, "<?xml")) return Encoding::Utf8;
    const std::string_view declaration = bytes.substr(0, bytes.find("?>"));
    const std::size_t at = declaration.find("encoding");
    if (at == std::string_view::npos) return Encoding::Utf8;
    const std::size_t open = declaration.find_first_of("\"'", at);
    if (open == std::string_view::npos) return Encoding::Other;
    const std::size_t close = declaration.find(declaration[open], open + 1);
    std::string name;
    for (const char c : declaration.substr(open + 1, close - open - 1))
        name += Lower(c);
    return name == "utf-8" || name == "utf8" || name == "us-ascii" ? Encoding::Utf8
                                                                   : Encoding::Other;
}

bool IsSpace(char32_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A scan of the document's markup, one unit at a time.
class Scanner {
  public:
    Scanner(std::string_view bytes, Encoding encoding, std::size_t start)
        : bytes_(bytes), encoding_(encoding), width_(UnitSize(encoding)), at_(start) {}

    bool Done() const { return at_ + width_ > bytes_.size(); }
    std::size_t Width() const { return width_; }
    std::size_t At() const { return at_; }
    char32_t Peek(std::size_t ahead = 0) const {
        return UnitAt(bytes_, at_ + ahead * width_, encoding_);
    }
    void Skip(std::size_t units = 1) { at_ += units * width_; }
    bool Looking(std::string_view ascii) const {
        for (std::size_t i = 0; i < ascii.size(); ++i) {
            if (Peek(i) != static_cast<unsigned char>(ascii[i])) return false;
        }
        return true;
    }
    // Moves past the next `ascii`; false at the end of the document.
    bool PastNext(std::string_view ascii) {
        if (width_ == 1) {
            // Bytes: the library's search, far quicker than a unit at a time over text.
            const std::size_t found = bytes_.find(ascii, at_);
            at_ = found == std::string_view::npos ? bytes_.size() : found;
        }
        while (!Done() && !Looking(ascii))
            Skip();
        if (Done()) return false;
        Skip(ascii.size());
        return true;
    }
    // A tag's name, as UTF-8, local part only.
    std::string LocalName() {
        std::u16string units;
        while (!Done() && !IsSpace(Peek()) && Peek() != '>' && Peek() != '/') {
            const char32_t unit = Peek();
            if (unit == ':') {
                units.clear();
            } else {
                units += static_cast<char16_t>(unit);
            }
            Skip();
        }
        if (width_ == 1) return std::string(units.begin(), units.end());  // the bytes themselves
        return Utf8Of(units);
    }

  private:
    std::string_view bytes_;
    Encoding encoding_;
    std::size_t width_;
    std::size_t at_;
};

// Walks the tags against the tree; false at the first tag that is not the element expected.
bool Walk(Scanner& scan, Element& root) {
    struct Open {
        Element* element;
        std::size_t next;  // the child the next start tag must be
    };
    std::vector<Open> open;
    bool rootDone = false;
    while (scan.PastNext("<")) {
        const std::size_t tag = scan.At() - scan.Width();  // the '<'
        if (scan.Looking("!--")) {
            if (!scan.PastNext("-->")) return false;
        } else if (scan.Looking("![CDATA[")) {
            if (!scan.PastNext("]]>")) return false;
        } else if (scan.Looking("?")) {
            if (!scan.PastNext("?>")) return false;
        } else if (scan.Looking("!")) {
            return false;  // a declaration: the readers refuse them
        } else if (scan.Looking("/")) {
            scan.Skip();
            const std::string name = scan.LocalName();
            if (open.empty() || open.back().element->localName != name ||
                open.back().next != open.back().element->children.size()) {
                return false;
            }
            Element& element = *open.back().element;
            element.contentEnd = tag;
            if (!scan.PastNext(">")) return false;
            element.end = scan.At();
            open.pop_back();
        } else {
            Element* element = nullptr;
            if (open.empty()) {
                if (rootDone) return false;
                rootDone = true;
                element = &root;
            } else {
                Open& parent = open.back();
                if (parent.next >= parent.element->children.size()) return false;
                element = &parent.element->children[parent.next++];
            }
            if (scan.LocalName() != element->localName) return false;
            element->begin = tag;
            // To the '>' that ends the tag: none can stand inside a quoted value.
            char32_t quote = 0, last = 0;
            while (!scan.Done() && (quote != 0 || scan.Peek() != '>')) {
                const char32_t c = scan.Peek();
                if (quote != 0 && c == quote) {
                    quote = 0;
                } else if (quote == 0 && (c == '"' || c == '\'')) {
                    quote = c;
                }
                last = c;
                scan.Skip();
            }
            if (scan.Done()) return false;
            scan.Skip();
            element->contentBegin = scan.At();
            if (last == '/') {
                if (!element->children.empty()) return false;
                element->contentEnd = element->end = scan.At();
            } else {
                element->end = 0;  // until its end tag
                open.push_back({element, 0});
            }
        }
    }
    return rootDone && open.empty();
}

}  // namespace

std::size_t UnitSize(Encoding encoding) {
    return encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE ? 2 : 1;
}

char32_t UnitAt(std::string_view bytes, std::size_t offset, Encoding encoding) {
    if (offset + UnitSize(encoding) > bytes.size()) return 0;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[offset + i]); };
    switch (encoding) {
        case Encoding::Utf16LE:
            return static_cast<char32_t>(byte(0) | (byte(1) << 8));
        case Encoding::Utf16BE:
            return static_cast<char32_t>((byte(0) << 8) | byte(1));
        default:
            return byte(0);
    }
}

std::string Encode(std::string_view utf8, Encoding encoding) {
    if (UnitSize(encoding) == 1) return std::string(utf8);
    std::string out;
    const auto unit = [&](char32_t u) {
        const char low = static_cast<char>(u & 0xFF), high = static_cast<char>(u >> 8);
        out += encoding == Encoding::Utf16LE ? low : high;
        out += encoding == Encoding::Utf16LE ? high : low;
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += length;
        if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    return out;
}

void Locate(std::string_view bytes, Document& document) {
    std::size_t start = 0;
    document.encoding = Detect(bytes, start);
    document.positioned = false;
    if (document.encoding == Encoding::Other) return;
    Scanner scan(bytes, document.encoding, start);
    document.positioned = Walk(scan, document.root);
}

}  // namespace tarnwick::xml
