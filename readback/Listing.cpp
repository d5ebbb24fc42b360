#include "readback/Listing.h"

#include <algorithm>
#include <array>
#include <set>

#include "core/DriveSet.h"
#include "core/Text.h"

namespace tarnwick::readback {

namespace {

bool IsWordByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b >= 0x80;
}

// The drive letters a display text names: capital letters standing alone as words ("C", "C:",
// "A and B").
std::uint32_t NamedDrives(const std::string& text) {
    std::uint32_t named = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool alone = (i == 0 || !IsWordByte(text[i - 1])) &&
                           (i + 1 == text.size() || !IsWordByte(text[i + 1]));
        if (c >= 'A' && c <= 'Z' && alone) named |= 1u << (c - 'A');
    }
    return named;
}

// Tarnwick's own all-but items ("ALLBUTC", "Restrict all drives but C only") name the drives
// left free, not the restricted ones.
bool NamesFreeDrives(const DriveItem& item) {
    const std::string text = LowerAscii(item.displayText);
    for (auto at = text.find("but"); at != std::string::npos; at = text.find("but", at + 1)) {
        const bool alone = (at == 0 || !IsWordByte(text[at - 1])) &&
                           (at + 3 == text.size() || !IsWordByte(text[at + 3]));
        if (alone) return true;
    }
    return LowerAscii(item.entryName).starts_with("allbut");
}

std::string Where(const DriveItem& item) {
    return Excerpt(item.valueName) + " item " + Excerpt(item.entryName) +
           (item.line > 0 ? " (line " + std::to_string(item.line) + ")" : "");
}

std::string OrNone(const std::string& letters) {
    return letters.empty() ? "no drive" : letters;
}

// One cell: line ends and tabs as blanks, so that a row stays one line of its columns, and any
// other control character as an escape.
std::string Field(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return Visible(text);
}

// Columns are measured in characters, not bytes (texts may be localised).
std::size_t Width(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

std::vector<std::string> CheckItems(const std::vector<DriveItem>& items) {
    std::vector<std::string> warnings;
    std::set<std::pair<int, std::string>> seen;
    for (const auto& item : items) {
        const std::uint32_t named = NamedDrives(item.displayText);
        const std::uint32_t covered = item.mask & kAllDrivesMask;
        if (named != 0) {
            const bool free = NamesFreeDrives(item);
            const std::uint32_t expected = free ? kAllDrivesMask & ~covered : covered;
            if (named != expected) {
                warnings.push_back(Where(item) + ": the text \"" + Excerpt(item.displayText) +
                                   "\" names " + MaskLetters(named) +
                                   (free ? " as the drives left free" : "") + ", but the value " +
                                   std::to_string(item.mask) +
                                   (free ? " leaves " + OrNone(MaskLetters(expected)) + " free"
                                         : " covers " + OrNone(MaskLetters(covered))));
            }
        }
        if (item.mask > kAllDrivesMask) {
            warnings.push_back(Where(item) + ": the value " + std::to_string(item.mask) +
                               " has bits above Z, which name no drive");
        }
        if (!seen.emplace(item.list, LowerAscii(item.entryName)).second) {
            warnings.push_back(Where(item) + ": the name " + Excerpt(item.entryName) +
                               " is in this list twice");
        }
    }
    return warnings;
}

std::string FormatTsv(const std::vector<DriveItem>& items) {
    std::string out;
    for (const auto& item : items) {
        out += Field(item.valueName) + '\t' + Field(item.entryName) + '\t' +
               std::to_string(item.mask) + '\t' + MaskLetters(item.mask) + '\t' +
               Field(item.displayText) + '\n';
    }
    return out;
}

std::string FormatTable(const std::vector<DriveItem>& items) {
    using Row = std::array<std::string, 5>;
    std::vector<Row> rows{{"Value name", "Item", "Value", "Drives", "Text"}};
    for (const auto& item : items) {
        const std::string letters = MaskLetters(item.mask);
        rows.push_back({Field(item.valueName), Field(item.entryName), std::to_string(item.mask),
                        letters.empty() ? "-" : letters, Field(item.displayText)});
    }
    std::array<std::size_t, 5> widths{};
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], Width(row[c]));
    }
    std::string out;
    for (const auto& row : rows) {
        for (std::size_t c = 0; c + 1 < row.size(); ++c) {
            out += row[c] + std::string(widths[c] - Width(row[c]) + 2, ' ');
        }
        out += row.back() + '\n';
    }
    return out;
}

}  // namespace tarnwick::readback
