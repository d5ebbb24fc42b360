// The reader on libxml2, through its SAX2 callbacks: elements, attributes and text go straight into
// our tree, so no second tree of libxml2's own is built beside it (half the memory for a big
// document). A document type declaration stops the parser the moment it starts, before any of it
// is read.
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "xml/Xml.h"

namespace tarnwick::xml {

namespace {

constexpr const char* kDtdRefused = "a document type declaration (DTD) is not allowed";

// The tree being built and what stopped it.
struct Building {
    xmlParserCtxtPtr ctxt = nullptr;
    Document document;
    bool haveRoot = false;
    std::vector<Element*> open;  // innermost last
    std::string stopped;         // why the parse was stopped here, if it was
    int stoppedLine = 0;
    bool refusedDtd = false;  // stopped for a document type declaration
    // The first error libxml2 raised: the cause. It goes on after it, and what it says last is
    // mostly an echo ("Premature end of data").
    std::string firstError;
    int firstErrorLine = 0;
};

Building& Of(void* context) {
    return *static_cast<Building*>(static_cast<xmlParserCtxtPtr>(context)->_private);
}

int Line(const Building& building) {
    const int line = xmlSAX2GetLineNumber(building.ctxt);
    return line > 0 ? line : 0;
}

void Stop(Building& building, std::string why) {
    if (building.stopped.empty()) {
        building.stopped = std::move(why);
        building.stoppedLine = Line(building);
    }
    xmlStopParser(building.ctxt);
}

std::string Text(const xmlChar* text) {
    return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

void RefuseDtd(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    Building& building = Of(context);
    if (building.stopped.empty()) building.refusedDtd = true;
    Stop(building, kDtdRefused);
}

void StartElement(void* context, const xmlChar* localName, const xmlChar*, const xmlChar* uri, int,
                  const xmlChar**, int attributeCount, int, const xmlChar** attributes) {
    Building& building = Of(context);
    if (static_cast<int>(building.open.size()) >= kMaxDepth) {
        Stop(building, "elements nest deeper than " + std::to_string(kMaxDepth));
        return;
    }
    Element* element = nullptr;
    if (building.open.empty()) {
        building.haveRoot = true;
        element = &building.document.root;
    } else {
        building.open.back()->children.emplace_back();
        element = &building.open.back()->children.back();
    }
    element->localName = Text(localName);
    element->namespaceUri = Text(uri);
    element->line = Line(building);
    element->attributes.reserve(static_cast<std::size_t>(attributeCount));
    // Five pointers an attribute: local name, prefix, URI, value start and value end. Entities
    // are replaced (XML_PARSE_NOENT; with no DTD only the predefined ones and character
    // references exist), so the value is its text.
    for (int i = 0; i < attributeCount; ++i) {
        const xmlChar** at = attributes + 5 * i;
        Attribute attribute;
        attribute.localName = Text(at[0]);
        attribute.namespaceUri = Text(at[2]);
        attribute.value.assign(reinterpret_cast<const char*>(at[3]),
                               static_cast<std::size_t>(at[4] - at[3]));
        element->attributes.push_back(std::move(attribute));
    }
    building.open.push_back(element);
}

// libxml2 passes a const error since 2.12, a plain one before; the template takes either.
template <typename Error>
void KeepFirstError(void* context, Error* error) {
    Building& building = Of(context);
    if (error == nullptr || error->level < XML_ERR_ERROR || error->message == nullptr) return;
    if (!building.firstError.empty()) return;
    building.firstError = error->message;
    building.firstErrorLine = error->line > 0 ? error->line : 0;
}

void EndElement(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    Building& building = Of(context);
    if (!building.open.empty()) building.open.pop_back();
}

void Characters(void* context, const xmlChar* text, int length) {
    Building& building = Of(context);
    if (!building.open.empty() && length > 0) {
        building.open.back()->text.append(reinterpret_cast<const char*>(text),
                                          static_cast<std::size_t>(length));
    }
}

XmlFailure Refused(std::string error, int line) {
    while (!error.empty() && (error.back() == '\n' || error.back() == ' '))
        error.pop_back();
    XmlFailure failure;
    failure.message = std::move(error);
    failure.line = line;
    return failure;
}

}  // namespace

// The context, and the document libxml2 makes of its own for entity declarations met after a
// fatal error (its "SAX compatibility" road), which freeing the context leaves behind.
struct FreeContext {
    void operator()(xmlParserCtxtPtr ctxt) const {
        if (ctxt->myDoc) xmlFreeDoc(ctxt->myDoc);
        xmlFreeParserCtxt(ctxt);
    }
};

Result<Document, XmlFailure> Parse(std::string_view bytes) {
    if (bytes.size() > INT_MAX) return Refused("the document is too large", 0);
    // libxml2 makes no context for no bytes, which would read as running out of memory.
    if (bytes.empty()) return Refused("the document is empty", 0);
    auto prepared = ForParsers(bytes);
    if (!prepared) return prepared.failure();
    const std::string_view fed = *prepared ? std::string_view(**prepared) : bytes;
    xmlInitParser();
    xmlSAXHandler sax{};
    xmlSAXVersion(&sax, 2);
    // Only what the tree needs; nothing of libxml2's own document is built.
    sax.internalSubset = &RefuseDtd;
    sax.externalSubset = &RefuseDtd;
    sax.startElementNs = &StartElement;
    sax.endElementNs = &EndElement;
    sax.characters = &Characters;
    sax.ignorableWhitespace = &Characters;
    sax.cdataBlock = &Characters;
    sax.serror = &KeepFirstError;
    sax.startDocument = nullptr;
    sax.endDocument = nullptr;
    sax.reference = nullptr;
    sax.comment = nullptr;
    sax.processingInstruction = nullptr;
    sax.entityDecl = nullptr;
    sax.elementDecl = nullptr;
    sax.attributeDecl = nullptr;
    sax.notationDecl = nullptr;
    sax.unparsedEntityDecl = nullptr;

    Building building;
    std::unique_ptr<xmlParserCtxt, FreeContext> ctxt(
        xmlCreateMemoryParserCtxt(fed.data(), static_cast<int>(fed.size())));
    if (!ctxt) return Refused("the XML parser could not start (out of memory)", 0);
    // The context's own handler gives way to ours.
    std::memcpy(ctxt->sax, &sax, sizeof sax);
    ctxt->_private = &building;
    building.ctxt = ctxt.get();
    // No network, no messages on stderr, no DTD loading; the predefined entities and character
    // references read as their text; line numbers beyond 65535 kept.
    xmlCtxtUseOptions(ctxt.get(), XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                                      XML_PARSE_BIG_LINES | XML_PARSE_NOENT);
    xmlParseDocument(ctxt.get());

    if (!building.stopped.empty()) {
        XmlFailure stopped = Refused(building.stopped, building.stoppedLine);
        stopped.typeDeclaration = building.refusedDtd;
        return stopped;
    }
    // A namespace error (an undeclared prefix) leaves the document well-formed but unusable.
    if (!ctxt->wellFormed || !ctxt->nsWellFormed) {
        if (!building.firstError.empty()) {
            return Refused(building.firstError, building.firstErrorLine);
        }
        const xmlError* error = xmlCtxtGetLastError(ctxt.get());
        if (error && error->message) return Refused(error->message, error->line);
        return Refused("the document is not well-formed XML", 0);
    }
    if (!building.haveRoot) return Refused("the document has no root element", 0);
    if (auto bad = NotWellFormed(bytes, fed)) return *bad;
    Document document = std::move(building.document);
    Locate(bytes, document);
    return document;
}

}  // namespace tarnwick::xml
