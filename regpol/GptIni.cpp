#include "regpol/GptIni.h"

#include <algorithm>
#include <vector>

#include "core/Limits.h"
#include "core/Text.h"

namespace tarnwick::regpol {

namespace {

struct Line {
    std::string_view body;  // without its line end
    std::size_t start = 0;
    std::size_t end = 0;  // after its line end
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t nl = text.find('\n', at);
        const std::size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
        std::size_t bodyEnd = nl == std::string_view::npos ? text.size() : nl;
        if (bodyEnd > at && text[bodyEnd - 1] == '\r') --bodyEnd;
        lines.push_back({text.substr(at, bodyEnd - at), at, end});
        at = end;
    }
    return lines;
}

bool IsSection(std::string_view body) {
    const std::string_view t = TrimBlanks(body);
    return t.size() >= 2 && t.front() == '[' && t.back() == ']';
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

std::optional<std::uint32_t> ParseVersion(std::string_view digits) {
    if (digits.empty() || digits.size() > 10) return std::nullopt;
    std::uint64_t v = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (v > 0xFFFFFFFFu) return std::nullopt;
    return static_cast<std::uint32_t>(v);
}

// Where [General] starts and ends (lines), if it is there.
struct Section {
    std::size_t header = 0;
    std::size_t end = 0;  // the line after its last
};

std::optional<Section> General(const std::vector<Line>& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (UpperAscii(TrimBlanks(lines[i].body)) != "[GENERAL]") continue;
        std::size_t j = i + 1;
        while (j < lines.size() && !IsSection(lines[j].body))
            ++j;
        return Section{i, j};
    }
    return std::nullopt;
}

// The groups of gPCUserExtensionNames ("[{a}{b}][{c}{d}]"), with ours added, ordered by their
// first GUID as the editor keeps them; nothing when the value is not such a list.
std::optional<std::string> WithRegistryExtension(std::string_view value) {
    std::vector<std::string> groups;
    std::size_t at = 0;
    while (at < value.size()) {
        if (value[at] != '[') return std::nullopt;
        const std::size_t close = value.find(']', at);
        if (close == std::string_view::npos) return std::nullopt;
        groups.emplace_back(value.substr(at, close + 1 - at));
        at = close + 1;
    }
    const std::string ours = UpperAscii(kRegistryExtensionPair.substr(1, 38));
    for (const auto& g : groups)
        if (UpperAscii(g).substr(1, 38) == ours) return std::string(value);
    groups.emplace_back(kRegistryExtensionPair);
    std::stable_sort(groups.begin(), groups.end(), [](const std::string& a, const std::string& b) {
        return UpperAscii(a.substr(0, 39)) < UpperAscii(b.substr(0, 39));
    });
    std::string out;
    for (const auto& g : groups)
        out += g;
    return out;
}

}  // namespace

std::optional<std::uint32_t> GptVersion(std::string_view text) {
    const auto lines = SplitLines(text);
    const auto general = General(lines);
    if (!general) return std::nullopt;
    for (std::size_t i = general->header + 1; i < general->end; ++i)
        if (auto v = ValueOf(lines[i].body, "Version")) return ParseVersion(*v);
    return std::nullopt;
}

Result<GptEdit> MoveUserVersion(const std::optional<std::string>& existing,
                                bool registryExtension) {
    GptEdit edit;
    const std::string text = existing.value_or("");
    if (text.size() > kMaxInputBytes) return Failure{"is too large for a gpt.ini"};
    if (text.size() >= 2 &&
        ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF'))) {
        return Failure{"is in UTF-16; only a gpt.ini in 8-bit text is edited"};
    }
    if (text.find('\0') != std::string::npos) {
        return Failure{"holds zero bytes; it is no gpt.ini in 8-bit text"};
    }
    const auto lines = SplitLines(text);
    const std::string eol = text.empty() || text.find("\r\n") != std::string::npos ||
                                    text.find('\n') == std::string::npos
                                ? "\r\n"
                                : "\n";
    // Each line of [General] is kept unless it is replaced; what is missing goes after the
    // section's header (or a new [General] at the top).
    std::optional<std::size_t> versionLine, extensionLine;
    const auto general = General(lines);
    if (general) {
        for (std::size_t i = general->header + 1; i < general->end; ++i) {
            if (!versionLine && ValueOf(lines[i].body, "Version")) versionLine = i;
            if (!extensionLine && ValueOf(lines[i].body, "gPCUserExtensionNames")) {
                extensionLine = i;
            }
        }
    }
    if (versionLine) {
        const auto value = *ValueOf(lines[*versionLine].body, "Version");
        const auto version = ParseVersion(value);
        if (!version) {
            return Failure{"line " + std::to_string(*versionLine + 1) +
                           ": Version=" + std::string(value) + " is not a number"};
        }
        if ((*version >> 16) == 0xFFFF) {
            return Failure{"line " + std::to_string(*versionLine + 1) +
                           ": the user version is at its highest (65535) and cannot move"};
        }
        edit.oldVersion = *version;
    }
    edit.newVersion = edit.oldVersion + kUserVersionStep;
    std::string extensionValue(kRegistryExtensionPair);
    if (extensionLine) {
        const auto value = *ValueOf(lines[*extensionLine].body, "gPCUserExtensionNames");
        const auto merged = WithRegistryExtension(value);
        if (!merged) {
            return Failure{"line " + std::to_string(*extensionLine + 1) +
                           ": gPCUserExtensionNames is not a list of [{GUID}{GUID}] groups"};
        }
        extensionValue = *merged;
    }
    const std::string versionText = "Version=" + std::to_string(edit.newVersion);
    const std::string extensionText = "gPCUserExtensionNames=" + extensionValue;
    std::string added;  // lines that go right after [General]
    if (!versionLine) added += versionText + eol;
    if (registryExtension && !extensionLine) added += extensionText + eol;

    std::string& out = edit.text;
    if (!general) {
        out = "[General]" + eol + added;
        // A file that does not end its last line gets one before anything follows.
        out += text;
        return edit;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        const std::string_view lineEnd = std::string_view(text).substr(
            line.start + line.body.size(), line.end - line.start - line.body.size());
        if (versionLine && i == *versionLine) {
            out += versionText;
            out += lineEnd;
        } else if (registryExtension && extensionLine && i == *extensionLine) {
            out += extensionText;
            out += lineEnd;
        } else {
            out.append(text, line.start, line.end - line.start);
        }
        if (i == general->header && !added.empty()) {
            // The header is the last line: end it first. A lone CR there is the start of a line
            // end, not one (lines end at LF), so it becomes a whole one.
            if (lineEnd.empty() || lineEnd.back() != '\n') {
                out.resize(out.size() - lineEnd.size());
                out += eol;
            }
            out += added;
        }
    }
    return edit;
}

}  // namespace tarnwick::regpol
