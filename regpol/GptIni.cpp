#include "regpol/GptIni.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "core/Limits.h"
#include "core/Text.h"

namespace tarnwick::regpol {

namespace {

constexpr std::size_t kGuidText = 38;  // {8-4-4-4-12}

using Groups = std::map<std::string, std::set<std::string>>;  // extension -> editors

// Adds each "[{ext}{editor}...]" group of `value` to `groups`; false for anything else.
bool AddGroups(std::string_view value, Groups& groups) {
    while (!value.empty()) {
        const std::size_t close = value.find(']');
        if (value.front() != '[' || close == std::string_view::npos) return false;
        std::string_view inner = value.substr(1, close - 1);
        value.remove_prefix(close + 1);
        if (inner.empty() || inner.size() % kGuidText != 0) return false;
        std::set<std::string>* editors = nullptr;
        for (; !inner.empty(); inner.remove_prefix(kGuidText)) {
            const std::string_view guid = inner.substr(0, kGuidText);
            if (!IsGuid(guid)) return false;
            if (editors) {
                editors->insert(UpperAscii(guid));
            } else {
                editors = &groups[UpperAscii(guid)];
            }
        }
    }
    return true;
}

struct Line {
    std::string_view body;  // without its line end
    std::size_t start = 0;
    std::size_t end = 0;  // after its line end
};

// Lines end at CR LF, LF or a lone CR: Notepad, the editors of old and scripts on either system
// each write one of them, and the profile readers of Windows take all three.
std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t bodyEnd = std::min(text.find_first_of("\r\n", at), text.size());
        std::size_t end = bodyEnd;
        if (end < text.size() && text[end] == '\r') ++end;
        if (end < text.size() && text[end] == '\n' && (end == bodyEnd || text[bodyEnd] == '\r')) {
            ++end;
        }
        lines.push_back({text.substr(at, bodyEnd - at), at, end});
        at = end;
    }
    return lines;
}

// The section a header line opens ("[ General ]" is General), or none for any other line.
std::optional<std::string> SectionName(std::string_view body) {
    const std::string_view t = TrimBlanks(body);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']') return std::nullopt;
    return UpperAscii(TrimBlanks(t.substr(1, t.size() - 2)));
}

// "name=value" with the name matched in any case; the value trimmed.
std::optional<std::string_view> ValueOf(std::string_view body, std::string_view name) {
    const std::size_t eq = body.find('=');
    if (eq == std::string_view::npos ||
        UpperAscii(TrimBlanks(body.substr(0, eq))) != UpperAscii(name)) {
        return std::nullopt;
    }
    return TrimBlanks(body.substr(eq + 1));
}

std::string LineText(std::size_t index) {
    return "line " + std::to_string(index + 1);
}

// A gpt.ini as its readers see it: after its UTF-8 mark, [General] once, Version in it at most
// once. Anything that readers could take two ways is refused, so that the version read is the one
// every client reads and a move never goes backwards.
struct GptText {
    bool mark = false;  // the UTF-8 byte-order mark, kept in front of the edit
    std::string_view body;
    std::vector<Line> lines;
    std::optional<std::size_t> header;  // of [General]
    std::size_t sectionEnd = 0;         // the line after [General]'s last
    std::optional<std::size_t> versionLine;
    std::optional<std::uint32_t> version;
};

Result<GptText> ReadGpt(std::string_view text) {
    if (text.size() > kMaxInputBytes) return Failure{"is too large for a gpt.ini"};
    if (text.size() >= 2 &&
        ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF'))) {
        return Failure{"is in UTF-16; only a gpt.ini in 8-bit text is edited"};
    }
    if (text.find('\0') != std::string_view::npos) {
        return Failure{"holds zero bytes; it is no gpt.ini in 8-bit text"};
    }
    GptText gpt;
    gpt.mark = text.substr(0, 3) == "\xEF\xBB\xBF";
    gpt.body = text.substr(gpt.mark ? 3 : 0);
    gpt.lines = SplitLines(gpt.body);
    for (std::size_t i = 0; i < gpt.lines.size(); ++i) {
        const auto name = SectionName(gpt.lines[i].body);
        if (!name || *name != "GENERAL") continue;
        if (gpt.header) {
            return Failure{LineText(i) + ": a second [General] (the first is on " +
                           LineText(*gpt.header) + "); which one counts is unclear"};
        }
        gpt.header = i;
    }
    if (!gpt.header) return gpt;
    std::size_t j = *gpt.header + 1;
    while (j < gpt.lines.size() && !SectionName(gpt.lines[j].body))
        ++j;
    gpt.sectionEnd = j;
    for (std::size_t i = *gpt.header + 1; i < gpt.sectionEnd; ++i) {
        const auto value = ValueOf(gpt.lines[i].body, "Version");
        if (!value) continue;
        if (gpt.versionLine) {
            return Failure{LineText(i) + ": a second Version in [General] (the first is on " +
                           LineText(*gpt.versionLine) + "); which one counts is unclear"};
        }
        gpt.versionLine = i;
        const auto version = ReadU32(*value);
        if (!version) {
            return Failure{LineText(i) + ": Version=" + std::string(*value) + " is not a number"};
        }
        gpt.version = *version;
    }
    return gpt;
}

std::string_view LineEnd(std::string_view text, const Line& line) {
    const std::size_t bodyEnd = line.start + line.body.size();
    return text.substr(bodyEnd, line.end - bodyEnd);
}

// The file's first line end, which new lines take (CR LF in a file that has none).
std::string FirstLineEnd(const GptText& gpt) {
    for (const Line& line : gpt.lines)
        if (const std::string_view end = LineEnd(gpt.body, line); !end.empty()) {
            return std::string(end);
        }
    return "\r\n";
}

std::optional<std::size_t> ExtensionLine(const GptText& gpt) {
    if (!gpt.header) return std::nullopt;
    for (std::size_t i = *gpt.header + 1; i < gpt.sectionEnd; ++i)
        if (ValueOf(gpt.lines[i].body, "gPCUserExtensionNames")) return i;
    return std::nullopt;
}

// A file without [General] gets one, with `added` in it, before its first section, so that
// lines above that stay outside every section rather than join [General]; at the end when there
// is none.
void AddGeneral(const GptText& gpt, const std::string& added, const std::string& eol,
                std::string& out) {
    const auto& lines = gpt.lines;
    std::size_t first = 0;
    while (first < lines.size() && !SectionName(lines[first].body))
        ++first;
    const std::size_t split = first < lines.size() ? lines[first].start : gpt.body.size();
    out += gpt.body.substr(0, split);
    if (first > 0 && LineEnd(gpt.body, lines[first - 1]).empty()) out += eol;
    out += "[General]" + eol + added;
    out += gpt.body.substr(split);
}

// Every line as it was but the Version line and, with `extension`, the extension line (each
// keeping its line end); `added` right after the [General] header.
void Rewrite(const GptText& gpt, const std::string& versionText,
             std::optional<std::size_t> extension, const std::string& extensionText,
             const std::string& added, const std::string& eol, std::string& out) {
    for (std::size_t i = 0; i < gpt.lines.size(); ++i) {
        const Line& line = gpt.lines[i];
        const std::string_view lineEnd = LineEnd(gpt.body, line);
        if (gpt.versionLine && i == *gpt.versionLine) {
            out += versionText;
            out += lineEnd;
        } else if (extension && i == *extension) {
            out += extensionText;
            out += lineEnd;
        } else {
            out += gpt.body.substr(line.start, line.end - line.start);
        }
        if (i == *gpt.header && !added.empty()) {
            if (lineEnd.empty()) out += eol;  // the header is the last line: end it first
            out += added;
        }
    }
}

}  // namespace

bool IsGuid(std::string_view text) {
    if (text.size() != kGuidText || text.front() != '{' || text.back() != '}') return false;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != '-' : DigitValue(text[i], 16) < 0) return false;
    }
    return true;
}

bool IsExtensionList(std::string_view value) {
    Groups groups;
    return AddGroups(value, groups);
}

Result<std::string> MergeExtensionNames(std::string_view listed,
                                        std::span<const std::string_view> required) {
    Groups groups;
    if (!AddGroups(listed, groups)) {
        return Failure{"gPCUserExtensionNames is not a list of [{GUID}{GUID}] groups"};
    }
    for (std::string_view pair : required)
        if (!AddGroups(pair, groups))
            return Failure{"not a [{GUID}{GUID}] group: " + std::string(pair)};
    std::string out;
    for (const auto& [extension, editors] : groups) {
        out += "[" + extension;
        for (const auto& editor : editors)
            out += editor;
        out += "]";
    }
    return out;
}

std::optional<std::uint32_t> GptVersion(std::string_view text) {
    const auto gpt = ReadGpt(text);
    if (!gpt) return std::nullopt;
    return gpt->version;
}

Result<GptEdit> MoveUserVersion(const std::optional<std::string>& existing,
                                bool registryExtension) {
    GptEdit edit;
    const auto read = ReadGpt(existing ? std::string_view(*existing) : std::string_view());
    if (!read) return read.failure();
    const GptText& gpt = *read;
    if (gpt.version) {
        if ((*gpt.version >> 16) == 0xFFFF) {
            return Failure{LineText(*gpt.versionLine) +
                           ": the user version is at its highest (65535) and cannot move"};
        }
        edit.oldVersion = *gpt.version;
    }
    edit.newVersion = edit.oldVersion + kUserVersionStep;
    const std::optional<std::size_t> extensionLine = ExtensionLine(gpt);
    std::string extensionValue(kRegistryPolicyPair);
    if (extensionLine) {
        const std::string_view required[] = {kRegistryPolicyPair};
        const auto merged = MergeExtensionNames(
            *ValueOf(gpt.lines[*extensionLine].body, "gPCUserExtensionNames"), required);
        if (!merged) return Failure{LineText(*extensionLine) + ": " + merged.failure().message};
        extensionValue = *merged;
    }
    const std::string eol = FirstLineEnd(gpt);
    const std::string versionText = "Version=" + std::to_string(edit.newVersion);
    const std::string extensionText = "gPCUserExtensionNames=" + extensionValue;
    std::string added;  // lines that go right after [General]
    if (!gpt.versionLine) added += versionText + eol;
    if (registryExtension && !extensionLine) added += extensionText + eol;

    if (gpt.mark) edit.text = "\xEF\xBB\xBF";
    if (!gpt.header) {
        AddGeneral(gpt, added, eol, edit.text);
    } else {
        Rewrite(gpt, versionText, registryExtension ? extensionLine : std::nullopt, extensionText,
                added, eol, edit.text);
    }
    return edit;
}

}  // namespace tarnwick::regpol
