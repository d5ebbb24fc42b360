// libFuzzer target over the template readers of `tarnwick-cli show`. The first byte chooses the
// reader: even for the ADM reader (the rest is the template's bytes in any encoding), odd for the
// ADMX reader (the rest is the ADMX, a form feed, then its ADML); FE and FF choose them with a size
// limit below the input's, which must be refused as such. Every run checks that
//   - the reader either lists items or refuses naming a line within the file
//     (line 0 exactly when the input is over the limit),
//   - every listed item belongs to a NoDrives or NoViewOnDrive list, and
//   - the tab-separated listing has one line of exactly five fields per item.
// A broken invariant aborts with a description, so libFuzzer keeps the input as a finding.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/Limits.h"
#include "readback/AdmReader.h"
#include "readback/AdmxReader.h"
#include "readback/Listing.h"
#include "readback/TemplateText.h"

namespace {

using namespace tarnwick::readback;

[[noreturn]] void Finding(const std::string& what) {
    std::fprintf(stderr, "== tarnwick fuzz finding: %s\n", what.c_str());
    std::abort();
}

std::size_t Lines(std::string_view bytes) {
    std::size_t lines = 1;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' ||
            (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'))) {
            ++lines;
        }
    }
    return lines;
}

tarnwick::Result<DriveLists, ReadFailure> Read(bool admx, std::string_view input,
                                               std::uint64_t limit) {
    if (!admx) {
        const auto text = DecodeTemplateText(std::string(input), limit);
        if (!text) return text.failure();
        return ReadAdmDriveLists(*text);
    }
    const std::size_t split = input.find('\f');
    auto lists = ReadAdmxDriveLists(input.substr(0, split), limit);
    if (!lists) return lists;
    const auto strings = ReadAdmlStrings(
        split == std::string_view::npos ? std::string_view() : input.substr(split + 1), limit);
    if (!strings) return strings.failure();
    ResolveTexts(*lists, *strings);
    return lists;
}

void Check(const DriveLists& lists) {
    for (const auto& item : lists.items) {
        if (!IsDriveValueName(item.valueName)) Finding("listed a list of " + item.valueName);
    }
    const std::string tsv = FormatTsv(lists.items);
    std::size_t lines = 0;
    std::size_t tabs = 0;
    for (char c : tsv) {
        if (c == '\t') ++tabs;
        if (c == '\n') {
            if (tabs != 4) Finding("a listing line without five fields");
            ++lines, tabs = 0;
        }
    }
    if (lines != lists.items.size() || (!tsv.empty() && tsv.back() != '\n')) {
        Finding("the listing's lines do not match the items");
    }
    CheckItems(lists.items);
    FormatTable(lists.items);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const bool admx = (data[0] & 1) != 0;
    const bool limited = data[0] >= 0xFE;
    const std::uint64_t limit = limited ? input.size() / 2 : tarnwick::kMaxInputBytes;
    // The file read first (the template, or the ADMX) must be refused as too large; an ADML
    // above the limit may be, once its ADMX has been read.
    const std::size_t first = admx ? std::min(input.find('\f'), input.size()) : input.size();
    const bool mustRefuse = limited && first > limit;
    const bool mayRefuse = mustRefuse || (limited && admx && input.size() - first > limit + 1);
    const auto lists = Read(admx, input, limit);
    if (lists) {
        Check(*lists);
        if (mustRefuse) Finding("an input above the size limit was read");
        return 0;
    }
    const ReadFailure& e = lists.failure();
    // Every other refusal says what was expected.
    const bool sizeRefusal = e.message.starts_with("it is ");
    if (sizeRefusal ? !mayRefuse || e.line != 0 : mustRefuse) {
        Finding("a size refusal that does not match the limit: " + e.message);
    }
    // No more lines than line-end bytes; an XML parser may not know the line (0).
    if (e.line < (admx || sizeRefusal ? 0 : 1) || static_cast<std::size_t>(e.line) > Lines(input)) {
        Finding("a refusal on line " + std::to_string(e.line) + " of a file of " +
                std::to_string(Lines(input)) + " lines");
    }
    return 0;
}
