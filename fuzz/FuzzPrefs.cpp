// libFuzzer target over the Registry.xml reader and the insertion of preference items. The first
// byte chooses the items (which values, which targets, negated or not, set or deleted); the rest is
// the file. Every run checks that
//   - the editor takes no file the reader refuses,
//   - items in disabled or targeted folders stay, ours have the action asked for, and a normal
//     OU name stays as it is,
//   - an edit that only adds leaves every byte of the file in place around one inserted span
//     (but the "/>" of an empty-element root),
//   - the edited file reads back with each item once, and editing it again changes nothing.
// A broken invariant aborts with a description, so libFuzzer keeps the input as a finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/Text.h"
#include "prefs/Names.h"
#include "prefs/RegistryXml.h"

namespace {

using namespace tarnwick;

[[noreturn]] void Finding(const std::string& what) {
    std::fprintf(stderr, "== tarnwick fuzz finding: %s\n", what.c_str());
    std::abort();
}

std::vector<prefs::Item> ItemsOf(std::uint8_t selector) {
    std::vector<prefs::Target> targets;
    if (selector & 0x04) {
        targets.push_back({prefs::TargetKind::Group, "CONTOSO\\Pupils & <Staff>",
                           "S-1-5-21-1004336348-1177238915-682003330-1105",
                           (selector & 0x20) != 0});
    }
    if (selector & 0x08) {
        targets.push_back(
            {prefs::TargetKind::OrgUnit, "OU=Staff,DC=contoso,DC=com", "", (selector & 0x40) != 0});
    }
    if (selector & 0x10) {
        targets.push_back({prefs::TargetKind::User, "CONTOSO\\kiosk\xC3\xA9", "S-1-5-21-7-8-9-1001",
                           (selector & 0x80) != 0});
    }
    const auto policy = static_cast<DrivePolicy>(selector % 3);
    const auto action = (selector & 3) == 3 ? prefs::ItemAction::Delete : prefs::ItemAction::Update;
    return prefs::ItemsFor(DriveSet(selector * 0x10101u, DriveMode::Following), policy, targets,
                           "2026-01-02 03:04:05", action);
}

// The items whose folders change whom they reach, which an edit leaves alone.
std::string InFolders(const std::vector<prefs::ReadItem>& read) {
    std::string kept;
    for (const prefs::ReadItem& item : read)
        if (!item.OwnAudience()) kept += item.uid + item.action + prefs::AudienceText(item) + "\n";
    return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t selector = data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto read = prefs::ReadRegistryXml(bytes);
    const std::vector<prefs::Item> items = ItemsOf(selector);
    const auto edit = prefs::AddItems(bytes, items);
    if (!read) {
        if (edit) Finding("the editor takes a file the reader refuses");
        return 0;
    }
    for (const auto& item : *read)
        for (const auto& filter : item.filters)
            if (const auto normal = prefs::NormalOuName(filter.name); normal)
                if (!prefs::NormalOuName(*normal) || *prefs::NormalOuName(*normal) != *normal)
                    Finding("a normal OU name changes again");
    if (!edit) return 0;  // another encoding, or an item nested in a copy of itself
    if (edit->added + edit->replaced != static_cast<int>(items.size())) {
        Finding("not every item was added or replaced");
    }
    const std::string& out = edit->bytes;
    if (edit->replaced == 0) {
        if (out.size() <= bytes.size()) Finding("an insertion that adds nothing");
        std::size_t prefix = 0;
        while (prefix < bytes.size() && out[prefix] == bytes[prefix])
            ++prefix;
        std::size_t suffix = 0;
        while (suffix < bytes.size() - prefix &&
               out[out.size() - 1 - suffix] == bytes[bytes.size() - 1 - suffix])
            ++suffix;
        // Only an empty-element root loses bytes: its "/>" (two units).
        const std::size_t kept = prefix + suffix + (edit->rootOpened ? 4 : 0);
        if (kept < bytes.size()) Finding("an insertion changed other bytes");
    }
    const auto again = prefs::ReadRegistryXml(out);
    if (!again) Finding("the edited file does not read: " + again.failure().message);
    if (InFolders(*again) != InFolders(*read)) Finding("an item in a folder changed");
    const std::string uid = prefs::ItemUid(items[0].valueName, items[0].targets);
    const char* action = items[0].action == prefs::ItemAction::Delete ? "D" : "U";
    for (const prefs::ReadItem& item : *again)
        if (item.OwnAudience() && UpperAscii(item.uid) == uid && item.action != action)
            Finding("an item of ours has another action than asked");
    const auto twice = prefs::AddItems(out, items);
    if (!twice) Finding("the edited file cannot be edited again: " + twice.failure().message);
    if (twice->added != 0 || twice->bytes != out) Finding("editing again changed the file");
    return 0;
}
