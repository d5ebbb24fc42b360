// Group Policy Preferences registry items for the drive values: Registry.xml under
// User\Preferences\Registry of a policy object. An item sets NoDrives or NoViewOnDrive (REG_DWORD,
// action Update, HKEY_CURRENT_USER, the Explorer policies key) for whom its item-level targeting
// lets through: security groups, organisational units and users, joined with AND, each possibly
// negated. New files are written whole; an administrator's file is edited by inserting text, every
// other byte kept.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/DriveSet.h"
#include "core/Result.h"

namespace tarnwick::prefs {

// The root element's class and the registry item's, as Group Policy Preferences name them.
inline constexpr std::string_view kSettingsClsid = "{A3CCFC41-DFDB-43a5-8D26-0FE8B954DA51}";
inline constexpr std::string_view kItemClsid = "{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}";

enum class TargetKind { Group, OrgUnit, User };

// One condition of an item's targeting. Groups and users carry a SID (the client matches by it)
// and the name the editor shows; an organisational unit is its distinguished name.
struct Target {
    TargetKind kind = TargetKind::Group;
    std::string name;
    std::string sid;  // "S-1-5-21-...", empty for an OU
    bool negated = false;
    friend bool operator==(const Target&, const Target&) = default;
};

// A SID in its text form ("S-1-5-32-544"), with "S" in upper case; none for anything else.
std::optional<std::string> NormalSid(std::string_view text);
// Why a name or distinguished name cannot go into an item, or nothing: it must be UTF-8 without
// control characters; an OU's name one that NormalOuName takes, a user's one that
// NormalAccountName takes (prefs/Names.h).
std::optional<std::string> NameProblem(const Target& target);
// The target with its name in the one form those take (as it was when they refuse it).
Target Normalised(Target target);

// Update sets the value; Delete has the client delete it (the way back from an Update item, which
// leaves its value in the user's registry when it no longer applies).
enum class ItemAction { Update, Delete };

// One item: the value it sets, the mask, for whom, and its "changed" time.
struct Item {
    std::string_view valueName;  // kNoDrivesValue or kNoViewOnDriveValue
    std::uint32_t mask = 0;
    std::vector<Target> targets;
    std::string changed;  // "YYYY-MM-DD hh:mm:ss"
    ItemAction action = ItemAction::Update;
};

// The items a drive set needs: one per value the policy sets, each target Normalised. A Delete
// item carries no mask.
std::vector<Item> ItemsFor(const DriveSet& drives, DrivePolicy policy,
                           const std::vector<Target>& targets, const std::string& changed,
                           ItemAction action = ItemAction::Update);

// The uid of an item: a GUID named by the value and the targets (in any order), so that the item
// written again for the same value and audience replaces the earlier one.
std::string ItemUid(std::string_view valueName, const std::vector<Target>& targets);

// "YYYY-MM-DD hh:mm:ss" of a time in seconds since 1970, in UTC.
std::string ChangedText(std::int64_t seconds);
// The "changed" time of items written now: SOURCE_DATE_EPOCH when it is set (so that a build or a
// test gives the same bytes everywhere), else the clock; both in UTC. A SOURCE_DATE_EPOCH that is
// no number of seconds is refused.
Result<std::string> ChangedNow();

// One <Registry> element on one line.
std::string ItemText(const Item& item);
// A new Registry.xml: UTF-8 with the declaration, CR LF, one item a line.
std::string RenderRegistryXml(const std::vector<Item>& items);

struct Edit {
    std::string bytes;
    int added = 0;
    int replaced = 0;
    // The root was an empty-element tag, whose "/>" became ">" with an end tag after the items.
    bool rootOpened = false;
};

// `bytes` (an existing Registry.xml, UTF-8 or UTF-16, with or without a byte-order mark) with the
// items in: an item whose uid is there already is replaced where it stands (a later copy of it is
// removed), the others go after the root's last child on a line of their own when that child has
// one. Only an item that applies to its own audience counts as there: one in a disabled folder or
// in a folder with targeting of its own is left as it is (a new item is added instead). Refused
// when the XML reader refuses the file, the root is no RegistrySettings, or the encoding is
// another.
Result<Edit> AddItems(std::string_view bytes, const std::vector<Item>& items);

// One condition as read: the filter's element name ("FilterGroup", ...), how it joins the one
// before ("AND"/"OR"), negated, and its name and SID; a FilterCollection (a parenthesised group in
// the editor) holds its conditions in `group`.
struct ReadFilter {
    std::string kind;
    bool orJoin = false;
    bool negated = false;
    std::string name;
    std::string sid;
    std::vector<ReadFilter> group;
};

struct ReadItem {
    std::string valueName;
    std::string hive;
    std::string key;
    std::string type;
    std::string action;  // C, R, U or D
    std::string value;
    std::optional<std::uint32_t> dword;  // a REG_DWORD's value, when it is hex digits
    std::string uid;
    bool disabled = false;
    int line = 0;
    std::vector<ReadFilter> filters;
    // The folders (Collection elements) around it: the name of the outermost disabled one (the
    // client skips everything in it), and the targeting of each folder that has some, outermost
    // first (the client applies the item only where all of them and the item's own let it).
    bool inDisabledFolder = false;
    std::string disabledFolder;
    std::vector<std::vector<ReadFilter>> folderFilters;
    // Whether it applies to the audience its own filters name, with no folder changing that.
    bool OwnAudience() const { return !inDisabledFolder && folderFilters.empty(); }
};

// Every registry item of a Registry.xml (also those in collections), in document order. Refused
// when the file is larger than kMaxInputBytes, the XML reader refuses it or its root is no
// RegistrySettings.
Result<std::vector<ReadItem>> ReadRegistryXml(std::string_view bytes);

// "for CONTOSO\Pupils and not in OU=Staff,DC=contoso,DC=com"; empty without filters.
std::string TargetsText(const std::vector<ReadFilter>& filters);
// For whom the item applies: its folders' targeting and its own, joined with AND (each list in
// parentheses when it has an OR and there are others); empty when none has any.
std::string AudienceText(const ReadItem& item);
// "update", "create", "replace" or "delete".
std::string ActionText(std::string_view action);

}  // namespace tarnwick::prefs
