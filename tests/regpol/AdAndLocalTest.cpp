// The Active Directory half of a policy object, local policy per group under a system root of the
// test's own, and --now's verdicts. The LDIF itself: the README's example and samba-ldif.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/DeployCommands.h"
#include "cli/Run.h"
#include "cli/ShowCommand.h"
#include "regpol/ApplyNow.h"
#include "regpol/Ldif.h"
#include "regpol/LocalPolicy.h"
#include "regpol/PolPlace.h"
#include "tests/support/TestFiles.h"

namespace tarnwick {
namespace {

const std::string kReg(regpol::kRegistryPolicyPair);
const std::string kPref(regpol::kRegistryPreferencePair);
const std::string kGuid = "{6AC1786C-016F-11D2-945F-00C04FB984F9}";

// Words split at blanks, or text at '|'.
std::vector<std::string> Split(const std::string& text, char at) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, at);)
        if (!part.empty()) parts.push_back(part);
    return parts;
}

cli::Options Parsed(const std::string& args) {
    const auto parsed = cli::ParseArguments(Split(args, ' '));
    if (!parsed) {
        ADD_FAILURE() << parsed.failure().message;
        return {};
    }
    return *parsed;
}

TEST(ExtensionNames, MergedAndOrderedAsTheEditorKeepsThem) {
    const std::string rsop =
        "[{3060E8D0-7020-11D2-842D-00C04FA372D4}{3060E8CE-7020-11D2-842D-00C04FA372D4}]";
    // The same editor's GUID of Windows 2000 to Server 2003, which older objects list.
    const std::string regOther =
        "[{35378EAC-683F-11D2-A89A-00C04FBBCFA2}{0F6B957E-509E-11D1-A7CC-0000F87571E3}]";
    const struct {
        std::string listed;
        std::string merged;  // with kReg and kPref required; empty: refused
    } cases[] = {
        {"", kReg + kPref},
        {kPref + std::string(rsop).replace(2, 8, "3060e8d0"), rsop + kReg + kPref},
        {kReg + kReg, kReg + kPref},
        {regOther, regOther.substr(0, regOther.size() - 1) + kReg.substr(39) + kPref},
        {"[{35378eac-683f-11d2-a89a-00c04fbbcfa2}{0f6b957e-509e-11d1-a7cc-0000f87571e3}]",
         regOther.substr(0, regOther.size() - 1) + kReg.substr(39) + kPref},
        {kReg.substr(0, 39), ""},
        {"[{35378EAC+683F-11D2-A89A-00C04FBBCFA2}]", ""},
    };
    const std::string_view required[] = {regpol::kRegistryPolicyPair,
                                         regpol::kRegistryPreferencePair};
    for (const auto& c : cases) {
        const auto merged = regpol::MergeExtensionNames(c.listed, required);
        EXPECT_EQ(merged ? *merged : std::string(), c.merged) << c.listed;
    }
}

TEST(GpoEntry, TheDnComesFromTheFolderNameAndTheDomain) {
    const std::string cn = "CN=" + kGuid + ",CN=Policies,CN=System,";
    const struct {
        std::string folder;
        std::optional<std::string> domain;
        std::string dnOrFailure;
    } cases[] = {
        {"/Policies/{6ac1786c-016f-11d2-945f-00c04fb984f9}/", "samdom.example.com",
         cn + "DC=samdom,DC=example,DC=com"},
        {"C:\\Backup\\" + kGuid, "Corp-1.example.", cn + "DC=Corp-1,DC=example"},
        {kGuid, std::nullopt, cn + "DC=CHANGE-ME,DC=INVALID"},
        {kGuid, "a_b.example.com", "--domain takes"},
        {kGuid, "a,DC=b", "--domain takes"},
        {kGuid, "a-.example.com", "--domain takes"},
    };
    for (const auto& c : cases) {
        const auto entry = regpol::GpoEntryOf(c.folder, {c.domain, std::nullopt, std::nullopt});
        const std::string got = entry ? entry->dn : entry.failure().message;
        EXPECT_NE(got.find(c.dnOrFailure), std::string::npos) << got;
        EXPECT_TRUE(!entry || entry->placeholder == !c.domain);
    }
}

TEST(PolGpoLdif, WhatCannotBeHonouredIsRefusedBeforeTheFolderIsTouched) {
    test::TempDir dir;
    const std::string gpo = dir.File(kGuid), plain = dir.File("plain");
    std::filesystem::create_directory(test::FsPath(gpo));
    std::filesystem::create_directory(test::FsPath(plain));
    test::WriteAll(dir.File("there.ldif"), "kept");
    const struct {
        std::string args, error;
    } cases[] = {
        {gpo + " --ldif " + dir.File("there.ldif"), "is already there; nothing was written"},
        {gpo + " --extensions {x}", "--extensions takes gPCUserExtensionNames"},
        {plain + " --ldif " + dir.File("new.ldif"), "is no such name"},
        {dir.File("none"), "none\" does not exist. Nothing was written."},
    };
    for (const auto& c : cases) {
        const auto run = cli::RunCli(Split("pol --drives C --gpo " + c.args, ' '), "");
        EXPECT_EQ(run.exitCode, cli::kExitFailed) << c.error;
        EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    }
    EXPECT_TRUE(std::filesystem::is_empty(test::FsPath(gpo)));
    EXPECT_TRUE(std::filesystem::is_empty(test::FsPath(plain)));
    EXPECT_EQ(test::ReadAll(dir.File("there.ldif")), "kept");
    const auto forced =
        cli::RunCli(Split("pol --drives C --gpo " + gpo + " --ldif " + dir.File("there.ldif") +
                              " --force --extensions " + kReg,
                          ' '),
                    "");
    EXPECT_EQ(forced.exitCode, cli::kExitDone) << forced.err;
    EXPECT_NE(test::ReadAll(dir.File("there.ldif")).find("delete: gPCUserExtensionNames"),
              std::string::npos);
}

TEST(LocalPolicyPerGroup, EachGroupHasItsFolderInTheRealSystem32AndShowListsThemAll) {
    // --for as typed, and the folder and show's label it must give; in show's order.
    const struct {
        std::string forWhom, folder, label;
    } writes[] = {
        {"", "GroupPolicy", "Local policy"},
        {"s-1-5-21-1-2-3-1001", "GroupPolicyUsers/S-1-5-21-1-2-3-1001",
         "Local policy for S-1-5-21-1-2-3-1001"},
        {"administrators", "GroupPolicyUsers/S-1-5-32-544",
         "Local policy for Administrators (S-1-5-32-544)"},
        {"Non-Administrators", "GroupPolicyUsers/S-1-5-32-545",
         "Local policy for Non-Administrators (S-1-5-32-545)"},
    };
    for (const bool wow64 : {false, true}) {
        test::TempDir root;
        std::filesystem::create_directory(test::FsPath(root.File("System32")));
        if (wow64) std::filesystem::create_directory(test::FsPath(root.File("Sysnative")));
        const auto system = test::FsPath(root.File(wow64 ? "Sysnative" : "System32"));
        std::string tsv;
        for (const auto& w : writes) {
            const std::string forWhom = w.forWhom.empty() ? "" : " --for " + w.forWhom;
            const auto run =
                cli::PolLocal(Parsed("pol --drives CDE --local" + forWhom), root.Path());
            ASSERT_EQ(run.exitCode, cli::kExitDone) << run.err;
            EXPECT_TRUE(std::filesystem::exists(system / w.folder / "gpt.ini")) << w.folder;
            tsv += "NoDrives\t28\tCDE\t" + w.label + ": HKEY_CURRENT_USER, " +
                   test::Utf8(std::filesystem::path("User") / "Registry.pol") + ", byte 8\n";
        }
        const auto shown = cli::ShowLocal(Parsed("show --local --tsv"), root.Path());
        EXPECT_EQ(shown.out, tsv) << shown.err;
        EXPECT_EQ(std::filesystem::is_empty(test::FsPath(root.File("System32"))), wow64);
    }
}

// A Registry.pol path names the local policy (through the real System32 where a 32-bit program
// would reach SysWOW64), a policy object, or a file alone; a per-user folder that is no SID is
// refused, since no policy engine reads it.
TEST(PolPlace, ARegistryPolPathIsAPolicysOnlyInItsPlace) {
    test::TempDir root;
    for (const char* folder : {"System32", "Sysnative", "gpo/User"})
        std::filesystem::create_directories(test::FsPath(root.File(folder)));
    test::WriteAll(root.File("gpo/GPT.INI"), "[General]\r\nVersion=0\r\n");
    const std::string r = root.Path();
    using Kind = regpol::PolPlaceKind;
    const struct {
        std::string path;
        std::optional<Kind> kind;  // none: refused
        std::string folder;
    } cases[] = {
        {r + "/system32/GroupPolicy/user/registry.POL", Kind::LocalPolicy,
         root.File("Sysnative") + "/GroupPolicy"},
        {r + "\\SysWOW64\\GroupPolicyUsers\\S-1-5-32-545\\User\\Registry.pol", Kind::LocalPolicy,
         r + "\\SysWOW64\\GroupPolicyUsers\\S-1-5-32-545"},
        {r + "/System32/GroupPolicyUsers/S-1-5-/User/Registry.pol", std::nullopt, ""},
        {r + "/System32/GroupPolicyUsers/Administrators/User/Registry.pol", std::nullopt, ""},
        {r + "/gpo/User/Registry.pol", Kind::PolicyObject, r + "/gpo"},
        {r + "/{31B2F340-016D-11D2-945F-00C04FB984F9}/User/Registry.pol", Kind::PolicyObject,
         r + "/{31B2F340-016D-11D2-945F-00C04FB984F9}"},
        {r + "/backup/domainsysvol/GPO/User/Registry.pol", Kind::PolicyObject,
         r + "/backup/domainsysvol/GPO"},
        {r + "/other/User/Registry.pol", Kind::File, ""},
        {r + "/gpo/Registry.pol", Kind::File, ""},
    };
    for (const auto& c : cases) {
        const auto place = regpol::PolPlaceOf(c.path);
        ASSERT_EQ(place.ok(), c.kind.has_value()) << c.path;
        if (!place) continue;
        EXPECT_EQ(place->kind, *c.kind) << c.path;
        EXPECT_EQ(place->folder, c.folder) << c.path;
    }
    for (const char* bad :
         {"users", "S-1-5-", "S-1-5-21-x", "S-1-5-32-544\\..\\..", "S-1-5-12345678901"})
        EXPECT_EQ(regpol::LocalPolicySid(bad), std::nullopt) << bad;
}

TEST(ApplyNow, SaysWhetherTheValuesInForceAreTheOnesWritten) {
    using regpol::EngineAnswer;
    const FoundValue user28{"NoDrives", 28, "set", "HKEY_CURRENT_USER", ""};
    const FoundValue machine28{"NoDrives", 28, "set", "HKEY_LOCAL_MACHINE", ""};
    const FoundValue user3{"NoDrives", 3, "set", "HKEY_CURRENT_USER", ""};
    const struct {
        std::string pol;  // after "pol --local"
        EngineAnswer engine;
        std::vector<FoundValue> inForce;
        std::string lines;  // in this order, '|' between them
    } cases[] = {
        {"--drives CDE",
         EngineAnswer::Applied,
         {user28},
         "Windows applied user policy|In force: NoDrives under HKEY_CURRENT_USER is 28 (drives "
         "CDE), as written|close and reopen them"},
        {"--drives CDE",
         EngineAnswer::TimedOut,
         {user3, machine28},
         "had not said it was done after 60 s|Not in force: NoDrives under HKEY_CURRENT_USER is 3 "
         "(drives AB), not 28 (drives CDE)|Sign out and sign in again"},
        {"--drives CDE --for non-administrators --policy both",
         EngineAnswer::Applied,
         {user28},
         "In force: NoDrives|Not in force: NoViewOnDrive under HKEY_CURRENT_USER is not set|only "
         "to the accounts it is for"},
        {"--disable",
         EngineAnswer::Applied,
         {user3},
         "is 3 (drives AB); the policy written sets none|Sign out"},
    };
    for (const auto& c : cases) {
        const std::string text = regpol::JudgeInForce(
            cli::WrittenByPol(Parsed("pol --local " + c.pol)), c.engine, "why", c.inForce);
        std::size_t at = 0;
        for (const auto& line : Split(c.lines, '|')) {
            at = text.find(line, at);
            ASSERT_NE(at, std::string::npos) << line << "\nin:\n" << text;
        }
    }
}

}  // namespace
}  // namespace tarnwick
