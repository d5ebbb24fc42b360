// The ADMX and ADML readers: the stock-shaped sample pair in two cultures, and how broken
// files are refused with the file and line.
#include "readback/AdmxReader.h"

#include <gtest/gtest.h>

#include <string>

#include "cli/Run.h"
#include "readback/Listing.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::readback {
namespace {

const std::string kSample = std::string(TARNWICK_SOURCE_DIR) + "/samples/admx/ExplorerDrives.admx";

std::string Admx(const std::string& items) {
    return "<?xml version=\"1.0\"?>\n<policyDefinitions xmlns=\"urn:p\">\n<policies>\n"
           "<policy name=\"NoDrives\"><elements>\n<enum id=\"e\" valueName=\"NoDrives\">\n" +
           items + "</enum></elements></policy>\n</policies></policyDefinitions>\n";
}

std::string Adml(const std::string& strings) {
    return "<policyDefinitionResources><resources><stringTable>" + strings +
           "</stringTable></resources></policyDefinitionResources>";
}

TEST(AdmxReader, TheStockShapedPairOffersSevenItemsPerPolicyInEachCulture) {
    const struct {
        const char* name;
        std::uint32_t value;
        const char* english;
        const char* german;
    } stock[] = {
        {"ABOnly", 3, "Restrict A and B drives only", "Nur Laufwerke A und B einschr\xC3\xA4nken"},
        {"COnly", 4, "Restrict C drive only", "Nur Laufwerk C einschr\xC3\xA4nken"},
        {"DOnly", 8, "Restrict D drive only", "Nur Laufwerk D einschr\xC3\xA4nken"},
        {"ABCOnly", 7, "Restrict A, B and C drives only",
         "Nur Laufwerke A, B und C einschr\xC3\xA4nken"},
        {"ABCDOnly", 15, "Restrict A, B, C and D drives only",
         "Nur Laufwerke A, B, C und D einschr\xC3\xA4nken"},
        {"ALLDrives", 67108863, "Restrict all drives", "Alle Laufwerke einschr\xC3\xA4nken"},
        {"RestNoDrives", 0, "Do not restrict drives", "Laufwerke nicht einschr\xC3\xA4nken"},
    };
    for (const bool german : {false, true}) {
        std::vector<DriveItem> expected;
        for (const char* valueName : {"NoDrives", "NoViewOnDrive"}) {
            for (const auto& s : stock) {
                expected.push_back({s.name, german ? s.german : s.english, s.value, valueName});
            }
        }
        std::vector<std::string> args{"show", kSample, "--tsv"};
        if (german) args.insert(args.end(), {"--language", "de-DE"});
        const cli::CliResult result = cli::RunCli(args, "");
        EXPECT_EQ(result.exitCode, cli::kExitDone) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.out, FormatTsv(expected));
    }
}

TEST(AdmxReader, BrokenFilesAreRefusedWithTheirLine) {
    const std::string item =
        "<item displayName=\"$(string.C)\"><value><decimal value=\"4\"/>"
        "</value></item>\n";
    const struct {
        std::string admx;
        std::string adml;
        int line;  // 0: the parser's line is not checked
        const char* expected;
    } cases[] = {
        {Admx(item + "<item>"), "", 0, "expected well-formed XML"},
        {"<!DOCTYPE policyDefinitions>\n<policyDefinitions/>", "", 0,
         "expected no document type declaration (DTD)"},
        {"<policyDefinitionResources/>", "", 1, "expected <policyDefinitions> as the root"},
        {Admx("<item displayName=\"C\"><value><decimal value=\"4\"/></value></item>\n"), "", 6,
         "expected displayName=\"$(string.id)\""},
        {Admx(item + "<item displayName=\"$(string.D)\"/>\n"), "", 7, "expected <value>"},
        {Admx("<item displayName=\"$(string.D)\">\n<value><decimal value=\"-1\"/></value>"
              "</item>\n"),
         "", 7, "expected <decimal value=\"n\"> with n from 0 to 4294967295"},
        {Admx(item), "<policyDefinitions/>", 1, "expected <policyDefinitionResources>"},
        {Admx(item), Adml("<string>no id</string>"), 1, "expected an id on <string>"},
    };
    for (const auto& c : cases) {
        const auto lists = ReadAdmxDriveLists(c.admx);
        const auto strings = ReadAdmlStrings(c.adml);
        if (lists && strings) {
            ADD_FAILURE() << "read without complaint: " << c.expected;
            continue;
        }
        const ReadFailure& e = lists ? strings.failure() : lists.failure();
        if (c.line != 0) {
            EXPECT_EQ(e.line, c.line) << c.expected;
        }
        EXPECT_NE(e.message.find(c.expected), std::string::npos) << e.message;
    }
}

TEST(AdmxReader, NotesItemsWithoutNumberOrText) {
    auto read = ReadAdmxDriveLists(Admx(
        "<item displayName=\"$(string.C)\"><value><decimal value=\"4\"/></value></item>\n"
        "<item displayName=\"$(string.S)\"><value><string>4</string></value></item>\n"
        "<item displayName=\"$(string.D)\"><value><longDecimal value=\"8\"/></value></item>\n"));
    const auto strings = ReadAdmlStrings(Adml(
        "<string id=\"C\">Restrict C only</string><string id=\"C\">the first counts</string>"));
    ASSERT_TRUE(read && strings);
    DriveLists& lists = *read;
    ResolveTexts(lists, *strings);
    EXPECT_EQ(FormatTsv(lists.items), "NoDrives\tC\t4\tC\tRestrict C only\nNoDrives\tD\t8\tD\t\n");
    ASSERT_EQ(lists.notes.size(), 2u);
    EXPECT_NE(lists.notes[0].find("line 7: the item S of NoDrives has no numeric value"),
              std::string::npos)
        << lists.notes[0];
    EXPECT_NE(lists.notes[1].find("line 8: the ADML has no string D"), std::string::npos)
        << lists.notes[1];
}

TEST(AdmxReader, TheAdmlLiesInTheCultureFolderBesideTheAdmx) {
    EXPECT_EQ(AdmlPathFor("C:\\Windows\\PolicyDefinitions\\WindowsExplorer.admx", "en-US"),
              "C:\\Windows\\PolicyDefinitions\\en-US\\WindowsExplorer.adml");
    EXPECT_EQ(AdmlPathFor("x.admx", "de-DE"), "de-DE/x.adml");
    const cli::CliResult missing = cli::RunCli({"show", kSample, "--language", "fr-FR"}, "");
    EXPECT_EQ(missing.exitCode, cli::kExitFailed);
    EXPECT_NE(missing.err.find("fr-FR/ExplorerDrives.adml\", which does not exist"),
              std::string::npos)
        << missing.err;
}

}  // namespace
}  // namespace tarnwick::readback
