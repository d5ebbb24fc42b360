// libFuzzer target over the XML reader and the reading of an existing policy-definition pair. The
// input is the ADMX, a line holding only "=====", then the ADML. Every run checks that
//   - the reader gives a tree or an error with a message, never both or neither,
//   - a pair that reads gives items with valid ids, and writing those items out again and reading
//     them back gives the same items (the pair survives one more run unchanged).
// A broken invariant aborts with a description, so libFuzzer keeps the input as a finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "policy/PolicyText.h"
#include "xml/Xml.h"

namespace {

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "== tarnwick fuzz finding: %s\n", what);
    std::abort();
}

void CheckTree(std::string_view bytes) {
    const tarnwick::xml::Document document = tarnwick::xml::Parse(bytes);
    if (document.ok == !document.error.empty()) Broken("a document is both read and refused");
    if (document.ok && document.root.localName.empty()) Broken("a root element without a name");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    constexpr std::string_view kSplit = "\n=====\n";
    const std::size_t split = input.find(kSplit);
    const std::string_view admx = input.substr(0, split);
    const std::string_view adml =
        split == std::string_view::npos ? std::string_view() : input.substr(split + kSplit.size());
    CheckTree(admx);
    CheckTree(adml);

    using namespace tarnwick::policy;
    const ReadResult read = ReadPair(admx, adml);
    if (!read.ok) {
        if (read.cause.empty()) Broken("a refusal without a cause");
        return 0;
    }
    for (const DriveItem& item : read.items) {
        if (!IsValidId(item.entryName)) Broken("an item with an invalid id was read");
    }
    const ReadResult again = ReadPair(RenderAdmx(read.items), RenderAdml(read.items));
    if (!again.ok) Broken("the pair written from the items read does not read");
    if (again.items != read.items) Broken("the items changed on the way through a written pair");
    return 0;
}
