// The Active Directory half of a policy object (extension names, the entry's DN, the LDIF and the
// refusals before anything is written), local policy per group under a system root of the test's
// own, and what --now says of the values in force. The LDIF applied to a real directory:
// samba-ldif.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/ApplyNow.h"
#include "cli/DeployCommands.h"
#include "cli/Run.h"
#include "cli/ShowValues.h"
#include "regpol/GptIni.h"
#include "regpol/Ldif.h"
#include "tests/support/TestFiles.h"

namespace tarnwick {
namespace {

using regpol::kRegistryPolicyPair;
using regpol::kRegistryPreferencePair;

const std::string kReg(kRegistryPolicyPair);
const std::string kPref(kRegistryPreferencePair);
const std::string kRsop =
    "[{3060E8D0-7020-11D2-842D-00C04FA372D4}{3060E8CE-7020-11D2-842D-00C04FA372D4}]";
const std::string kGuid = "{6AC1786C-016F-11D2-945F-00C04FB984F9}";

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

TEST(ExtensionNames, MergedAndOrderedAsTheEditorKeepsThem) {
    const struct {
        std::string listed;
        std::vector<std::string_view> required;
        std::string merged;  // empty: refused
    } cases[] = {
        {"", {kRegistryPolicyPair}, kReg},
        {kPref + "[{3060e8d0-7020-11d2-842d-00c04fa372d4}{3060e8ce-7020-11d2-842d-00c04fa372d4}]",
         {kRegistryPolicyPair},
         kRsop + kReg + kPref},
        {kReg + kReg, {kRegistryPolicyPair, kRegistryPreferencePair}, kReg + kPref},
        // The same extension under another editor gains ours beside it, editors in order.
        {"[{35378EAC-683F-11D2-A89A-00C04FBBCFA2}{D02B1F73-3407-48AE-BA88-E8213C6761F1}]",
         {kRegistryPolicyPair},
         "[{35378EAC-683F-11D2-A89A-00C04FBBCFA2}{0F6B957E-509E-11D1-A7CC-0000F87571E3}"
         "{D02B1F73-3407-48AE-BA88-E8213C6761F1}]"},
        {"[]", {kRegistryPolicyPair}, ""},
        {"[{35378EAC-683F-11D2-A89A-00C04FBBCFA2}", {kRegistryPolicyPair}, ""},
        {"[{35378EAC-683F-11D2-A89A-00C04FBBCFA2}x]", {kRegistryPolicyPair}, ""},
        {"[{35378EAC+683F-11D2-A89A-00C04FBBCFA2}]", {kRegistryPolicyPair}, ""},
        {" " + kReg, {kRegistryPolicyPair}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.listed);
        const auto merged = regpol::MergeExtensionNames(c.listed, c.required);
        ASSERT_EQ(merged.ok(), !c.merged.empty());
        if (merged) {
            EXPECT_EQ(*merged, c.merged);
        }
    }
}

TEST(GpoEntry, TheDnComesFromTheFolderNameAndTheDomain) {
    const struct {
        std::string folder;
        std::optional<std::string> domain;
        std::string dnOrFailure;
    } cases[] = {
        {"/sysvol/samdom.example.com/Policies/{6ac1786c-016f-11d2-945f-00c04fb984f9}/",
         "samdom.example.com",
         "CN=" + kGuid + ",CN=Policies,CN=System,DC=samdom,DC=example,DC=com"},
        {"C:\\Backup\\" + kGuid, "Corp-1.example.",
         "CN=" + kGuid + ",CN=Policies,CN=System,DC=Corp-1,DC=example"},
        {kGuid, std::nullopt, "CN=" + kGuid + ",CN=Policies,CN=System,DC=CHANGE-ME,DC=INVALID"},
        {"/x/DomainSysvol/GPO", "example.com", "\"GPO\" is no such name"},
        {kGuid + "x", "example.com", "is no such name"},
        {kGuid, "example..com", "--domain takes the domain's DNS name"},
        {kGuid, "-a.example.com", "--domain takes"},
        {kGuid, "a_b.example.com", "--domain takes"},
        {kGuid, "a,DC=b", "--domain takes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder + " " + c.domain.value_or("-"));
        const auto entry = regpol::GpoEntryOf(c.folder, {c.domain, std::nullopt});
        if (entry) {
            EXPECT_EQ(entry->dn, c.dnOrFailure);
            EXPECT_EQ(entry->placeholder, !c.domain);
        } else {
            EXPECT_NE(entry.failure().message.find(c.dnOrFailure), std::string::npos)
                << entry.failure().message;
        }
    }
}

TEST(GpoLdif, ReplacesAKnownListAndAddsWhenNoneIsKnown) {
    const std::string_view pairs[] = {kRegistryPolicyPair};
    const auto known = regpol::GpoEntryOf(kGuid, {"samdom.example.com", kPref});
    ASSERT_TRUE(known.ok());
    EXPECT_EQ(regpol::GpoLdif(*known, 131072, pairs),
              "# The Active Directory entry of policy object " + kGuid +
                  ".\n"
                  "dn: CN=" +
                  kGuid +
                  ",CN=Policies,CN=System,DC=samdom,DC=example,DC=com\n"
                  "changetype: modify\nreplace: versionNumber\nversionNumber: 131072\n-\n"
                  "replace: gPCUserExtensionNames\ngPCUserExtensionNames: " +
                  kReg + kPref + "\n-\n");
    const auto unknown = regpol::GpoEntryOf(kGuid, {});
    ASSERT_TRUE(unknown.ok());
    const std::string ldif = regpol::GpoLdif(*unknown, 65536, pairs);
    EXPECT_NE(ldif.find("\nadd: gPCUserExtensionNames\ngPCUserExtensionNames: " + kReg + "\n-\n"),
              std::string::npos)
        << ldif;
    EXPECT_NE(ldif.find("# DC=CHANGE-ME,DC=INVALID stands for your domain"), std::string::npos);
}

TEST(PolGpoLdif, WhatCannotBeHonouredIsRefusedBeforeTheFolderIsTouched) {
    test::TempDir dir;
    const std::string gpo = dir.File(kGuid);
    std::filesystem::create_directory(test::FsPath(gpo));
    std::filesystem::create_directory(test::FsPath(dir.File("plain")));
    test::WriteAll(dir.File("there.ldif"), "kept");
    const struct {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{"--gpo", gpo, "--ldif", dir.File("there.ldif")}, "is already there; nothing was written"},
        {{"--gpo", gpo, "--domain", "not a name"}, "--domain takes the domain's DNS name"},
        {{"--gpo", gpo, "--extensions", "{x}"}, "--extensions takes gPCUserExtensionNames"},
        {{"--gpo", dir.File("plain"), "--ldif", dir.File("new.ldif")}, "is no such name"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"pol", "--drives", "C"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto run = cli::RunCli(args, "");
        EXPECT_EQ(run.exitCode, cli::kExitFailed) << c.error;
        EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    }
    for (const auto& folder : {gpo, dir.File("plain")})
        EXPECT_TRUE(std::filesystem::is_empty(test::FsPath(folder))) << folder;
    EXPECT_EQ(test::ReadAll(dir.File("there.ldif")), "kept");
    EXPECT_FALSE(std::filesystem::exists(test::FsPath(dir.File("new.ldif"))));
}

cli::Options Parsed(const std::vector<std::string>& args) {
    const auto parsed = cli::ParseArguments(args);
    EXPECT_TRUE(parsed.ok) << parsed.error;
    return parsed.options;
}

TEST(LocalPolicyPerGroup, EachGroupHasItsFolderInTheRealSystem32AndShowListsThemAll) {
    for (const bool wow64 : {false, true}) {
        SCOPED_TRACE(wow64 ? "Sysnative" : "System32");
        test::TempDir root;
        std::filesystem::create_directory(test::FsPath(root.File("System32")));
        if (wow64) std::filesystem::create_directory(test::FsPath(root.File("Sysnative")));
        const std::string system = root.File(wow64 ? "Sysnative" : "System32");
        const struct {
            std::vector<std::string> forWhom;
            std::string folder;  // under the system folder
        } writes[] = {
            {{"--for", "Non-Administrators"}, "GroupPolicyUsers/S-1-5-32-545"},
            {{"--for", "administrators"}, "GroupPolicyUsers/S-1-5-32-544"},
            {{"--for", "s-1-5-21-1-2-3-1001"}, "GroupPolicyUsers/S-1-5-21-1-2-3-1001"},
            {{}, "GroupPolicy"},
        };
        for (const auto& w : writes) {
            std::vector<std::string> args{"pol", "--drives", "CDE", "--local"};
            args.insert(args.end(), w.forWhom.begin(), w.forWhom.end());
            const auto run = cli::PolLocal(Parsed(args), root.Path());
            ASSERT_EQ(run.exitCode, cli::kExitDone) << run.err;
            const std::filesystem::path folder = test::FsPath(system) / w.folder;
            EXPECT_EQ(test::ReadAll(test::Utf8(folder / "gpt.ini")),
                      "[General]\r\nVersion=65536\r\ngPCUserExtensionNames=" +
                          std::string(regpol::kRegistryExtensionPair) + "\r\n");
            EXPECT_TRUE(std::filesystem::exists(folder / "User" / "Registry.pol"));
        }
        EXPECT_FALSE(wow64 && std::filesystem::exists(test::FsPath(root.File("System32")) /
                                                      "GroupPolicyUsers"));
        const auto shown = cli::ShowLocal(Parsed({"show", "--local", "--tsv"}), root.Path());
        EXPECT_EQ(shown.exitCode, cli::kExitDone) << shown.err;
        const std::string pol = std::string("User") + kSeparator + "Registry.pol";
        EXPECT_EQ(shown.out,
                  "NoDrives\t28\tCDE\tLocal policy: HKEY_CURRENT_USER, " + pol +
                      ", byte 8\n"
                      "NoDrives\t28\tCDE\tLocal policy for S-1-5-21-1-2-3-1001: "
                      "HKEY_CURRENT_USER, " +
                      pol +
                      ", byte 8\n"
                      "NoDrives\t28\tCDE\tLocal policy for Administrators (S-1-5-32-544): "
                      "HKEY_CURRENT_USER, " +
                      pol +
                      ", byte 8\n"
                      "NoDrives\t28\tCDE\tLocal policy for Non-Administrators (S-1-5-32-545): "
                      "HKEY_CURRENT_USER, " +
                      pol + ", byte 8\n");
    }
}

TEST(LocalPolicyPerGroup, ForTakesTheTwoGroupsOrASid) {
    const struct {
        std::string text;
        std::optional<std::string> sid;
    } cases[] = {
        {"ADMINISTRATORS", "S-1-5-32-544"},
        {"non-administrators", "S-1-5-32-545"},
        {"S-1-5-21-3677372399-1701115231-751704945-1001",
         "S-1-5-21-3677372399-1701115231-751704945-1001"},
        {"users", std::nullopt},
        {"S-1-5", std::nullopt},
        {"S-1-5-", std::nullopt},
        {"S-1-5-21-x", std::nullopt},
        {"S-1-5-32-544\\..\\..", std::nullopt},
        {"S-1-5-12345678901", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cli::LocalPolicySid(c.text), c.sid) << c.text;
}

TEST(ApplyNow, SaysWhetherTheValuesInForceAreTheOnesWritten) {
    using cli::EngineAnswer;
    const deploy::FoundValue user28{"NoDrives", 28, "set", "HKEY_CURRENT_USER"};
    const deploy::FoundValue machine28{"NoDrives", 28, "set", "HKEY_LOCAL_MACHINE"};
    const deploy::FoundValue user3{"NoDrives", 3, "set", "HKEY_CURRENT_USER"};
    const struct {
        std::vector<std::string> pol;  // after "pol --local"
        EngineAnswer engine;
        std::vector<deploy::FoundValue> inForce;
        std::vector<std::string> lines;  // in this order
    } cases[] = {
        {{"--drives", "CDE"},
         EngineAnswer::Applied,
         {user28},
         {"Windows applied user policy",
          "In force: NoDrives under HKEY_CURRENT_USER is 28 (drives CDE), as written",
          "close and reopen them"}},
        {{"--drives", "CDE"},
         EngineAnswer::TimedOut,
         {user3, machine28},
         {"had not said it was done after 60 s",
          "Not in force: NoDrives under HKEY_CURRENT_USER is 3 (drives AB), not 28 (drives CDE)",
          "Sign out and sign in again"}},
        {{"--drives", "CDE", "--for", "non-administrators", "--policy", "both"},
         EngineAnswer::Applied,
         {user28},
         {"In force: NoDrives", "Not in force: NoViewOnDrive under HKEY_CURRENT_USER is not set",
          "only to the accounts it is for"}},
        {{"--remove"}, EngineAnswer::Applied, {machine28}, {"In force: NoDrives", "is not set"}},
        {{"--disable"},
         EngineAnswer::Applied,
         {user3},
         {"is 3 (drives AB); the policy written sets none", "Sign out"}},
        {{"--drives", "CDE"},
         EngineAnswer::NoEngine,
         {},
         {"this is Wine, where no Group Policy engine runs", "Not in force: NoDrives",
          "On Windows it applies at the next sign-in"}},
        {{"--drives", "CDE"}, EngineAnswer::Failed, {user28}, {"could not be asked", "In force"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"pol", "--local"};
        args.insert(args.end(), c.pol.begin(), c.pol.end());
        const std::string text = cli::JudgeInForce(Parsed(args), c.engine, "why", c.inForce);
        std::size_t at = 0;
        for (const auto& line : c.lines) {
            const std::size_t found = text.find(line, at);
            EXPECT_NE(found, std::string::npos) << line << "\nin:\n" << text;
            if (found != std::string::npos) at = found + line.size();
        }
    }
}

}  // namespace
}  // namespace tarnwick
