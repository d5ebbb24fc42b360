// Registry.pol refusals, gpt.ini editing, the intune command's files, and every new output read
// back by `show`. The byte-for-byte merge is witnessed by independent_check.py.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/Run.h"
#include "deploy/IntuneScripts.h"
#include "regpol/GptIni.h"
#include "regpol/PolFile.h"
#include "tests/support/FaultyPlatform.h"
#include "tests/support/TestFiles.h"

namespace tarnwick {
namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

cli::CliResult Cli(const std::vector<std::string>& args) {
    return cli::RunCli(args, "");
}

TEST(NewOptions, ContradictionsAreUsageErrors) {
    const struct {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{"pol", "--drives", "C"}, "pol needs one of --output FILE, --gpo FOLDER or --local"},
        {{"pol", "--drives", "C", "--output", "a.pol", "--gpo", "g"}, "pol needs one of"},
        {{"pol", "--drives", "C", "--gpo", "g", "--force"}, "--force is for --output"},
        {{"pol", "--remove", "--disable", "--local"}, "--remove and --disable exclude each other"},
        {{"pol", "--remove", "--drives", "C", "--local"}, "--remove takes no drives"},
        {{"samba", "--remove", "--all-but"}, "--remove takes no drives"},
        {{"pol", "--output", "a.pol"}, "pol needs --drives"},
        {{"samba", "--drives", "C", "--gpo", "g"}, "'--gpo' is not an option of samba"},
        {{"intune", "--drives", "C"}, "intune needs --output FOLDER"},
        {{"intune", "--remove", "--all-but", "--output", "o"}, "--remove takes no drives"},
        {{"show", "a.pol", "--here"}, "show takes one of a file, --here or --local"},
    };
    for (const auto& c : cases) {
        const auto run = Cli(c.args);
        EXPECT_EQ(run.exitCode, cli::kExitUsage) << c.error;
        EXPECT_EQ(run.err.rfind("tarnwick-cli: " + c.error, 0), 0u) << run.err;
    }
}

TEST(PolRefusals, MalformedFilesAreRefusedAtTheirOffsetAndLeftAlone) {
    const std::string header = "PReg" + test::Le32(1);
    const std::string good = regpol::EncodeRecord("K", "V", 4, test::Le32(7));
    const struct {
        std::string bytes;
        std::string message;
    } cases[] = {
        {"", "byte 0: no \"PReg\" signature"},
        {"REGEDIT4", "byte 0: no \"PReg\" signature"},
        {"PReg\x01", "byte 4: the file ends inside its version"},
        {"PReg" + test::Le32(2), "byte 4: version 2"},
        {"PReg" + test::Le32(0), "byte 4: version 0"},
        {header + "x", "byte 8: the file ends where \"[\""},
        {header + test::Utf16("(K"), "byte 8: expected \"[\""},
        {header + test::Utf16("[Key"), "byte 10: the key has no end"},
        {header + test::Utf16("[K") + std::string(2, '\0') + test::Utf16("]"),
         "byte 14: expected \";\""},
        {header + good.substr(0, good.size() - 2), "the file ends where \"]\""},
        {header + good.substr(0, 14) + test::Le32(4) + test::Utf16(";") + test::Le32(50) +
             test::Utf16(";"),
         "byte 28: the record's size 50 runs beyond the end of the file (0 bytes are left)"},
        {header + good.substr(0, 14) + test::Le32(4) + test::Utf16(";") + test::Le32(2) +
             test::Utf16(";"),
         "byte 28: the record's size 2 runs beyond the end of the file (0 bytes are left)"},
        {header + good + test::Utf16("]"),
         "byte " + std::to_string(8 + good.size()) + ": expected \"[\""},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const auto read = regpol::ReadPol(c.bytes);
        ASSERT_FALSE(read.ok());
        EXPECT_NE(read.failure().message.find(c.message), std::string::npos)
            << read.failure().message;
        const std::string path = dir.File("Registry.pol");
        test::WriteAll(path, c.bytes);
        const auto run = Cli({"pol", "--drives", "C", "--output", path, "--force"});
        EXPECT_EQ(run.exitCode, cli::kExitFailed);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(test::ReadAll(path), c.bytes);
    }
}

TEST(GptIni, TheUserVersionMovesByOneAndEveryOtherLineStays) {
    const std::string pair(regpol::kRegistryPolicyPair);
    const std::string other =
        "[{827D319E-6EAC-11D2-A4EA-00C04F79F83A}{803E14A0-B4FB-11D0-A0D0-00A0C90F574B}]";
    const std::string early =
        "[{0ACDD40C-75AC-47AB-BAA0-BF6DE7E7FE63}{2A8FDC61-2347-4C87-92F6-B05EB91A201A}]";
    const struct {
        std::optional<std::string> before;
        bool local;
        std::string after;  // empty: refused
    } cases[] = {
        {std::nullopt, false, "[General]\r\nVersion=65536\r\n"},
        {std::nullopt, true,
         "[General]\r\nVersion=65536\r\ngPCUserExtensionNames=" + pair + "\r\n"},
        {"[General]\nVersion=3\ndisplayName=x\n", false,
         "[General]\nVersion=65539\ndisplayName=x\n"},
        {"[general]\r\n version = 65536 \r\n", false, "[general]\r\nVersion=131072\r\n"},
        {"; top\r\n[General]", false, "; top\r\n[General]\r\nVersion=65536\r\n"},
        {"[General]\r", false, "[General]\rVersion=65536\r"},
        {"\xEF\xBB\xBF[General]\r\nVersion=7\r\n", false,
         "\xEF\xBB\xBF[General]\r\nVersion=65543\r\n"},
        {"\xEF\xBB\xBF", false, "\xEF\xBB\xBF[General]\r\nVersion=65536\r\n"},
        {"[General]\rdisplayName=x\rVersion=2\r", false,
         "[General]\rdisplayName=x\rVersion=65538\r"},
        {"[ General ]\n\rx=1\r\nVersion=2", true,
         "[ General ]\ngPCUserExtensionNames=" + pair + "\n\rx=1\r\nVersion=65538"},
        {"x=1\nVersion=9", false, "x=1\nVersion=9\n[General]\nVersion=65536\n"},
        {"[Other]\r\nVersion=1\r\n", false,
         "[General]\r\nVersion=65536\r\n[Other]\r\nVersion=1\r\n"},
        {"[General]\r\nVersion=1\r\ngPCUserExtensionNames=" + other + "\r\n", true,
         "[General]\r\nVersion=65537\r\ngPCUserExtensionNames=" + pair + other + "\r\n"},
        {"[General]\r\ngPCUserExtensionNames=" + early + pair + "\r\nVersion=0\r\n", true,
         "[General]\r\ngPCUserExtensionNames=" + early + pair + "\r\nVersion=65536\r\n"},
        {"[General]\r\nVersion=4294901760\r\n", false, ""},
        {"[General]\r\nVersion=12a\r\n", false, ""},
        {"[General]\rVersion=1\r[general]\rVersion=9\r", false, ""},
        {"[General]\nVersion=9\nVersion=1\n", false, ""},
        {"\xFF\xFE[\0", false, ""},
        {"[General]\r\ngPCUserExtensionNames={x}\r\n", true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before.value_or("(none)"));
        const auto edit = regpol::MoveUserVersion(c.before, c.local);
        ASSERT_EQ(edit.ok(), !c.after.empty());
        if (!edit) continue;
        EXPECT_EQ(edit->text, c.after);
        EXPECT_EQ(edit->newVersion - edit->oldVersion, regpol::kUserVersionStep);
    }
}

TEST(GpoFolder, AMalformedGptIniStopsTheRunBeforeRegistryPolIsWritten) {
    test::TempDir dir;
    test::WriteAll(dir.File("gpt.ini"), "[General]\r\nVersion=many\r\n");
    const auto run = Cli({"pol", "--drives", "C", "--gpo", dir.Path()});
    EXPECT_EQ(run.exitCode, cli::kExitFailed);
    EXPECT_NE(run.err.find("line 2: Version=many is not a number"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(test::FsPath(dir.File("User"))));
}

TEST(GpoFolder, AGpmcBackupIsRefusedWithNothingWritten) {
    for (const auto& [description, sysvolName] :
         {std::pair{"Backup.xml", "DomainSysvol"}, {"BKUPINFO.xml", "domainsysvol"}}) {
        test::TempDir dir;
        const std::string sysvol = dir.File(sysvolName), gpo = sysvol + kSeparator + "GPO";
        std::filesystem::create_directories(test::FsPath(gpo));
        test::WriteAll(dir.File(description), "<x/>");
        for (const std::string& folder : {dir.Path(), sysvol, gpo}) {
            SCOPED_TRACE(folder);
            const auto run = Cli({"pol", "--drives", "C", "--gpo", folder});
            EXPECT_EQ(run.exitCode, cli::kExitFailed);
            EXPECT_NE(run.err.find("is in a GPMC backup"), std::string::npos) << run.err;
            EXPECT_NE(run.err.find("SYSVOL\\DOMAIN\\Policies\\{GPO-GUID}"), std::string::npos);
            EXPECT_FALSE(std::filesystem::exists(test::FsPath(folder + kSeparator + "gpt.ini")));
            EXPECT_FALSE(std::filesystem::exists(test::FsPath(folder + kSeparator + "User")));
        }
    }
}

TEST(GpoFolder, AFailingCallChangesBothFilesOrNeither) {
    for (std::size_t k = 1;; ++k) {
        SCOPED_TRACE(k);
        test::TempDir dir;
        const std::string pol = dir.File("User") + kSeparator + "Registry.pol";
        const std::string gpt = dir.File("gpt.ini");
        std::filesystem::create_directory(test::FsPath(dir.File("User")));
        test::WriteAll(pol, regpol::PolHeader());
        test::WriteAll(gpt, "[General]\r\nVersion=65536\r\n");
        test::FaultyPlatform faulty;
        faulty.FailAt(k);
        cli::CliResult run;
        {
            fileio::ScopedPlatform use(faulty);
            run = Cli({"pol", "--drives", "C", "--gpo", dir.Path()});
        }
        const bool polMoved = test::ReadAll(pol) != regpol::PolHeader();
        const bool gptMoved = test::ReadAll(gpt) != "[General]\r\nVersion=65536\r\n";
        EXPECT_EQ(polMoved, gptMoved) << run.err;
        EXPECT_EQ(run.exitCode == cli::kExitDone, polMoved) << run.err;
        EXPECT_EQ(faulty.OpenHandles(), 0);
        std::size_t entries = 0;
        for (const auto& folder : {dir.Path(), dir.File("User")})
            for (const auto& e : std::filesystem::directory_iterator(test::FsPath(folder)))
                // The lock file stays; so may a replaced file's second name whose removal
                // failed after a run that succeeded, for a later run to clear (fileio/Leftovers).
                entries += e.path().filename() != "gpt.ini.lock" &&
                           !(polMoved && e.path().filename().string().ends_with(".trnw-tmp-old"));
        EXPECT_EQ(entries, 3u) << "a temporary file was left behind";
        if (!faulty.Injected()) break;
    }
}

TEST(IntuneCommand, WritesBothScriptsOfTheChosenSetAndReplacesNeither) {
    test::TempDir dir;  // the folder made, and the one above it
    const std::string folder = dir.File("out") + kSeparator + "sub" + kSeparator;
    const auto run =
        Cli({"intune", "--drives", "AB", "--all-but", "--policy", "both", "--output", folder});
    ASSERT_EQ(run.exitCode, cli::kExitDone) << run.err;
    const DriveSet drives(3, DriveMode::AllBut);
    const std::string detect = deploy::DetectScript(drives, DrivePolicy::Both);
    const std::string remediate = deploy::RemediateScript(drives, DrivePolicy::Both);
    EXPECT_EQ(test::ReadAll(folder + std::string(deploy::kDetectScriptName)),
              deploy::ScriptFileBytes(detect));
    EXPECT_EQ(test::ReadAll(folder + std::string(deploy::kRemediateScriptName)),
              deploy::ScriptFileBytes(remediate));
    EXPECT_EQ(Cli({"intune", "--drives", "C", "--machine", "--offline-profiles", "--output", "x"})
                  .exitCode,
              cli::kExitUsage);
    const auto again = Cli({"intune", "--drives", "C", "--output", folder});
    EXPECT_EQ(again.exitCode, cli::kExitFailed);
    EXPECT_EQ(test::ReadAll(folder + std::string(deploy::kDetectScriptName)),
              deploy::ScriptFileBytes(detect));
}

TEST(ShowValues, EachNewOutputIsReadBack) {
    test::TempDir dir;
    const std::string pol = dir.File("a.pol"), reg = dir.File("a.reg"), json = dir.File("a.json");
    const std::string undoReg = dir.File("undo.reg"), undoJson = dir.File("undo.json");
    const std::string gpo = dir.File("gpo"), userFile = dir.File("userfile");
    std::filesystem::create_directory(test::FsPath(gpo));
    std::filesystem::create_directory(test::FsPath(userFile));
    test::WriteAll(userFile + kSeparator + "User", "a file where the folder belongs");
    // A file already there is merged into or replaced only with --force.
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string said;
    } writes[] = {
        {{"pol", "--drives", "CDE", "--policy", "both", "--output", pol}, 0, "Created: "},
        {{"pol", "--drives", "A", "--output", pol}, 1, "Use --force to merge into it."},
        {{"pol", "--drives", "CDE", "--policy", "both", "--output", pol, "--force"}, 0, "Merged"},
        {{"pol", "--drives", "Z", "--gpo", gpo}, 0, "Created: "},
        {{"reg", "--drives", "CDE", "--output", reg}, 0, "Created: "},
        {{"samba", "--drives", "CDE", "--policy", "prevent", "--output", json}, 0, "Created: "},
        {{"samba", "--drives", "A", "--output", json}, 1, "Use --force to replace it."},
        {{"samba", "--drives", "A", "--output", gpo}, 1, "it is a folder.\n"},
        {{"pol", "--drives", "A", "--gpo", userFile}, 1, "User\" is a file, not a folder."},
        {{"samba", "--drives", "CDE", "--policy", "prevent", "--output", json, "--force"}, 0, ""},
        {{"reg", "--remove", "--policy", "prevent", "--output", undoReg}, 0, "Created: "},
        {{"samba", "--remove", "--policy", "prevent", "--output", undoJson}, 0, "Created: "},
        {{"intune", "--drives", "CDE", "--offline-profiles", "--output", dir.File("set")},
         0,
         "Created: "},
        {{"intune", "--remove", "--policy", "prevent", "--machine", "--output", dir.File("rm")},
         0,
         "Created: "},
    };
    for (const auto& c : writes) {
        const auto run = Cli(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[0] << run.err;
        EXPECT_NE((run.out + run.err).find(c.said), std::string::npos) << run.out << run.err;
    }
    const struct {
        std::string file;
        std::string tsv;
    } cases[] = {
        {pol, "NoDrives\t28\tCDE\tbyte 8\nNoViewOnDrive\t28\tCDE\tbyte 170\n"},
        {gpo, "NoDrives\t33554432\tZ\tHKEY_CURRENT_USER, User" + std::string(1, kSeparator) +
                  "Registry.pol, byte 8\n"},
        {reg, "NoDrives\t28\tCDE\tHKEY_CURRENT_USER (line 4)\n"},
        {json, "NoViewOnDrive\t28\tCDE\tUSER, entry 1\n"},
        {undoReg, "NoViewOnDrive\tdeleted\t-\tHKEY_CURRENT_USER (line 4)\n"},
        {undoJson, "NoViewOnDrive\tremoved\t-\tUSER, entry 1\n"},
        {dir.File("set") + kSeparator + std::string(deploy::kRemediateScriptName),
         "NoDrives\t28\tCDE\tHKEY_USERS, every profile (Intune remediation, line 24)\n"},
        {dir.File("rm") + kSeparator + std::string(deploy::kDetectRemovedScriptName),
         "NoViewOnDrive\tabsent\t-\tHKEY_LOCAL_MACHINE (Intune detection, line 21)\n"},
    };
    for (const auto& c : cases) {
        const auto shown = Cli({"show", c.file, "--tsv"});
        EXPECT_EQ(shown.exitCode, cli::kExitDone) << shown.err;
        EXPECT_EQ(shown.out, c.tsv);
    }
    EXPECT_NE(Cli({"show", gpo}).out.find("Version: 65536 (user 1, computer 0)"),
              std::string::npos);
}

}  // namespace
}  // namespace tarnwick
