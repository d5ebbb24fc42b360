#include "readback/IntuneScriptReader.h"

#include <optional>
#include <string>

#include "core/DriveSet.h"
#include "core/Text.h"

namespace tarnwick::readback {

namespace {

struct Line {
    std::size_t number;
    std::string_view text;  // without blanks at either end
};

// The script's code lines, without blank lines and comments.
std::vector<Line> CodeLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t number = 0;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line = TrimBlanks(text.substr(at, end - at), " \t\r");
        ++number;
        if (!line.empty() && line.front() != '#') lines.push_back({number, line});
        at = end + 1;
    }
    return lines;
}

// The drive value a quoted name ('NoDrives') stands for, as the registry compares names: without
// regard to case.
std::optional<std::string_view> DriveValueNamed(std::string_view quoted) {
    if (quoted.size() < 2 || quoted.front() != '\'' || quoted.back() != '\'') return std::nullopt;
    const std::string_view name = quoted.substr(1, quoted.size() - 2);
    for (std::string_view value : {kNoDrivesValue, kNoViewOnDriveValue})
        if (EqualNoCase(name, value)) return value;
    return std::nullopt;
}

Failure Unexpected(const Line& line, std::string_view expected) {
    return Failure{"line " + std::to_string(line.number) + ": expected " + std::string(expected) +
                   ", found \"" + Excerpt(line.text) + "\""};
}

}  // namespace

Result<std::vector<FoundValue>> ReadIntuneScript(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    const std::vector<Line> lines = CodeLines(bytes);
    // Where it acts: the users' hive (and the profiles it loads) or the machine's; which part of
    // the pair it is: the remediation writes.
    bool users = false, machine = false, loads = false, writes = false;
    for (const Line& line : lines) {
        users |= line.text.find("RegistryHive]::Users") != std::string_view::npos;
        machine |= line.text.find("RegistryHive]::LocalMachine") != std::string_view::npos;
        loads |= line.text.find("reg.exe load ") != std::string_view::npos;
        writes |= line.text.find("SetValue(") != std::string_view::npos ||
                  line.text.find("DeleteValue(") != std::string_view::npos;
    }
    const std::string where =
        std::string(users ? (loads ? "HKEY_USERS, every profile" : "HKEY_USERS, signed-in users")
                    : machine ? "HKEY_LOCAL_MACHINE"
                              : "no hive") +
        (writes ? " (Intune remediation, line " : " (Intune detection, line ");
    std::vector<FoundValue> values;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view text = lines[i].text;
        if (text == "$wanted = [ordered]@{") {
            // 'Name' = number, one a line, up to the closing brace.
            for (++i; i < lines.size() && lines[i].text != "}"; ++i) {
                const std::string_view entry = lines[i].text;
                const std::size_t equals = entry.find('=');
                const std::string_view quoted = TrimBlanks(entry.substr(0, equals));
                const auto mask = ReadU32(TrimBlanks(entry.substr(equals + 1)));
                if (equals == std::string_view::npos || quoted.size() < 2 ||
                    quoted.front() != '\'' || quoted.back() != '\'' || !mask) {
                    return Unexpected(lines[i], "'Name' = number");
                }
                if (const auto name = DriveValueNamed(quoted)) {
                    values.push_back({std::string(*name), *mask, "set",
                                      where + std::to_string(lines[i].number) + ")", ""});
                }
            }
            if (i == lines.size()) return Unexpected(lines.back(), "} after the values");
        } else if (text.starts_with("$names = @(")) {
            if (!text.ends_with(")")) return Unexpected(lines[i], "$names = @('Name', ...)");
            std::string_view list = text.substr(11, text.size() - 12);
            while (!list.empty()) {
                const std::size_t comma = std::min(list.find(','), list.size());
                if (const auto name = DriveValueNamed(TrimBlanks(list.substr(0, comma)))) {
                    values.push_back({std::string(*name), std::nullopt,
                                      writes ? "deleted" : "absent",
                                      where + std::to_string(lines[i].number) + ")", ""});
                }
                list.remove_prefix(std::min(comma + 1, list.size()));
            }
        }
    }
    return values;
}

}  // namespace tarnwick::readback
