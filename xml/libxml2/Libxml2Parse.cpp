// The reader on libxml2: the parser builds its own tree, which is then copied into ours. A
// document type declaration stops the parser the moment it starts, before any of it is read.
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <climits>
#include <memory>

#include "xml/Xml.h"

namespace tarnwick::xml {

namespace {

constexpr const char* kDtdRefused = "a document type declaration (DTD) is not allowed";

struct Parsing {
    bool sawDtd = false;
    int dtdLine = 0;
};
// The parse in progress on this thread, for the declaration hook.
thread_local Parsing* current = nullptr;

void RefuseDtd(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(context);
    current->sawDtd = true;
    current->dtdLine = xmlSAX2GetLineNumber(ctxt);
    xmlStopParser(ctxt);
}

std::string Text(const xmlChar* text) {
    return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

int LineOf(const xmlNode* node) {
    const long line = xmlGetLineNo(node);
    return line > 0 && line <= INT_MAX ? static_cast<int>(line) : 0;
}

// Copies `node` into `into`; false when the tree nests deeper than kMaxDepth, with `deepLine` the
// line of the element too deep.
bool Copy(const xmlNode* node, Element& into, int depth, int& deepLine) {
    if (depth > kMaxDepth) {
        deepLine = LineOf(node);
        return false;
    }
    into.localName = Text(node->name);
    if (node->ns) into.namespaceUri = Text(node->ns->href);
    into.line = LineOf(node);
    for (const xmlAttr* attr = node->properties; attr; attr = attr->next) {
        Attribute attribute;
        attribute.localName = Text(attr->name);
        if (attr->ns) attribute.namespaceUri = Text(attr->ns->href);
        xmlChar* value = xmlNodeListGetString(node->doc, attr->children, 1);
        attribute.value = Text(value);
        xmlFree(value);
        into.attributes.push_back(std::move(attribute));
    }
    for (const xmlNode* child = node->children; child; child = child->next) {
        switch (child->type) {
            case XML_ELEMENT_NODE:
                into.children.emplace_back();
                if (!Copy(child, into.children.back(), depth + 1, deepLine)) return false;
                break;
            case XML_TEXT_NODE:
            case XML_CDATA_SECTION_NODE:
                into.text += Text(child->content);
                break;
            default:
                break;  // comments and processing instructions carry nothing we read
        }
    }
    return true;
}

Document Failure(std::string error, int line) {
    while (!error.empty() && (error.back() == '\n' || error.back() == ' '))
        error.pop_back();
    Document document;
    document.error = std::move(error);
    document.line = line;
    return document;
}

}  // namespace

Document Parse(std::string_view bytes) {
    if (bytes.size() > INT_MAX) return Failure("the document is too large", 0);
    xmlInitParser();
    std::unique_ptr<xmlParserCtxt, decltype(&xmlFreeParserCtxt)> ctxt(xmlNewParserCtxt(),
                                                                      &xmlFreeParserCtxt);
    if (!ctxt || !ctxt->sax) return Failure("the XML parser could not start (out of memory)", 0);
    Parsing parsing;
    current = &parsing;
    ctxt->sax->internalSubset = &RefuseDtd;
    ctxt->sax->externalSubset = &RefuseDtd;

    // No network, no messages on stderr, no DTD loading, no entity substitution; line numbers
    // beyond 65535 kept.
    const int options =
        XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES;
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
        xmlCtxtReadMemory(ctxt.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr,
                          nullptr, options),
        &xmlFreeDoc);
    if (parsing.sawDtd) return Failure(kDtdRefused, parsing.dtdLine);
    // A namespace error (an undeclared prefix) leaves the document well-formed but unusable.
    if (!doc || !ctxt->wellFormed || !ctxt->nsWellFormed) {
        const xmlError* error = xmlCtxtGetLastError(ctxt.get());
        if (error && error->message) return Failure(error->message, error->line);
        return Failure("the document is not well-formed XML", 0);
    }
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!root) return Failure("the document has no root element", 0);

    Document document;
    int deepLine = 0;
    if (!Copy(root, document.root, 1, deepLine)) {
        return Failure("elements nest deeper than " + std::to_string(kMaxDepth), deepLine);
    }
    document.ok = true;
    Locate(bytes, document);
    return document;
}

}  // namespace tarnwick::xml
