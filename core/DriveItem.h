// One drive set as a list of a policy template offers it: the item the ADMX writer adds and the
// item the template readers of show list are the same thing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tarnwick {

struct DriveItem {
    DriveItem() = default;
    // The writer names the first three; a reader says where it found the item too.
    DriveItem(std::string name, std::string text, std::uint32_t value, std::string spelledAs = {},
              int listIndex = 0, int lineNumber = 0)
        : entryName(std::move(name)),
          displayText(std::move(text)),
          mask(value),
          valueName(std::move(spelledAs)),
          list(listIndex),
          line(lineNumber) {}

    // The string id of its display name ("CDEOnly"); in an ADM template, the string name after
    // "!!", or the name itself when it is written out.
    std::string entryName;
    std::string displayText;  // "Restrict C, D and E only", UTF-8; resolved by the readers
    std::uint32_t mask = 0;   // the registry value
    // Where a reader found it: the value name as the template spells it (NoDrives or
    // NoViewOnDrive), the drop-down list of the file that holds it (from 0), and its line.
    std::string valueName;
    int list = 0;
    int line = 0;
    friend bool operator==(const DriveItem&, const DriveItem&) = default;
};

// The id of a reference to a string of the language file: "$(string.ID)" gives "ID"; anything
// else, "$(string.)" included, nothing.
std::optional<std::string> StringIdOf(std::string_view reference);

}  // namespace tarnwick
