// libFuzzer target over the XML reader and the reading of an existing policy-definition pair. The
// input is the ADMX, a line holding only "=====", then the ADML. Every run checks that
//   - the reader gives a tree or an error with a message, never both or neither,
//   - a pair that reads gives items with valid ids, and writing those items out again and reading
//     them back gives the same items (the pair survives one more run unchanged);
//   - a pair that reads grows by one item into a pair that still reads, with that item last, and
//     every byte it had kept: each file is the old one with at most two runs of bytes inserted.
// A broken invariant aborts with a description, so libFuzzer keeps the input as a finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "policy/PolicyText.h"
#include "xml/Xml.h"

namespace {

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "== tarnwick fuzz finding: %s\n", what);
    std::abort();
}

void CheckTree(std::string_view bytes) {
    const auto document = tarnwick::xml::Parse(bytes);
    if (!document && document.failure().message.empty()) Broken("a refusal without a cause");
    if (document && document->root.localName.empty()) Broken("a root element without a name");
}

// Whether `after` is `before` with one or two runs of bytes inserted: what the two share at the
// start and at the end leaves of `before` a middle that `after` must hold whole.
bool InsertionsOnly(std::string_view before, std::string_view after) {
    if (after.size() <= before.size()) return false;
    std::size_t head = 0;
    while (head < before.size() && before[head] == after[head])
        ++head;
    std::size_t tail = 0;
    while (tail < before.size() - head &&
           before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    const std::string_view middle = before.substr(head, before.size() - head - tail);
    return after.substr(head, after.size() - head - tail).find(middle) != std::string_view::npos;
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
    using tarnwick::DriveItem;
    const auto pair = ReadPair(admx, adml);
    if (!pair) {
        if (pair.failure().message.empty()) Broken("a refusal without a cause");
        return 0;
    }
    const Pair& read = *pair;
    for (const DriveItem& item : read.items) {
        if (!IsValidId(item.entryName)) Broken("an item with an invalid id was read");
    }
    const auto again = ReadPair(RenderAdmx(read.items), RenderAdml(read.items));
    if (!again) Broken("the pair written from the items read does not read");
    if (again->items != read.items) Broken("the items changed on the way through a written pair");

    // A name no item has: the longest one read, made longer.
    DriveItem added{"Fuzz", "Restrict <all> & \"every\" drive", 7};
    for (const DriveItem& item : read.items) {
        if (item.entryName.size() >= added.entryName.size()) added.entryName = item.entryName + "X";
    }
    while (read.language.strings.count(added.entryName) != 0)
        added.entryName += "X";
    const std::string admxGrown = GrowAdmx(admx, read, added);
    const std::string admlGrown = GrowAdml(adml, read.language, added);
    if (!InsertionsOnly(admx, admxGrown)) Broken("the grown ADMX lost or changed a byte");
    if (!InsertionsOnly(adml, admlGrown)) Broken("the grown ADML lost or changed a byte");
    const auto grown = ReadPair(admxGrown, admlGrown);
    if (!grown) Broken("a pair that read does not read once grown");
    std::vector<DriveItem> expected = read.items;
    expected.push_back(added);
    if (grown->items != expected) Broken("the grown pair does not offer the items and the new one");
    return 0;
}
