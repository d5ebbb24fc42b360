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

ByteOrder OrderOf(Encoding encoding) {
    return encoding == Encoding::Utf16LE ? ByteOrder::Little : ByteOrder::Big;
}

// XML's white space (its S production).
bool IsSpace(char32_t c) {
    return IsBlank(c, " \t\r\n");
}

// The encoding the bytes announce, and the byte where the document starts after a byte-order
// mark; as the parsers decide it: the mark first, then the XML declaration, UTF-8 by default.
Encoding Detect(std::string_view bytes, std::size_t& start) {
    start = 0;
    if (bytes.starts_with("\xFF\xFE")) return start = 2, Encoding::Utf16LE;
    if (bytes.starts_with("\xFE\xFF")) return start = 2, Encoding::Utf16BE;
    if (bytes.starts_with("\xEF\xBB\xBF")) return start = 3, Encoding::Utf8;
    // UTF-16 without a mark: the first unit that is no white space is '<'.
    for (const bool little : {true, false}) {
        std::size_t at = 0;
        while (at + 1 < bytes.size() && bytes[at + (little ? 1 : 0)] == '\0' &&
               IsSpace(static_cast<unsigned char>(bytes[at + (little ? 0 : 1)]))) {
            at += 2;
        }
        if (bytes.substr(at, 2) ==
            (little ? std::string_view("<\0", 2) : std::string_view("\0<", 2)))
            return little ? Encoding::Utf16LE : Encoding::Utf16BE;
    }
    if (!bytes.starts_with("<?xml")) return Encoding::Utf8;
    const std::string_view declaration = bytes.substr(0, bytes.find("?>"));
    const std::size_t at = declaration.find("encoding");
    if (at == std::string_view::npos) return Encoding::Utf8;
    const std::size_t open = declaration.find_first_of("\"'", at);
    if (open == std::string_view::npos) return Encoding::Other;
    const std::size_t close = declaration.find(declaration[open], open + 1);
    const std::string name = LowerAscii(declaration.substr(open + 1, close - open - 1));
    return name == "utf-8" || name == "utf8" || name == "us-ascii" ? Encoding::Utf8
                                                                   : Encoding::Other;
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

namespace {

// The unit `units` before byte `at`, or 0 before the start.
char32_t Before(std::string_view bytes, std::size_t at, std::size_t units, xml::Encoding encoding) {
    const std::size_t width = xml::UnitSize(encoding);
    return at >= units * width ? xml::UnitAt(bytes, at - units * width, encoding) : 0;
}

}  // namespace

std::string Escaped(std::string_view text, bool attribute) {
    std::string out;
    for (const char c : text) {
        if (c == '"' && !attribute) {
            out += c;
            continue;
        }
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\r':
                out += "&#13;";
                break;
            case '\n':
                out += attribute ? "&#10;" : "\r\n";
                break;
            case '\t':
                out += attribute ? "&#9;" : "\t";
                break;
            default:
                out += c;
        }
    }
    return out;
}

void LineLeadOf(std::string_view bytes, std::size_t at, xml::Encoding encoding, std::string& indent,
                std::string& lineEnd) {
    indent.clear();
    lineEnd.clear();
    std::size_t units = 1;
    for (char32_t c; (c = Before(bytes, at, units, encoding)) == ' ' || c == '\t'; ++units)
        indent.insert(indent.begin(), static_cast<char>(c));
    const char32_t end = Before(bytes, at, units, encoding);
    // Appended, not assigned: GCC 12 at -O3 warns wrongly (-Wrestrict) on assigning a literal here.
    if (end == '\n') {
        lineEnd.append(Before(bytes, at, units + 1, encoding) == '\r' ? "\r\n" : "\n");
    } else if (end == '\r') {
        lineEnd.append("\r");
    } else {
        indent.clear();
    }
}

std::string Encode(std::string_view utf8, Encoding encoding) {
    if (UnitSize(encoding) == 1) return std::string(utf8);
    return Utf16Bytes(utf8, OrderOf(encoding));
}

void Locate(std::string_view bytes, Document& document) {
    std::size_t start = 0;
    document.encoding = Detect(bytes, start);
    document.positioned = false;
    if (document.encoding == Encoding::Other) return;
    Scanner scan(bytes, document.encoding, start);
    document.positioned = Walk(scan, document.root);
}

namespace {

XmlFailure Refusal(std::string message, int line) {
    XmlFailure failure;
    failure.message = std::move(message);
    failure.line = line;
    return failure;
}

int LineAt(std::string_view text, std::size_t at) {
    int line = 1;
    for (std::size_t i = 0; i < at && i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
            ++line;
    }
    return line;
}

// UTF-16 units from `start` as UTF-8, its declaration's encoding made UTF-8. A lone surrogate,
// an odd last byte or a declaration that names no UTF-16 is refused: the parsers would stop there.
Result<std::string, XmlFailure> FromUtf16(std::string_view bytes, std::size_t start,
                                          Encoding encoding) {
    const std::u16string units = UnitsOf(bytes.substr(start), OrderOf(encoding));
    std::string text = Utf8Of(units);
    if (const std::size_t lone = LoneSurrogateAt(units); lone != std::u16string::npos) {
        return Refusal("invalid UTF-16 (a lone surrogate)",
                       LineAt(Utf8Of(units.substr(0, lone)), std::string::npos));
    }
    if ((bytes.size() - start) % 2 != 0) {
        return Refusal("invalid UTF-16 (an odd number of bytes)", LineAt(text, text.size()));
    }
    if (!text.starts_with("<?xml")) return text;
    const std::size_t end = text.find("?>");
    const std::size_t at = text.substr(0, end).find("encoding");
    if (at == std::string::npos) return text;
    const std::size_t open = text.find_first_of("\"'", at);
    const std::size_t close = open < end ? text.find(text[open], open + 1) : std::string::npos;
    if (close == std::string::npos || close > end) return text;  // the parsers say what is wrong
    const std::string name = LowerAscii(text.substr(open + 1, close - open - 1));
    if (name != "utf-16" && name != "utf-16le" && name != "utf-16be") {
        return Refusal("the document is in UTF-16, but its declaration says encoding \"" +
                           text.substr(open + 1, close - open - 1) + "\"",
                       1);
    }
    return text.replace(open + 1, close - open - 1, "UTF-8");
}

}  // namespace

Result<std::optional<std::string>, XmlFailure> ForParsers(std::string_view bytes) {
    std::size_t start = 0;
    const Encoding encoding = Detect(bytes, start);
    if (encoding == Encoding::Other) return std::optional<std::string>();
    std::optional<std::string> fed;
    if (encoding != Encoding::Utf8) {
        auto decoded = FromUtf16(bytes, start, encoding);
        if (!decoded) return decoded.failure();
        fed = std::move(*decoded);
        start = 0;
    }
    const std::string_view text = fed ? std::string_view(*fed) : bytes;
    // White space first and no declaration after it: Wine's XmlLite wants the declaration.
    std::size_t first = start;
    while (first < text.size() && IsSpace(static_cast<unsigned char>(text[first])))
        ++first;
    const bool declared =
        text.substr(first).starts_with("<?xml") && first + 5 < text.size() &&
        (IsSpace(static_cast<unsigned char>(text[first + 5])) || text[first + 5] == '?');
    std::string declaration;
    if (first > start && !declared) declaration = "<?xml version=\"1.0\"?>";
    if (declaration.empty()) return fed;
    return std::optional<std::string>(std::string(text.substr(0, start)) + declaration +
                                      std::string(text.substr(start)));
}

namespace {

bool IsXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

std::string CodePoint(char32_t c) {
    return "U+" + HexText(c, 4);
}

// The first byte sequence that is no UTF-8 or no XML character; none when all are.
std::optional<XmlFailure> BadCharacter(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Char c = Utf8At(text, at);
        if (!c.valid) return Refusal("invalid UTF-8", LineAt(text, at));
        if (!IsXmlChar(c.code)) {
            return Refusal("invalid character " + CodePoint(c.code), LineAt(text, at));
        }
        at += c.length;
    }
    return std::nullopt;
}

}  // namespace

std::optional<XmlFailure> NotWellFormed(std::string_view bytes, std::string_view fed) {
    std::size_t start = 0;
    if (Detect(bytes, start) != Encoding::Other) {
        if (auto bad = BadCharacter(fed)) return bad;
    }
    const std::string_view text = fed;
    for (std::size_t at = 0; (at = text.find_first_of("<&", at)) != std::string_view::npos;) {
        const std::string_view rest = text.substr(at);
        std::string_view end;
        if (rest.starts_with("<!--")) end = "-->";
        if (rest.starts_with("<?")) end = "?>";
        if (rest.starts_with("<![CDATA[")) end = "]]>";
        if (!end.empty()) {
            const std::size_t found = text.find(end, at);
            if (found == std::string_view::npos) return std::nullopt;
            at = found + end.size();
            continue;
        }
        ++at;
        if (rest[0] == '<') continue;
        const std::string_view name = rest.substr(1, rest.find(';') - 1);
        if (name.starts_with("#")) {
            // A character reference names an XML character.
            const bool hex = name.starts_with("#x");
            std::uint32_t c = 0;
            for (const char digit : name.substr(hex ? 2 : 1)) {
                const int value = DigitValue(digit, hex ? 16 : 10);
                if (value < 0 || c > 0x10FFFF) break;
                c = c * (hex ? 16 : 10) + static_cast<std::uint32_t>(value);
            }
            if (!IsXmlChar(c)) {
                return Refusal("a reference to an invalid character (&" +
                                   std::string(name.substr(0, 12)) + ";)",
                               LineAt(text, at));
            }
        } else if (name != "lt" && name != "gt" && name != "amp" && name != "apos" &&
                   name != "quot") {
            return Refusal("undeclared entity \"&" + std::string(name.substr(0, 40)) + ";\"",
                           LineAt(text, at));
        }
    }
    return std::nullopt;
}

}  // namespace tarnwick::xml
