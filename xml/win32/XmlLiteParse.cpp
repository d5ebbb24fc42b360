// The reader on the system's XmlLite, a pull parser: its nodes are gathered into our tree as they
// come. xmllite.dll is loaded from the system folder only, so no copy planted beside the program
// or in the current folder is ever loaded, and the exe imports nothing new.
#include <objidl.h>
#include <shlwapi.h>
#include <windows.h>
#include <xmllite.h>

#include <climits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Text.h"
#include "win32/ComRef.h"
#include "win32/SystemFolder.h"
#include "win32/WideText.h"
#include "xml/Xml.h"

namespace tarnwick::xml {

namespace {

using CreateReaderFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

CreateReaderFunction LoadCreateReader() {
    static const CreateReaderFunction function = [] {
        HMODULE module = win32::LoadSystemLibrary(L"xmllite.dll");
        if (!module) return CreateReaderFunction{};
        return reinterpret_cast<CreateReaderFunction>(
            reinterpret_cast<void*>(GetProcAddress(module, "CreateXmlReader")));
    }();
    return function;
}

struct Known {
    unsigned long code;  // an HRESULT's bits
    const char* text;
};

// What the reader's codes mean, in the words a reader of the message needs.
constexpr Known kKnown[] = {
    {MX_E_INPUTEND, "unexpected end of input"},
    {MX_E_ENCODING, "unrecognized encoding"},
    {MX_E_ENCODINGSWITCH, "unable to switch the encoding"},
    {MX_E_ENCODINGSIGNATURE, "unrecognized input signature"},
    {WC_E_WHITESPACE, "white space expected"},
    {WC_E_SEMICOLON, "';' expected"},
    {WC_E_GREATERTHAN, "'>' expected"},
    {WC_E_QUOTE, "quote expected"},
    {WC_E_EQUAL, "'=' expected"},
    {WC_E_LESSTHAN, "'<' not allowed in an attribute value"},
    {WC_E_HEXDIGIT, "hexadecimal digit expected"},
    {WC_E_DIGIT, "decimal digit expected"},
    {WC_E_XMLCHARACTER, "invalid character"},
    {WC_E_NAMECHARACTER, "invalid name character"},
    {WC_E_SYNTAX, "syntax error"},
    {WC_E_CDSECT, "invalid CDATA section"},
    {WC_E_COMMENT, "invalid comment"},
    {WC_E_NAME, "a name was expected"},
    {WC_E_ROOTELEMENT, "one root element expected"},
    {WC_E_ELEMENTMATCH, "the end tag does not match the start tag"},
    {WC_E_UNIQUEATTRIBUTE, "an attribute appears twice"},
    {WC_E_XMLDECL, "invalid XML declaration"},
    {WC_E_LEADINGXML, "the XML declaration is not at the start"},
    {WC_E_UNDECLAREDENTITY, "undeclared entity"},
    {WC_E_PI, "invalid processing instruction"},
    {WC_E_MOREDATA, "data after the root element"},
    {WC_E_DTDPROHIBITED, "a document type declaration (DTD) is not allowed"},
    {NC_E_QNAMECHARACTER, "invalid qualified name character"},
    {NC_E_QNAMECOLON, "more than one colon in a qualified name"},
    {NC_E_NAMECOLON, "a colon in a name"},
    {NC_E_DECLAREDPREFIX, "a prefix declared twice"},
    {NC_E_UNDECLAREDPREFIX, "undeclared namespace prefix"},
    {NC_E_EMPTYURI, "empty namespace name"},
    {SC_E_MAXELEMENTDEPTH, "elements nest too deep"},
    {static_cast<unsigned long>(E_OUTOFMEMORY), "out of memory"},
};

std::string Meaning(unsigned long code) {
    for (const Known& known : kKnown) {
        if (known.code == code) return known.text;
    }
    return "the XML reader failed (0x" + HexText(code, 8) + ")";
}

std::string Utf8(const WCHAR* text, UINT length) {
    return win32::Narrow(std::wstring(text, length));
}

// Where the reader stands: line and column.
std::pair<UINT, UINT> PositionOf(IXmlReader* reader) {
    UINT line = 0, column = 0;
    reader->GetLineNumber(&line);
    reader->GetLinePosition(&column);
    return {line, column};
}

int LineOf(IXmlReader* reader) {
    UINT line = 0;
    if (FAILED(reader->GetLineNumber(&line)) || line > INT_MAX) return 0;
    return static_cast<int>(line);
}

XmlFailure Refused(std::string error, int line) {
    XmlFailure failure;
    failure.message = std::move(error);
    failure.line = line;
    return failure;
}

// Refused for the reader's code `code`, in its words.
XmlFailure Refused(unsigned long code, int line) {
    XmlFailure failure = Refused(Meaning(code), line);
    failure.typeDeclaration = code == static_cast<unsigned long>(WC_E_DTDPROHIBITED);
    return failure;
}

// Reads the current node's local name and namespace URI; false, with `code` set, when the reader
// fails or the name has a prefix that no declaration gives a namespace (which Wine's reader lets
// pass).
bool Names(IXmlReader* reader, std::string& localName, std::string& namespaceUri,
           unsigned long& code) {
    const WCHAR* text = nullptr;
    UINT length = 0;
    code = static_cast<unsigned long>(E_FAIL);
    if (FAILED(reader->GetLocalName(&text, &length))) return false;
    localName = Utf8(text, length);
    if (FAILED(reader->GetNamespaceUri(&text, &length))) return false;
    namespaceUri = Utf8(text, length);
    if (!namespaceUri.empty()) return true;
    if (FAILED(reader->GetQualifiedName(&text, &length))) return false;
    code = NC_E_UNDECLAREDPREFIX;
    return std::wstring_view(text, length).find(L':') == std::wstring_view::npos;
}

bool SameName(const Attribute& a, const Attribute& b) {
    return a.localName == b.localName && a.namespaceUri == b.namespaceUri;
}

constexpr const char* kXmlnsUri = "http://www.w3.org/2000/xmlns/";

// The system's reader over `stream`, set to refuse a document type declaration, to fetch nothing
// and to refuse elements nested deeper than kMaxDepth.
std::optional<XmlFailure> OpenReader(IStream* stream, win32::ComRef<IXmlReader>& reader) {
    const CreateReaderFunction createReader = LoadCreateReader();
    if (!createReader) return Refused("the system's XML reader (xmllite.dll) is not available", 0);
    HRESULT hr =
        createReader(__uuidof(IXmlReader), reinterpret_cast<void**>(reader.out()), nullptr);
    if (FAILED(hr) ||
        FAILED(hr = reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) ||
        FAILED(hr = reader->SetProperty(XmlReaderProperty_XmlResolver, 0)) ||
        FAILED(hr = reader->SetProperty(XmlReaderProperty_MaxElementDepth, kMaxDepth)) ||
        FAILED(hr = reader->SetInput(stream))) {
        return Refused(hr, 0);
    }
    return std::nullopt;
}

// The names, line and attributes of the element the reader stands on (namespace declarations are
// no attributes).
std::optional<XmlFailure> ReadElement(IXmlReader* reader, Element& element) {
    element.line = LineOf(reader);
    unsigned long code = 0;
    if (!Names(reader, element.localName, element.namespaceUri, code)) {
        return Refused(code, element.line);
    }
    HRESULT hr;
    for (hr = reader->MoveToFirstAttribute(); hr == S_OK; hr = reader->MoveToNextAttribute()) {
        Attribute attribute;
        if (!Names(reader, attribute.localName, attribute.namespaceUri, code)) {
            return Refused(code, element.line);
        }
        if (attribute.namespaceUri == kXmlnsUri) continue;
        for (const Attribute& before : element.attributes) {
            if (SameName(before, attribute)) return Refused(WC_E_UNIQUEATTRIBUTE, element.line);
        }
        const WCHAR* value = nullptr;
        UINT length = 0;
        if (FAILED(reader->GetValue(&value, &length))) {
            return Refused(static_cast<unsigned long>(E_FAIL), element.line);
        }
        attribute.value = Utf8(value, length);
        element.attributes.push_back(std::move(attribute));
    }
    if (FAILED(hr)) return Refused(hr, LineOf(reader));
    return std::nullopt;
}

// The tree, gathered node by node as the reader gives them.
class Gathering {
  public:
    explicit Gathering(IXmlReader* reader) : reader_(reader) {}

    std::optional<XmlFailure> Take(XmlNodeType type) {
        if (auto end = RepeatedEnd(type)) return end;
        switch (type) {
            case XmlNodeType_Element:
                return StartElement();
            case XmlNodeType_EndElement:
                if (!open_.empty()) open_.pop_back();
                return std::nullopt;
            case XmlNodeType_Text:
            case XmlNodeType_CDATA:
            case XmlNodeType_Whitespace:
                if (!open_.empty()) {
                    const WCHAR* value = nullptr;
                    UINT length = 0;
                    if (FAILED(reader_->GetValue(&value, &length))) {
                        return Refused(static_cast<unsigned long>(E_FAIL), LineOf(reader_));
                    }
                    open_.back()->text += Utf8(value, length);
                }
                return std::nullopt;
            case XmlNodeType_DocumentType:
                return Refused(WC_E_DTDPROHIBITED, LineOf(reader_));
            default:
                // The declaration, comments and processing instructions carry nothing we read.
                return std::nullopt;
        }
    }

    // After the last node: the document, or why it is incomplete.
    Result<Document, XmlFailure> Finish() {
        if (!haveRoot_) return Refused("the document has no root element", LineOf(reader_));
        if (!open_.empty()) return Refused(MX_E_INPUTEND, LineOf(reader_));
        return std::move(document_);
    }

  private:
    // Some readers (Wine's) give the last white space over and over at the end of an unclosed
    // document: text right after text, starting where that text started, is that end. Only text
    // of the same kind counts: Wine gives the white space after a CDATA section the section's
    // position, and that is no end.
    std::optional<XmlFailure> RepeatedEnd(XmlNodeType type) {
        const bool isText =
            type == XmlNodeType_Text || type == XmlNodeType_CDATA || type == XmlNodeType_Whitespace;
        const XmlNodeType last = std::exchange(lastType_, type);
        if (!isText) return std::nullopt;
        const std::pair<UINT, UINT> at = PositionOf(reader_);
        if (type == last && at == textAt_) return Refused(MX_E_INPUTEND, LineOf(reader_));
        textAt_ = at;
        return std::nullopt;
    }

    std::optional<XmlFailure> StartElement() {
        Element* element;
        if (open_.empty()) {
            if (haveRoot_) return Refused(WC_E_MOREDATA, LineOf(reader_));
            haveRoot_ = true;
            element = &document_.root;
        } else {
            open_.back()->children.emplace_back();
            element = &open_.back()->children.back();
        }
        const bool empty = reader_->IsEmptyElement();
        if (auto refused = ReadElement(reader_, *element)) return refused;
        if (!empty) {
            if (static_cast<int>(open_.size()) >= kMaxDepth) {
                return Refused(SC_E_MAXELEMENTDEPTH, element->line);
            }
            open_.push_back(element);
        }
        return std::nullopt;
    }

    IXmlReader* reader_;
    Document document_;
    bool haveRoot_ = false;
    std::vector<Element*> open_;  // the elements whose end tag is still to come, innermost last
    std::pair<UINT, UINT> textAt_{0, 0};
    XmlNodeType lastType_ = XmlNodeType_None;
};

}  // namespace

Result<Document, XmlFailure> Parse(std::string_view bytes) {
    if (bytes.size() > UINT_MAX) return Refused("the document is too large", 0);
    // Said as the native reader says it.
    if (bytes.empty()) return Refused("the document is empty", 0);
    auto prepared = ForParsers(bytes);
    if (!prepared) return prepared.failure();
    const std::string_view fed = *prepared ? std::string_view(**prepared) : bytes;

    win32::ComRef<IStream> stream;
    *stream.out() =
        SHCreateMemStream(reinterpret_cast<const BYTE*>(fed.data()), static_cast<UINT>(fed.size()));
    if (!stream.get()) return Refused(static_cast<unsigned long>(E_OUTOFMEMORY), 0);
    win32::ComRef<IXmlReader> reader;
    if (auto refused = OpenReader(stream.get(), reader)) return *refused;

    Gathering gathering(reader.get());
    HRESULT hr;
    XmlNodeType type = XmlNodeType_None;
    while ((hr = reader->Read(&type)) == S_OK && type != XmlNodeType_None) {
        if (auto refused = gathering.Take(type)) return *refused;
    }
    // All input is there from the start, so a reader that wants more (E_PENDING) has met the end
    // of the input.
    if (hr == E_PENDING) return Refused(MX_E_INPUTEND, LineOf(reader.get()));
    if (FAILED(hr)) return Refused(hr, LineOf(reader.get()));
    Result<Document, XmlFailure> gathered = gathering.Finish();
    if (!gathered) return gathered;
    // Wine's reader lets an undeclared entity, a character XML does not allow and bytes that are
    // no UTF-8 pass; Windows' own refuses them.
    if (auto bad = NotWellFormed(bytes, fed)) return *bad;
    Locate(bytes, *gathered);
    return gathered;
}

}  // namespace tarnwick::xml
