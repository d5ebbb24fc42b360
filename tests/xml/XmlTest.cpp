// The XML reader gives the same tree natively and in the Windows build, and refuses what it must:
// malformed documents with the line where they break, and every document type declaration.
#include <gtest/gtest.h>

#include <string>

#include "xml/Xml.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tarnwick::xml {
namespace {

// The tree as one line: {uri}name[attr=value ...](children) "text" (white-space-only text shown as
// its length, so the expectations stay readable).
std::string Dump(const Element& element) {
    std::string out;
    if (!element.namespaceUri.empty()) out += "{" + element.namespaceUri + "}";
    out += element.localName + "@" + std::to_string(element.line);
    for (const Attribute& attribute : element.attributes) {
        out += " ";
        if (!attribute.namespaceUri.empty()) out += "{" + attribute.namespaceUri + "}";
        out += attribute.localName + "=" + attribute.value;
    }
    if (element.text.find_first_not_of(" \t\r\n") != std::string::npos) {
        out += " \"" + element.text + "\"";
    } else if (!element.text.empty()) {
        out += " ws" + std::to_string(element.text.size());
    }
    if (!element.children.empty()) {
        out += " (";
        for (const Element& child : element.children)
            out += Dump(child) + "; ";
        out += ")";
    }
    return out;
}

struct TreeCase {
    const char* name;
    std::string bytes;
    const char* tree;
};

const TreeCase kTrees[] = {
    {"Namespaces", R"(<?xml version="1.0" encoding="utf-8"?>
<p:a xmlns:p="urn:one" xmlns="urn:two" x="1" p:y="2">
  <b/>
  <p:c z="&lt;&amp;&#65;"><![CDATA[<raw>]]>t&gt;</p:c>
</p:a>)",
     "{urn:one}a@2 x=1 {urn:one}y=2 ws7 ({urn:two}b@3; {urn:one}c@4 z=<&A \"<raw>t>\"; )"},
    {"CrLfBecomesLf", "<a>one\r\ntwo</a>", "a@1 \"one\ntwo\""},
    {"Utf8Text", "\xEF\xBB\xBF<a t=\"\xC4\x8D\">\xE4\xB8\x8D</a>",
     "a@1 t=\xC4\x8D \"\xE4\xB8\x8D\""},
    {"Utf16WithMark", std::string("\xFF\xFE<\0a\0>\0\x0D\x4E<\0/\0a\0>\0", 18),
     "a@1 \"\xE4\xB8\x8D\""},
    {"CommentsAndInstructionsSkipped", "<!-- c --><a><?pi x?><!-- d -->b</a>", "a@1 \"b\""},
    {"MarkupInsideOtherMarkup",
     "<?pi <b>?><!-- <b> --><a x='/>' y=\"&lt;&gt;\"><b/><![CDATA[</a><b>]]><c\t/>\n<b></b ></a>",
     "a@1 x=/> y=<> \"</a><b>\n\" (b@1; c@1; b@2; )"},
};

// The bytes from `from` to `to`, the zero bytes of UTF-16 dropped (the names here are ASCII).
std::string Bytes(const std::string& bytes, std::size_t from, std::size_t to) {
    std::string out;
    for (const char c : bytes.substr(from, to - from)) {
        if (c != 0) out += c;
    }
    return out;
}

// Every element's offsets lead to its own tags, inside its parent's content.
void CheckOffsets(const std::string& bytes, const Element& element, std::size_t from,
                  std::size_t to) {
    SCOPED_TRACE(element.localName);
    EXPECT_TRUE(from <= element.begin && element.begin < element.contentBegin &&
                element.contentBegin <= element.contentEnd && element.contentEnd <= element.end &&
                element.end <= to);
    const std::string start = Bytes(bytes, element.begin, element.contentBegin);
    EXPECT_EQ(start.substr(0, 1 + element.localName.size()), "<" + element.localName);
    EXPECT_EQ(start.back(), '>');
    const std::string end = Bytes(bytes, element.contentEnd, element.end);
    if (!element.IsEmptyTag()) {
        EXPECT_EQ(end.substr(0, 2 + element.localName.size()), "</" + element.localName);
        EXPECT_EQ(end.back(), '>');
    }
    for (const Element& child : element.children)
        CheckOffsets(bytes, child, element.contentBegin, element.contentEnd);
}

class XmlTrees : public ::testing::TestWithParam<TreeCase> {};

TEST_P(XmlTrees, ReadAsTheSameTree) {
    const auto parsed = Parse(GetParam().bytes);
    ASSERT_TRUE(parsed) << Describe(parsed.failure());
    const Document& document = *parsed;
    EXPECT_EQ(Dump(document.root), GetParam().tree);
    // The prefixed names of one case are read by their local names only.
    if (document.root.namespaceUri.empty()) {
        ASSERT_TRUE(document.positioned);
        CheckOffsets(GetParam().bytes, document.root, 0, GetParam().bytes.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, XmlTrees, ::testing::ValuesIn(kTrees),
                         [](const auto& param) { return std::string(param.param.name); });

std::string Nested(int depth) {
    std::string nested;
    for (int i = 0; i < depth; ++i)
        nested += "<e>";
    for (int i = 0; i < depth; ++i)
        nested += "</e>";
    return nested;
}

bool UnderWine() {
#ifdef _WIN32
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
#else
    return false;
#endif
}

struct RefusedCase {
    const char* name;
    std::string bytes;
    int line;  // where the parser stops; 0: no line expected
    // Where the first error is the cause: words of its message, in both readers' messages.
    const char* mentions = nullptr;
    bool typeDeclaration = false;  // refused for its document type declaration
};

const RefusedCase kRefused[] = {
    {"Empty", "", 0, "the document is empty"},
    {"NotXml", "TarnwickDrives", 1},
    {"UnclosedAtEnd", "<a>\n<b>\n</b>\n", 0},
    {"MismatchedEndTag", "<a>\n<b>\n</c>\n</a>", 3},
    {"TwoRoots", "<a/>\n<b/>", 2},
    {"UndeclaredPrefix", "<a>\n<p:b/></a>", 2},
    {"DuplicateAttribute", "<a x='1' x='2'/>", 1},
    {"DuplicateAttributeThenMore", "<a x='1' x='2'><b></a>", 1, "ttribute"},
    {"UndeclaredEntity", "<a>&lol;</a>", 1},
    {"UndeclaredEntityInAValue", "<a>\n<b x='&amp;&lol;'/></a>", 2},
    {"InternalDtd", "<?xml version='1.0'?>\n<!DOCTYPE a [<!ENTITY e 'x'>]>\n<a>&e;</a>", 2, nullptr,
     true},
    {"ExternalEntity", "<!DOCTYPE a [<!ENTITY e SYSTEM 'http://127.0.0.1:9/x'>]><a>&e;</a>", 1,
     nullptr, true},
    {"BillionLaughs",
     "<!DOCTYPE a [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'>"
     "<!ENTITY c '&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;'>]><a>&c;&c;&c;&c;</a>",
     1, nullptr, true},
    {"TooDeep", Nested(kMaxDepth + 1), 1},
};

class XmlRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(XmlRefused, WithAMessageAndItsLine) {
    const auto parsed = Parse(GetParam().bytes);
    ASSERT_FALSE(parsed) << Dump(parsed->root);
    const XmlFailure& failure = parsed.failure();
    EXPECT_FALSE(failure.message.empty());
    EXPECT_EQ(failure.typeDeclaration, GetParam().typeDeclaration);
    if (GetParam().mentions) {
        EXPECT_NE(failure.message.find(GetParam().mentions), std::string::npos) << failure.message;
    }
    if (GetParam().line > 0) {
        EXPECT_EQ(failure.line, GetParam().line) << Describe(failure);
        EXPECT_EQ(Describe(failure).rfind("line " + std::to_string(GetParam().line) + ": ", 0), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, XmlRefused, ::testing::ValuesIn(kRefused),
                         [](const auto& param) { return std::string(param.param.name); });

// What the two builds read alike because both parsers are fed the same (ForParsers) and checked
// the same (NotWellFormed), and what they still read differently: `wine` names the difference of
// Wine's XmlLite, which the Windows build meets under Wine (Windows' own XmlLite reads a
// well-formed XML 1.0 document and nothing else: XmlConformanceLevel_Document, its default), and
// `wineTree` is what it gives there.
struct EncodingCase {
    const char* name;
    std::string bytes;
    const char* tree;  // nullptr: refused
    const char* wine = nullptr;
    const char* wineTree = nullptr;  // under Wine, where `wine` names a difference
};

std::string Utf16(std::string_view ascii, bool little) {
    std::string out;
    for (const char c : ascii)
        out += little ? std::string{c, '\0'} : std::string{'\0', c};
    return out;
}

const EncodingCase kEncodings[] = {
    {"Utf16BEWithMark", "\xFE\xFF" + Utf16("<a>x</a>", false), "a@1 \"x\""},
    {"Utf16LEWithoutMark", Utf16("\n <a>x</a>", true), "a@2 \"x\""},
    {"Utf16BEWithoutMark", Utf16("<?xml version='1.0' encoding='utf-16'?><a/>", false), "a@1"},
    {"Utf16DeclaredOtherwise", Utf16("<?xml version='1.0' encoding='ISO-8859-1'?><a/>", true),
     nullptr},
    {"Utf16LoneSurrogate", Utf16("<a>", true) + std::string("\x00\xD8", 2) + Utf16("</a>", true),
     nullptr},
    {"Utf16OddLength", Utf16("<a/>", true) + "\n", nullptr},
    {"CdataAfterEndTagThenWhiteSpace", "<a>\n<b></b><![CDATA[x]]>\n</a>", "a@1 \"\nx\n\" (b@2; )"},
    {"ReferenceToNul", "<a>&#x10FFFF;&#0;</a>", nullptr},
    {"OverlongUtf8", "<a>\xC0\x80</a>", nullptr},
    {"ControlCharacter", "<a>\x01</a>", nullptr},
    {"NonCharacter", "<a>\xEF\xBF\xBE</a>", nullptr},
    {"Latin1", "<?xml version='1.0' encoding='ISO-8859-1'?><a>\xE9</a>", "a@1 \"\xC3\xA9\"",
     "Wine's reader knows only UTF-8 and UTF-16"},
    {"Windows1252", "<?xml version='1.0' encoding='windows-1252'?><a>\x80</a>",
     "a@1 \"\xE2\x82\xAC\"", "Wine's reader knows only UTF-8 and UTF-16"},
    {"NoSpaceBetweenAttributes", "<a x='1'y='2'/>", nullptr, "Wine's reader lets it pass",
     "a@1 x=1 y=2"},
    {"EmptyPrefixedNamespace", "<a xmlns:p=''/>", nullptr, "Wine's reader lets it pass", "a@1"},
    {"CdataAfterTheRoot", "<a/><![CDATA[ ]]>", nullptr},
    {"WhiteSpaceBeforeTheRoot", "\r\n\t<a/>", "a@2"},
    {"WhiteSpaceBeforeTheDeclaration", " <?xml version='1.0'?><a/>", nullptr},
};

class XmlEncodings : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(XmlEncodings, ReadAlikeInBothBuilds) {
    const EncodingCase& c = GetParam();
    const auto parsed = Parse(c.bytes);
    const char* tree = c.wine != nullptr && UnderWine() ? c.wineTree : c.tree;
    ASSERT_EQ(parsed.ok(), tree != nullptr)
        << (c.wine ? c.wine : "") << ": "
        << (parsed ? Dump(parsed->root) : Describe(parsed.failure()));
    if (!parsed) return;
    EXPECT_EQ(Dump(parsed->root), tree);
    if (parsed->encoding != Encoding::Other) {
        ASSERT_TRUE(parsed->positioned);
        CheckOffsets(c.bytes, parsed->root, 0, c.bytes.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, XmlEncodings, ::testing::ValuesIn(kEncodings),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(XmlLookups, FindChildAndChildrenByLocalName) {
    const auto parsed = Parse("<r xmlns:p='urn:p'><i p:k='1' k='2'/><j/><i/></r>");
    ASSERT_TRUE(parsed) << Describe(parsed.failure());
    const Element& root = parsed->root;
    ASSERT_EQ(root.Children("i").size(), 2u);
    EXPECT_EQ(root.Child("i"), root.Children("i")[0]);
    EXPECT_EQ(root.Child("j"), &root.children[1]);
    EXPECT_EQ(root.Child("none"), nullptr);
    ASSERT_NE(root.Child("i")->Find("k"), nullptr);
    EXPECT_EQ(*root.Child("i")->Find("k"), "1");
    EXPECT_EQ(root.Find("k"), nullptr);
}

}  // namespace
}  // namespace tarnwick::xml
