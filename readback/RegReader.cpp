#include "readback/RegReader.h"

#include <optional>
#include <string>
#include <utility>

#include "core/DriveSet.h"
#include "core/Limits.h"
#include "core/Text.h"

namespace tarnwick::readback {

namespace {

// UTF-16LE after its mark as 8-bit text: only ASCII matters here, anything else becomes '?'.
std::string Decode(std::string_view bytes) {
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        std::string text;
        text.reserve(bytes.size() / 2);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const bool ascii = bytes[i + 1] == '\0' && static_cast<unsigned char>(bytes[i]) < 0x80;
            text += ascii ? bytes[i] : '?';
        }
        return text;
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return std::string(bytes);
}

// A section's key split into its hive (HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE; empty for any
// other) and the path below it, blanks and outer backslashes trimmed.
std::pair<std::string, std::string> SplitKey(std::string_view section) {
    section = TrimBlanks(section);
    while (!section.empty() && section.back() == '\\')
        section.remove_suffix(1);
    for (std::string_view hive : {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"}) {
        if (!EqualNoCase(section.substr(0, hive.size()), hive)) continue;
        std::string_view rest = section.substr(hive.size());
        if (!rest.empty() && rest.front() != '\\') continue;
        while (!rest.empty() && rest.front() == '\\')
            rest.remove_prefix(1);
        return {std::string(hive), std::string(rest)};
    }
    return {};
}

// Whether deleting the key `path` (with all below it, as "[-KEY]" does) takes the Explorer
// policies key with it: that key itself or one of its parents, never the hive's root.
bool TakesExplorerKey(std::string_view path) {
    const std::string_view explorer = kExplorerPoliciesKey;
    return !path.empty() && path.size() <= explorer.size() &&
           EqualNoCase(explorer.substr(0, path.size()), path) &&
           (path.size() == explorer.size() || explorer[path.size()] == '\\');
}

std::optional<std::uint32_t> Dword(std::string_view value) {
    if (UpperAscii(value.substr(0, 6)) != "DWORD:") return std::nullopt;
    value.remove_prefix(6);
    if (value.empty() || value.size() > 8) return std::nullopt;
    std::uint32_t v = 0;
    for (char c : value) {
        const int digit = DigitValue(c, 16);
        if (digit < 0) return std::nullopt;
        v = v << 4 | static_cast<std::uint32_t>(digit);
    }
    return v;
}

// A hex value ("hex:" for REG_BINARY, "hex(N):" for type N in hex digits) as its type and bytes,
// or none when it is not one. The bytes are two hex digits each, separated by commas; blanks
// around them come from the joined continuation lines.
struct HexValue {
    std::uint32_t type = 0;
    std::string bytes;
};

std::optional<HexValue> Hex(std::string_view value) {
    if (UpperAscii(value.substr(0, 3)) != "HEX") return std::nullopt;
    value.remove_prefix(3);
    HexValue hex{3, {}};
    if (!value.empty() && value.front() == '(') {
        const std::size_t close = value.find(')');
        if (close == std::string_view::npos || close < 2 || close > 9) return std::nullopt;
        hex.type = 0;
        for (char c : value.substr(1, close - 1)) {
            const int digit = DigitValue(c, 16);
            if (digit < 0) return std::nullopt;
            hex.type = hex.type << 4 | static_cast<std::uint32_t>(digit);
        }
        value.remove_prefix(close + 1);
    }
    if (value.empty() || value.front() != ':') return std::nullopt;
    value.remove_prefix(1);
    if (TrimBlanks(value).empty()) return hex;
    for (std::size_t at = 0; at <= value.size();) {
        const std::size_t comma = std::min(value.find(',', at), value.size());
        const std::string_view one = TrimBlanks(value.substr(at, comma - at));
        if (one.size() != 2 || DigitValue(one[0], 16) < 0 || DigitValue(one[1], 16) < 0) {
            return std::nullopt;
        }
        hex.bytes += static_cast<char>(DigitValue(one[0], 16) << 4 | DigitValue(one[1], 16));
        at = comma + 1;
    }
    return hex;
}

// One logical line from `at` on: physical lines joined where one ends in a backslash. `at` moves
// past it, and `lineNo` counts the physical lines read.
std::string NextLine(const std::string& text, std::size_t& at, std::size_t& lineNo) {
    std::string line;
    while (at < text.size()) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos) end = text.size();
        line += text.substr(at, end - at);
        at = end;
        if (at < text.size() && text[at] == '\r') ++at;
        if (at < text.size() && text[at] == '\n') ++at;
        ++lineNo;
        if (line.empty() || line.back() != '\\') break;
        line.pop_back();
    }
    return line;
}

// A value line ("name"=data) split into its name, which runs to the next quote that no backslash
// escapes, and the text after that quote; none when the name has no closing quote.
std::optional<std::pair<std::string, std::string_view>> SplitValueLine(std::string_view body) {
    std::string name;
    std::size_t i = 1;
    for (; i < body.size() && body[i] != '"'; ++i) {
        if (body[i] == '\\' && i + 1 < body.size()) ++i;
        name += body[i];
    }
    if (i >= body.size()) return std::nullopt;
    return std::pair{std::move(name), body.substr(i + 1)};
}

// The data of a drive value as `show` lists it: deleted, set to a mask, or why it is no mask.
void ReadData(std::string_view data, FoundValue& value) {
    if (data == "-") {
        value.state = "deleted";
    } else if (const auto mask = Dword(data)) {
        value.state = "set";
        value.mask = mask;
    } else if (const auto hex = Hex(data); hex && hex->bytes.size() == 4 &&
                                           (hex->type == kRegDword || hex->type == kRegBinary)) {
        value.state = "set";
        value.mask = Le32Of(hex->bytes);
        if (hex->type == kRegBinary) value.note = std::string(kBinaryNote);
    } else {
        const std::size_t colon = data.find(':');
        value.state = !data.empty() && data.front() == '"'
                          ? "a string, not a dword"
                          : "not a dword (" + std::string(data.substr(0, colon)) + ")";
    }
}

}  // namespace

Result<std::vector<FoundValue>> ReadRegFile(std::string_view bytes) {
    if (bytes.size() > kMaxInputBytes) {
        return Failure{"is " + LargerThanLimit()};
    }
    const std::string text = Decode(bytes);
    // Each value of each hive as the file leaves it: regedit applies the lines in order, so a
    // later line or key deletion takes the place of what came before; listed in the order each
    // was first met.
    std::vector<FoundValue> found;
    std::vector<std::string> hives;  // of each value found
    auto apply = [&](const std::string& inHive, FoundValue value) {
        for (std::size_t i = 0; i < found.size(); ++i) {
            if (found[i].valueName == value.valueName && hives[i] == inHive) {
                found[i] = std::move(value);
                return;
            }
        }
        found.push_back(std::move(value));
        hives.push_back(inHive);
    };
    std::string hive;  // of the current section, when it is the Explorer key
    bool header = false;
    std::size_t at = 0, lineNo = 0;
    while (at < text.size()) {
        const std::size_t firstLine = lineNo + 1;
        const std::string line = NextLine(text, at, lineNo);
        const std::string_view body = TrimBlanks(line);
        if (body.empty() || body.front() == ';') continue;
        const auto refused = [&](const std::string& why) {
            return Failure{"line " + std::to_string(firstLine) + ": " + why};
        };
        if (!header) {
            if (body != "Windows Registry Editor Version 5.00" && body != "REGEDIT4") {
                return refused(
                    "no \"Windows Registry Editor Version 5.00\" or \"REGEDIT4\" first; this is "
                    "no .reg file");
            }
            header = true;
            continue;
        }
        if (body.front() == '[') {
            if (body.back() != ']') return refused("a key without \"]\"");
            std::string_view section = body.substr(1, body.size() - 2);
            const bool deletes = !section.empty() && section.front() == '-';
            if (deletes) section.remove_prefix(1);
            const auto [sectionHive, path] = SplitKey(section);
            hive =
                !deletes && EqualNoCase(path, kExplorerPoliciesKey) ? sectionHive : std::string();
            // "[-KEY]" deletes the key with all below it; none of its lines follow.
            if (deletes && !sectionHive.empty() && TakesExplorerKey(path)) {
                for (std::string_view name : {kNoDrivesValue, kNoViewOnDriveValue}) {
                    apply(sectionHive,
                          {std::string(name), std::nullopt, "deleted",
                           sectionHive + " (line " + std::to_string(firstLine) + ", key deleted)",
                           ""});
                }
            }
            continue;
        }
        if (body.front() != '"') continue;  // the default value ("@=") or what regedit skips
        const auto split = SplitValueLine(body);
        if (!split) return refused("a value name without its closing quote");
        const auto& [name, afterName] = *split;
        const std::string_view rest = TrimBlanks(afterName);
        if (hive.empty() || rest.empty() || rest.front() != '=') continue;
        FoundValue value;
        if (UpperAscii(name) == UpperAscii(kNoDrivesValue)) {
            value.valueName = kNoDrivesValue;
        } else if (UpperAscii(name) == UpperAscii(kNoViewOnDriveValue)) {
            value.valueName = kNoViewOnDriveValue;
        } else {
            continue;
        }
        value.where = hive + " (line " + std::to_string(firstLine) + ")";
        ReadData(TrimBlanks(rest.substr(1)), value);
        apply(hive, std::move(value));
    }
    if (!header) return Failure{"line 1: the file is empty; this is no .reg file"};
    return found;
}

}  // namespace tarnwick::readback
