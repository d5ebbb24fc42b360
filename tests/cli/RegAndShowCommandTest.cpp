// tarnwick-cli's reg and show commands, run in-process: their arguments, what they print and
// write, and how they refuse.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/Options.h"
#include "cli/Run.h"
#include "regfile/RegFile.h"
#include "regpol/PolFile.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::cli {
namespace {

const std::string kHeader =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer]\r\n";

// show's listings of samples/system.adm, checked by hand against its drop-down lists.
const std::string kExpected = std::string(TARNWICK_SOURCE_DIR) + "/tests/cli/expected/";

CliResult Cli(const std::vector<std::string>& args) {
    return RunCli(args, "");
}

TEST(RegCommand, PrintsTheRegistryFormOfTheMask) {
    const struct {
        std::vector<std::string> args;
        std::string values;
    } cases[] = {
        {{"reg", "--drives", "CDE"}, "\"NoDrives\"=dword:0000001c\r\n"},
        {{"reg", "--drives", "C", "--all-but", "--policy", "prevent"},
         "\"NoViewOnDrive\"=dword:03fffffb\r\n"},
        {{"reg", "--drives=ABCDEFGHIJKLMNOPQRSTUVWXYZ", "--policy=both"},
         "\"NoDrives\"=dword:03ffffff\r\n\"NoViewOnDrive\"=dword:03ffffff\r\n"},
        {{"reg", "--all-but", "--drives", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
         "\"NoDrives\"=dword:00000000\r\n"},
    };
    for (const auto& c : cases) {
        const CliResult result = Cli(c.args);
        EXPECT_EQ(result.exitCode, kExitDone) << result.err;
        EXPECT_EQ(result.out, kHeader + c.values + "\r\n");
    }
}

TEST(RegCommand, WritesUtf16WithAMarkAndReplacesOnlyWithForce) {
    test::TempDir dir;
    const std::string path = dir.File("hide.reg");
    ASSERT_EQ(Cli({"reg", "--drives", "CDE", "--output", path}).exitCode, kExitDone);
    const std::string text = kHeader + "\"NoDrives\"=dword:0000001c\r\n\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : text)
        utf16 += std::string{c, '\0'};
    EXPECT_EQ(test::ReadAll(path), utf16);
    EXPECT_EQ(regfile::RegFileBytes(text), utf16);

    const CliResult again = Cli({"reg", "--drives", "C", "--output", path});
    EXPECT_EQ(again.exitCode, kExitFailed);
    EXPECT_NE(again.err.find("--force"), std::string::npos) << again.err;
    EXPECT_EQ(test::ReadAll(path), utf16);
    EXPECT_EQ(Cli({"reg", "--drives", "C", "--output", dir.Path(), "--force"}).exitCode,
              kExitFailed);

    ASSERT_EQ(Cli({"reg", "--drives", "C", "--output", path, "--force"}).exitCode, kExitDone);
    EXPECT_EQ(test::ReadAll(path),
              regfile::RegFileBytes(kHeader + "\"NoDrives\"=dword:00000004\r\n\r\n"));
}

TEST(ShowCommand, ListsOnStandardOutputAndTellsTheRestOnStandardError) {
    test::TempDir dir;
    const std::string sample = std::string(TARNWICK_SOURCE_DIR) + "/samples/system.adm";
    const std::string broken = dir.File("broken.adm");
    test::WriteAll(broken, "CLASS USER\nCATEGORY !!c\n  POLICY !!p\n  END PART\n");
    const std::string warned = dir.File("warned.adm");
    test::WriteAll(warned,
                   "CLASS USER\nCATEGORY !!c\nPOLICY !!p\nPART !!d DROPDOWNLIST\nVALUENAME "
                   "NoDrives\nITEMLIST\nNAME !!x VALUE NUMERIC 8\nEND ITEMLIST\nEND PART\nEND "
                   "POLICY\nEND CATEGORY\n[strings]\nx=\"Restrict C only\"\n");
    test::WriteAll(dir.File("zero.adm"), std::string("CLASS USER\nx\0y\x1B[2J\n", 19));
    test::WriteAll(dir.File("r.admx"), "<x/>");
    test::WriteAll(dir.File("p.admx"),
                   test::ReadAll(TARNWICK_SOURCE_DIR "/samples/admx/ExplorerDrives.admx"));
    std::filesystem::create_directory(test::FsPath(dir.File("en-US")));
    test::WriteAll(dir.File("en-US/p.adml"), "<x/>");
    // NoDrives as four bytes of REG_BINARY: listed with its number, and a note on standard error.
    const std::string binary = dir.File("binary.pol");
    test::WriteAll(binary, regpol::PolHeader() +
                               regpol::EncodeRecord(std::string(kExplorerPoliciesKey), "NoDrives",
                                                    3, std::string("\x1C\0\0\0", 4)));
    const std::string above = dir.File("above.reg"), none = dir.File("none.json");
    test::WriteAll(above, std::string(kHeader) + "\"NoDrives\"=dword:04000004\r\n");
    test::WriteAll(none, "[]");
    test::WriteAll(dir.File("nolist.adm"), "CLASS USER\n");
    test::WriteAll(dir.File("U.ADMX"), "<x/>");
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string out;  // standard output, whole
        std::string err;  // a part of standard error, or "" for none
    } cases[] = {
        {{"show", sample, "--tsv"}, kExitDone, test::ReadAll(kExpected + "system.adm.tsv"), ""},
        {{"show", sample}, kExitDone, test::ReadAll(kExpected + "system.adm.txt"), ""},
        {{"show", broken},
         kExitFailed,
         "",
         "broken.adm, line 4: expected END POLICY for the POLICY on line 3, found \"END PART\""},
        {{"show", dir.File("none.adm")}, kExitFailed, "", "none.adm\" does not exist"},
        // The offending text is quoted whole, its control characters as escapes.
        {{"show", dir.File("zero.adm")}, kExitFailed, "", "found \"x\\x00y\\x1B[2J\"\n"},
        {{"show", dir.File("r.admx")}, kExitFailed, "", "r.admx, line 1: expected <policy"},
        {{"show", dir.File("p.admx")}, kExitFailed, "", "p.adml, line 1: expected <policy"},
        {{"show", warned, "--language", "de"},
         kExitDone,
         "Value name  Item  Value  Drives  Text\nNoDrives    x     8      D       Restrict C "
         "only\n",
         "--language is for ADMX files"},
        {{"show", dir.Path()}, kExitFailed, "", "is a folder"},
        {{"show", warned, "--tsv"},
         kExitDone,
         "NoDrives\tx\t8\tD\tRestrict C only\n",
         "warning: NoDrives item x (line 7)"},
        {{"show", binary, "--tsv"},
         kExitDone,
         "NoDrives\t28\tCDE\tbyte 8\n",
         "note: NoDrives (byte 8) is a 4-byte REG_BINARY"},
        {{"show", above, "--tsv"},
         kExitDone,
         "NoDrives\t67108868\tC\tHKEY_CURRENT_USER (line 4)\n",
         "has bits above Z"},
        {{"show", none}, kExitDone, "", "sets neither NoDrives nor NoViewOnDrive"},
        {{"show", dir.File("nolist.adm")},
         kExitDone,
         "Value name  Item  Value  Drives  Text\n",
         "has no drop-down list for NoDrives or NoViewOnDrive"},
        {{"show", dir.File("U.ADMX")}, kExitFailed, "", "U.ADMX, line 1: expected <policy"},
        {{"show"}, kExitUsage, "", "show needs the template file"},
        {{"show", "a.adm", "b.adm"}, kExitUsage, "", "b.adm"},
        {{"show", "a.adm", "--drives", "C"}, kExitUsage, "", "--drives"},
        {{"reg", "--drives", "C", "--policy", "all"}, kExitUsage, "", "hide, prevent or both"},
        {{"reg", "--drives", "C", "--source", "s.adm"}, kExitUsage, "", "--source"},
    };
    for (const auto& c : cases) {
        const CliResult result = Cli(c.args);
        const std::string where = ::testing::PrintToString(c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << where << result.err;
        EXPECT_EQ(result.out, c.out) << where;
        if (c.err.empty()) {
            EXPECT_EQ(result.err, "") << where;
        } else {
            EXPECT_NE(result.err.find(c.err), std::string::npos) << where << result.err;
        }
    }
}

}  // namespace
}  // namespace tarnwick::cli
