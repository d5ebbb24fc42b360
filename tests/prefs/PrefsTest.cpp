// Preference items (Registry.xml): written and read back, SIDs, uids, administrators' files that
// only gain the items, the policy object's two files written all or nothing, and show's listing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "cli/Run.h"
#include "core/Text.h"
#include "prefs/GppFiles.h"
#include "prefs/NameGuid.h"
#include "prefs/RegistryXml.h"
#include "tests/support/FaultyPlatform.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::prefs {
namespace {

const Target kPupils{TargetKind::Group, "CONTOSO\\Pupils", "S-1-5-21-1-2-3-1105", false};
const Target kStaffOu{TargetKind::OrgUnit, "OU=Staff,DC=contoso,DC=com", "", true};
const Target kKiosk{TargetKind::User, "CONTOSO\\Kiosk \"A\" & <B>", "S-1-5-21-1-2-3-1001", false};
constexpr const char* kChanged = "2026-01-02 03:04:05";

Item DrivesItem(std::uint32_t mask, std::vector<Target> targets) {
    return {kNoDrivesValue, mask, std::move(targets), kChanged};
}

// What is written reads back as written: value, targets, and every fixed attribute.
TEST(WrittenItems, ReadBackAsWritten) {
    const std::vector<std::vector<Target>> cases = {
        {}, {kPupils}, {kStaffOu}, {kKiosk}, {kPupils, kStaffOu, kKiosk}};
    for (const auto& targets : cases) {
        const Item item = DrivesItem(0x3FFFFFF, targets);
        const auto read = ReadRegistryXml(RenderRegistryXml({item}));
        ASSERT_TRUE(read) << read.failure().message;
        ASSERT_EQ(read->size(), 1u);
        const ReadItem& got = read->front();
        // Every attribute is checked by independent_check.py; here what show relies on.
        EXPECT_EQ(got.valueName + got.action + got.key,
                  "NoDrivesU" + std::string(kExplorerPoliciesKey));
        EXPECT_EQ(got.dword, 0x3FFFFFFu);
        EXPECT_EQ(got.uid, ItemUid(kNoDrivesValue, targets));
        ASSERT_EQ(got.filters.size(), targets.size());
        for (std::size_t i = 0; i < targets.size(); ++i) {
            const ReadFilter& f = got.filters[i];
            EXPECT_EQ(Target({targets[i].kind, f.name, f.sid, f.negated}), targets[i]);
            EXPECT_FALSE(f.orJoin);
        }
    }
}

TEST(Sids, OnlyTheTextFormIsTaken) {
    const struct {
        const char* text;
        const char* normal;  // nullptr: refused
    } cases[] = {
        {"S-1-5-32-544", "S-1-5-32-544"},
        {"s-1-5-21-1004336348-1177238915-682003330-1105",
         "S-1-5-21-1004336348-1177238915-682003330-1105"},
        {"S-1-5-032-0544", "S-1-5-32-544"},
        {"S-1-5", nullptr},
        {"S-2-5-32", nullptr},
        {"S-1-5-21-2147483648-4294967295-1105", "S-1-5-21-2147483648-4294967295-1105"},
        {"S-1-5-4294967296", nullptr},
        {"S-1-281474976710655-1", "S-1-281474976710655-1"},
        {"S-1-281474976710656-1", nullptr},
        {"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15", "S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15"},
        {"CONTOSO\\Pupils", nullptr},
        {"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16", nullptr},
    };
    for (const auto& c : cases) {
        const auto sid = NormalSid(c.text);
        EXPECT_EQ(sid.value_or(""), c.normal ? c.normal : "") << c.text;
    }
}

// OU and user names as typed: the one form the items carry and their uids are made of ("= form;"),
// or the reason they are refused.
TEST(TargetNames, TakeOneFormOrAreRefusedWithTheReason) {
    const struct {
        TargetKind kind;
        const char *typed, *expected;
    } cases[] = {
        {TargetKind::OrgUnit, " ou = Staff ,dc=contoso, DC = com ",
         "= OU=Staff,DC=contoso,DC=com;"},
        {TargetKind::OrgUnit, R"(OU=a\,b\2Bc\ ,OU=\#1,DC=x)", R"(= OU=a\,b\+c\ ,OU=\#1,DC=x;)"},
        {TargetKind::OrgUnit, "OU=", "OU= with no name"},
        {TargetKind::OrgUnit, "OU=x,DC=c,", "ends with a separator"},
        {TargetKind::OrgUnit, "OU=x;DC=c", "';'"},
        {TargetKind::OrgUnit, "OU=a+CN=b,DC=c", "several values"},
        {TargetKind::OrgUnit, "CN=Users,DC=c", "OU targeting takes OUs only"},
        {TargetKind::OrgUnit, "OU=x", "names no domain"},
        {TargetKind::OrgUnit, "OU Sales,DC=c", "no attribute type and '='"},
        {TargetKind::OrgUnit, "OU=x,CN=y,DC=c", "has CN= where"},
        {TargetKind::OrgUnit, R"(OU=\00,DC=c)", "control characters"},
        {TargetKind::User, R"( CONTOSO \ kiosk )", R"(= CONTOSO\kiosk;)"},
        {TargetKind::User, "kiosk@contoso.com", "sign-in name"},
        {TargetKind::User, R"(CONTOSO\)", "no account part"},
        {TargetKind::User, R"(contoso.example.com\kiosk)", "15 characters"},
        {TargetKind::User, R"(CONTOSO\a,b)", "refuses in an account name"},
    };
    for (const auto& c : cases) {
        const Target typed{c.kind, c.typed, "S-1-5-21-1-2-3-1001", false};
        const auto problem = NameProblem(typed);
        const std::string got = problem ? *problem : "= " + Normalised(typed).name + ";";
        EXPECT_NE(got.find(c.expected), std::string::npos) << got;
    }
    const Target typed{TargetKind::OrgUnit, " ou = Staff ,dc=contoso, DC = com ", "", true};
    EXPECT_EQ(ItemUid(kNoDrivesValue, {typed}), ItemUid(kNoDrivesValue, {kStaffOu}));
}

TEST(Uids, NameTheValueAndAudienceInAnyOrder) {
    // The namespace and the SHA-1 against Python's uuid.uuid5 (tests/prefs/independent_check.py).
    EXPECT_EQ(ItemUid(kNoDrivesValue, {}), "{67479EE7-5866-5E91-89CE-F8D12CF9CAEA}");
    const Target lowerSid{TargetKind::Group, "renamed", "s-1-5-21-1-2-3-1105", false};
    const Target negated{TargetKind::Group, kPupils.name, kPupils.sid, true};
    EXPECT_EQ(ItemUid(kNoDrivesValue, {kPupils, kStaffOu}),
              ItemUid(kNoDrivesValue, {kStaffOu, lowerSid}));
    EXPECT_NE(ItemUid(kNoDrivesValue, {kPupils}), ItemUid(kNoDrivesValue, {negated}));
    EXPECT_NE(ItemUid(kNoDrivesValue, {kPupils}), ItemUid(kNoViewOnDriveValue, {kPupils}));
}

TEST(ChangedTimes, AreUtcCalendarTimes) {
    EXPECT_EQ(ChangedText(0), "1970-01-01 00:00:00");
    EXPECT_EQ(ChangedText(951825599), "2000-02-29 11:59:59");
    EXPECT_EQ(ChangedText(253402300799), "9999-12-31 23:59:59");
    // A fixed time, up to the editor's last second.
    for (const auto& [epoch, changed] :
         {std::pair{"253402300799", "9999-12-31 23:59:59"}, {"253402300800", ""}, {"1e9", ""}}) {
#ifdef _WIN32
        _putenv_s("SOURCE_DATE_EPOCH", epoch);
#else
        setenv("SOURCE_DATE_EPOCH", epoch, 1);
#endif
        const Result<std::string> now = ChangedNow();
        EXPECT_EQ(now ? *now : "", changed) << epoch;
    }
#ifdef _WIN32
    _putenv_s("SOURCE_DATE_EPOCH", "");
#else
    unsetenv("SOURCE_DATE_EPOCH");
#endif
}

std::string Replaced(std::string text, const std::string& what, const std::string& with) {
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// Administrators' files gain the item and nothing else: "@" in `before` marks nothing, in
// `after` the item's text; "#" is an item of our own uid written earlier (replaced, or removed as
// a repeat with its line).
TEST(AdministratorsFiles, OnlyGainTheItem) {
    const Item item = DrivesItem(12, {kPupils});
    const std::string mine = ItemText(item);
    const std::string old = Replaced(mine, "0000000C", "00000004");
    const std::string uid = ItemUid(kNoDrivesValue, {kPupils});
    const std::string lowerUid = Replaced(old, uid, LowerAscii(uid));
    const std::string decl = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
    const std::string foreign =
        "<Registry clsid=\"{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}\" name=\"X\" uid=\"{1}\">"
        "<Properties action=\"C\" hive=\"HKEY_CURRENT_USER\" key=\"K\" name=\"X\" type=\"REG_SZ\" "
        "value=\"v\"/></Registry>";
    const struct {
        const char* name;
        std::string before, after;
    } cases[] = {
        {"editor's one line",
         decl + "<RegistrySettings clsid=\"c\">" + foreign + "</RegistrySettings>",
         decl + "<RegistrySettings clsid=\"c\">" + foreign + "@</RegistrySettings>"},
        {"indented, LF, comment and collection",
         "<RegistrySettings>\n\t<!-- ours -->\n\t<Collection name=\"a\">" + foreign +
             "</Collection>\n\t" + foreign + "\n</RegistrySettings>\n",
         "<RegistrySettings>\n\t<!-- ours -->\n\t<Collection name=\"a\">" + foreign +
             "</Collection>\n\t" + foreign + "\n\t@\n</RegistrySettings>\n"},
        {"no items yet", decl + "<RegistrySettings clsid=\"c\">\r\n</RegistrySettings>",
         decl + "<RegistrySettings clsid=\"c\">\r\n  @\r\n</RegistrySettings>"},
        {"empty-element root", decl + "<RegistrySettings clsid=\"c\" />",
         decl + "<RegistrySettings clsid=\"c\" >@</RegistrySettings>"},
        {"ours earlier, in a collection and with its uid in lower case",
         "<RegistrySettings><Collection name=\"a\">#</Collection>" + lowerUid +
             "</RegistrySettings>",
         "<RegistrySettings><Collection name=\"a\">@</Collection></RegistrySettings>"},
        {"ours earlier, twice",
         decl + "<RegistrySettings>\r\n  #\r\n  " + foreign + "\r\n  #\r\n</RegistrySettings>",
         decl + "<RegistrySettings>\r\n  @\r\n  " + foreign + "\r\n</RegistrySettings>"},
    };
    for (const auto& c : cases) {
        for (const bool utf16 : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (utf16 ? ", UTF-16" : ""));
            auto encode = [&](const std::string& text, const std::string& at) {
                const std::string bytes = Replaced(Replaced(text, "@", at), "#", old);
                return utf16 ? "\xFF\xFE" + test::Utf16(Replaced(bytes, "utf-8", "utf-16")) : bytes;
            };
            const auto edit = AddItems(encode(c.before, ""), {item});
            ASSERT_TRUE(edit) << edit.failure().message;
            EXPECT_EQ(edit->bytes, encode(c.after, mine));
        }
    }
}

TEST(AdministratorsFiles, RefusedAsTheReaderRefusesThem) {
    const struct {
        const char* bytes;
        const char* cause;
    } cases[] = {
        {"<RegistrySettings><Registry></RegistrySettings>", "not well-formed"},
        {"<!DOCTYPE r [<!ENTITY e \"x\">]><RegistrySettings/>", "not well-formed"},
        {"<Drives clsid=\"{8FDDCC1A-0C3C-43cd-A6B4-71A6DF20DA8C}\"/>", "root element is Drives"},
        {"<RegistrySettings xmlns=\"urn:x\"/>", "root element is RegistrySettings"},
        // libxml2 reads it and the edit refuses the encoding; Wine's XmlLite refuses to read it.
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><RegistrySettings/>", ""},
    };
    for (const auto& c : cases) {
        const auto edit = AddItems(c.bytes, {DrivesItem(4, {})});
        ASSERT_FALSE(edit) << c.bytes;
        EXPECT_NE(edit.failure().message.find(c.cause), std::string::npos)
            << edit.failure().message;
    }
}

// An item of ours inside folders: show lists it as the client applies it, and gpp replaces it only
// where it reaches the audience its uid names (else it adds its own after every byte kept).
TEST(Folders, TurnItemsOffAndJoinTheirTargeting) {
    const std::string users =
        "<Filters><FilterUser bool=\"AND\" not=\"0\" name=\"A\\u\" sid=\"S-1-5-21-9\"/>"
        "<FilterCollection bool=\"OR\" not=\"1\"><FilterUser name=\"B\\v\" sid=\"S-1-5-21-8\"/>"
        "</FilterCollection></Filters>";
    const struct {
        std::string folders;  // "#" is our item
        bool replaced;
        std::string shown;  // show's row after "NoDrives\t"
    } cases[] = {
        {"<Collection name=\"f\">#</Collection>", true,
         "4\tC\tHKEY_CURRENT_USER, line 1, update, for CONTOSO\\Pupils"},
        {"<Collection name=\"f\" disabled=\"1\"><Collection>#</Collection></Collection>", false,
         "disabled\t-\tHKEY_CURRENT_USER, line 1, update (in the disabled folder \"f\"), for "
         "CONTOSO\\Pupils"},
        {"<Collection name=\"f\">" + users + "<Collection>#</Collection></Collection>", false,
         "4\tC\tHKEY_CURRENT_USER, line 1, update, (user A\\u or not (user B\\v)) and for "
         "CONTOSO\\Pupils"},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folders);
        const std::string bytes = "<RegistrySettings>" +
                                  Replaced(c.folders, "#", ItemText(DrivesItem(4, {kPupils}))) +
                                  "</RegistrySettings>";
        test::WriteAll(dir.File("Registry.xml"), bytes);
        const cli::CliResult shown = cli::RunCli({"show", "--tsv", dir.File("Registry.xml")}, "");
        EXPECT_EQ(shown.out, "NoDrives\t" + c.shown + "\n") << shown.err;
        const auto edit = AddItems(bytes, {DrivesItem(12, {kPupils})});
        ASSERT_TRUE(edit) << edit.failure().message;
        EXPECT_EQ(edit->replaced, c.replaced ? 1 : 0);
        EXPECT_EQ(edit->bytes.starts_with(bytes.substr(0, bytes.rfind("</"))), !c.replaced);
    }
}

class PolicyObject : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(
            test::FsPath(dir_.File("gpo/User/Preferences/Registry")));
        Reset();
    }
    void Reset() {
        test::WriteAll(Xml(), kXmlBefore);
        test::WriteAll(Gpt(), "[General]\r\nVersion=65537\r\n");
    }
    std::string Xml() const { return dir_.File("gpo/User/Preferences/Registry/Registry.xml"); }
    std::string Gpt() const { return dir_.File("gpo/gpt.ini"); }
    Result<GppOutcome> Write(ItemAction action = ItemAction::Update) {
        GppRequest request;
        request.drives = DriveSet(0b1100, DriveMode::Following);
        request.policy = DrivePolicy::Both;
        request.targets = {kPupils};
        request.changed = kChanged;
        request.action = action;
        return WriteGpp(dir_.File("gpo"), request);
    }
    // Every entry of the folders, so that a temporary or a lock file left behind shows.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(test::FsPath(dir_.Path())))
            names.push_back(test::Utf8(entry.path()));
        std::sort(names.begin(), names.end());
        return names;
    }
    static constexpr const char* kXmlBefore = "<RegistrySettings>\n</RegistrySettings>\n";
    test::TempDir dir_;
};

TEST_F(PolicyObject, EveryFailedCallLeavesBothFilesOrChangesBoth) {
    const auto entries = Entries();
    const std::string gptBefore = test::ReadAll(Gpt());
    test::FaultyPlatform clean;
    const auto done = (fileio::ScopedPlatform(clean), Write());
    ASSERT_TRUE(done) << done.failure().message;
    EXPECT_EQ(done->newVersion, 131073u);
    const std::string xmlAfter = test::ReadAll(Xml()), gptAfter = test::ReadAll(Gpt());
    for (std::size_t k = 1; k <= clean.Total(); ++k) {
        SCOPED_TRACE("failing call " + std::to_string(k));
        Reset();
        test::FaultyPlatform faulty;
        faulty.FailAt(k);
        const auto result = (fileio::ScopedPlatform(faulty), Write());
        EXPECT_EQ(faulty.OpenHandles(), 0);
        const bool changed = test::ReadAll(Xml()) != kXmlBefore;
        EXPECT_EQ(test::ReadAll(Xml()), changed ? xmlAfter : kXmlBefore);
        EXPECT_EQ(test::ReadAll(Gpt()), changed ? gptAfter : gptBefore);
        EXPECT_TRUE(result || !changed);
        auto now = Entries();
        // A lock file whose removal failed is harmless: the lock ended with its handle; so is the
        // replaced file's second name, which a later run clears as a leftover (fileio/Leftovers).
        std::erase_if(now, [](const std::string& name) {
            return name.ends_with("gpt.ini.lock") || name.ends_with(".trnw-tmp-old");
        });
        EXPECT_EQ(now, entries);
    }
}

// Written, then taken back (the same items rewritten where they stand with action Delete, every
// other byte kept): show lists each item with its targets.
TEST_F(PolicyObject, ShowListsEachItemWithItsTargets) {
    const std::string file =
        JoinPath(JoinPath(JoinPath("User", "Preferences"), "Registry"), "Registry.xml");
    std::string xmlSet;
    for (const auto& [action, shownAs, what] :
         {std::tuple{ItemAction::Update, "12\tCD\t", ", update"},
          std::tuple{ItemAction::Delete, "deleted\t-\t", ", delete"}}) {
        const auto written = Write(action);
        ASSERT_TRUE(written) << written.failure().message;
        EXPECT_EQ(written->replaced, action == ItemAction::Delete ? 2 : 0);
        const cli::CliResult shown = cli::RunCli({"show", "--tsv", dir_.File("gpo")}, "");
        const std::string where = std::string(shownAs) + "HKEY_CURRENT_USER, " + file + ", line ";
        EXPECT_EQ(shown.out, "NoDrives\t" + where + "2" + what +
                                 ", for CONTOSO\\Pupils\nNoViewOnDrive\t" + where + "3" + what +
                                 ", for CONTOSO\\Pupils\n");
        if (xmlSet.empty()) xmlSet = test::ReadAll(Xml());
    }
    const std::string deletions = Replaced(
        Replaced(Replaced(xmlSet, "image=\"12\"", "image=\"13\""), "action=\"U\"", "action=\"D\""),
        "0000000C", "00000000");
    EXPECT_EQ(test::ReadAll(Xml()), deletions);
}

// A folder of preferences alone (no gpt.ini), then one whose Registry.pol is listed first.
TEST_F(PolicyObject, ShowListsPreferencesAloneOrAfterRegistryPol) {
    ASSERT_TRUE(Write());
    const std::string file =
        JoinPath(JoinPath(JoinPath("User", "Preferences"), "Registry"), "Registry.xml");
    const std::string items = "NoDrives\t12\tCD\tHKEY_CURRENT_USER, " + file +
                              ", line 2, update, for CONTOSO\\Pupils\nNoViewOnDrive\t12\tCD\t"
                              "HKEY_CURRENT_USER, " +
                              file + ", line 3, update, for CONTOSO\\Pupils\n";
    std::filesystem::remove(test::FsPath(Gpt()));
    for (const char* pol : {"", "NoDrives\t1\tA\tHKEY_CURRENT_USER, "}) {
        if (*pol) {
            ASSERT_EQ(cli::RunCli({"pol", "--drives", "A", "--gpo", dir_.File("gpo")}, "").exitCode,
                      cli::kExitDone);
        }
        const cli::CliResult shown = cli::RunCli({"show", "--tsv", dir_.File("gpo")}, "");
        EXPECT_EQ(shown.exitCode, cli::kExitDone) << shown.err;
        EXPECT_TRUE(*pol ? shown.out.starts_with(pol) && shown.out.ends_with(items)
                         : shown.out == items)
            << shown.out;
    }
}

TEST(GppArguments, AreRefusedBeforeAnythingIsRead) {
    const std::vector<std::vector<std::string>> cases = {
        {"gpp", "--drives", "C", "--gpo", "g", "--group", "X"},
        {"gpp", "--drives", "C", "--gpo", "g", "--sid", "S-1-5-32-544"},
        {"gpp", "--drives", "C", "--gpo", "g", "--not", "--ou", "OU=A"},
        {"gpp", "--drives", "C", "--gpo", "g", "--group", "a\tb", "--sid", "S-1-5-32-544"},
        {"gpp", "--drives", "C", "--gpo", "g", "--group", "a\xC2\x85", "--sid", "S-1-5-32-544"},
        {"gpp", "--drives", "C", "--gpo", "g", "--ou", "Pupils"},
        {"gpp", "--remove", "--drives", "C", "--gpo", "g"},
    };
    for (const auto& args : cases) {
        const cli::CliResult result = cli::RunCli(args, "");
        EXPECT_EQ(result.exitCode, cli::kExitUsage) << ::testing::PrintToString(args);
    }
}

}  // namespace
}  // namespace tarnwick::prefs
