// The ADM grammar reader: what it lists from small templates, where it refuses broken ones, and
// that every text encoding of one template reads alike.
#include "readback/AdmReader.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "readback/Listing.h"
#include "readback/TemplateText.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::readback {
namespace {

// A template with one policy around `parts`, then `strings` as its [strings] section.
std::string Adm(const std::string& parts, const std::string& strings = "") {
    return "CLASS USER\nCATEGORY !!Explorer\n  POLICY !!NoDrives\n    KEYNAME \"Software\"\n" +
           parts + "  END POLICY\nEND CATEGORY\n\n[strings]\n" + strings;
}

std::string DropDown(const std::string& valueName, const std::string& items) {
    return "    PART !!Pick DROPDOWNLIST NOSORT REQUIRED\n      VALUENAME " + valueName +
           "\n      ITEMLIST\n" + items + "      END ITEMLIST\n    END PART\n";
}

const std::string kTwoItems = "NAME !!COnly VALUE NUMERIC 4\nNAME !!CD VALUE NUMERIC 12 DEFAULT\n";
const std::string kTexts = "COnly=\"Restrict C only\"\nCD=\"Restrict C and D\"\n";

// The listing of a template's bytes, or the refusal.
std::string Tsv(std::string bytes) {
    const auto text = DecodeTemplateText(std::move(bytes));
    const auto lists = text ? ReadAdmDriveLists(*text) : text.failure();
    return lists ? FormatTsv(lists->items) : lists.failure().message;
}

TEST(AdmReader, ListsTheDriveListsItems) {
    const struct {
        const char* what;
        std::string adm;
        const char* tsv;
    } cases[] = {
        {"one list", Adm(DropDown("\"NoDrives\"", kTwoItems), kTexts),
         "NoDrives\tCOnly\t4\tC\tRestrict C only\nNoDrives\tCD\t12\tCD\tRestrict C and D\n"},
        {"only drive value names, only drop-down lists",
         Adm(DropDown("\"NoRun\"", kTwoItems) + DropDown("NoViewOnDrive", kTwoItems) +
                 "    PART !!Other COMBOBOX\n      VALUENAME NoDrives\n      SUGGESTIONS\n"
                 "        \"a\" \"b\"\n      END SUGGESTIONS\n    END PART\n",
             kTexts),
         "NoViewOnDrive\tCOnly\t4\tC\tRestrict C only\nNoViewOnDrive\tCD\t12\tCD\tRestrict C "
         "and D\n"},
        {"#if version is read as the current editor does, comments are passed over",
         Adm(DropDown("\"NoDrives\"",
                      "#if version >= 5 ; new editors\n"
                      "NAME !!COnly VALUE NUMERIC 4 // four\n"
                      "#else\nNAME !!Old VALUE NUMERIC 1\n#endif\n"
                      "#if version<5\nNAME !!Older VALUE NUMERIC 2\n#endif\n"),
             "; the texts\nconly = \"C; only\" ; comment\nCOnly=\"the first counts\"\n"),
         "NoDrives\tCOnly\t4\tC\tC; only\n"},
        {"keywords and string names in any case, literal names, hex, action lists, one-line parts",
         Adm("    PART !!Tip TEXT END PART\n    part !!Pick dropdownlist\n      valuename "
             "\"nodrives\"\n      itemlist\n"
             "        name \"Literal A\" value numeric 0x1\n"
             "          ACTIONLIST\n            VALUENAME x VALUE NUMERIC 1\n"
             "          END ACTIONLIST\n"
             "        name !!dtext value numeric 4294967295\n"
             "        name !!Str value \"text\"\n"
             "      end itemlist\n    end part\n",
             "DTEXT=Unquoted text\n"),
         "nodrives\tLiteral A\t1\tA\tLiteral A\nnodrives\tdtext\t4294967295\t"
         "ABCDEFGHIJKLMNOPQRSTUVWXYZ\tUnquoted text\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Tsv(c.adm), c.tsv) << c.what;
    }
}

TEST(AdmReader, NotesWhatItCannotList) {
    const auto read = ReadAdmDriveLists(
        Adm(DropDown("NoDrives", "NAME !!Missing VALUE NUMERIC 4\nNAME !!Str VALUE \"4\"\n")));
    ASSERT_TRUE(read) << read.failure().message;
    const DriveLists& lists = *read;
    ASSERT_EQ(lists.items.size(), 1u);
    EXPECT_EQ(lists.items[0].displayText, "");
    ASSERT_EQ(lists.notes.size(), 2u);
    EXPECT_NE(lists.notes[0].find("line 8: [strings] defines no Missing"), std::string::npos)
        << lists.notes[0];
    EXPECT_NE(lists.notes[1].find("line 9: the item !!Str of NoDrives has no numeric value"),
              std::string::npos)
        << lists.notes[1];
}

TEST(AdmReader, BrokenTemplatesGiveTheLineAndWhatWasExpected) {
    const std::string item = "NAME !!COnly VALUE NUMERIC 4\n";
    const struct {
        std::string adm;
        int line;
        const char* expected;
    } cases[] = {
        {"CLASS USER\nPOLICY !!x\n", 2, "expected CLASS or CATEGORY, found \"POLICY\""},
        // A crafted word of megabytes is quoted by its start only.
        {"CLASS USER\n" + std::string(3 << 20, 'w'), 2,
         "found "
         "\"wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww...\""},
        {"CLASS BOTH\n", 1, "expected MACHINE or USER after CLASS"},
        {"CLASS USER\nCATEGORY\n", 2, "expected a name after CATEGORY, found the end of the line"},
        {"CLASS USER\nCATEGORY !!c\n POLICY !!p\n END CATEGORY\n", 4,
         "expected END POLICY for the POLICY on line 3, found \"END CATEGORY\""},
        {"CLASS USER\nCATEGORY !!c\n POLICY !!p\n POLICY !!q\n", 4,
         "expected END POLICY for the POLICY on line 3, found \"POLICY\""},
        {"CLASS USER\nCATEGORY !!c\n\n", 3,
         "expected END CATEGORY for the CATEGORY on line 2, found the end of the file"},
        {Adm("    PART !!p LIST\n    END PART\n"), 5, "expected a part type"},
        {Adm(DropDown("NoDrives", "VALUE NUMERIC 4\n")), 8, "expected NAME or END ITEMLIST"},
        {Adm(DropDown("NoDrives", "NAME !!x NUMERIC 4\n")), 8, "expected VALUE after the item"},
        {Adm(DropDown("NoDrives", "NAME !!x VALUE NUMERIC\n")), 8,
         "expected a number after VALUE NUMERIC, found the end of the line"},
        {Adm(DropDown("NoDrives", "NAME !!x VALUE NUMERIC 4294967296\n")), 8,
         "expected a number from 0 to 4294967295"},
        {Adm(DropDown("NoDrives", "NAME !!x VALUE NUMERIC 4 EXTRA\n")), 8,
         "expected the end of the item's line, found \"EXTRA\""},
        {Adm(DropDown("NoDrives", item + "END PART\n")), 9,
         "expected END ITEMLIST for the ITEMLIST on line 7, found \"END PART\""},
        {Adm(DropDown("NoDrives", "NAME \"open VALUE NUMERIC 4\n")), 8, "expected a closing quote"},
        {Adm("", "x=\"open\n"), 9, "expected a closing quote"},
        {Adm("", "just words\n"), 9, "expected a string definition"},
        {"CLASS USER\n#if version >= 4\n", 2, "expected #endif for the #if on line 2"},
        {"#endif\n", 1, "expected #if before #endif"},
        {"#if windows\n#endif\n", 1, "expected \"#if version\""},
        {"#include x\n", 1, "expected #if, #else or #endif"},
        // The scanner's complaint about a later line comes before the parser's.
        {"POLICY !!x\n#if windows\n", 2, "expected \"#if version\""},
        {"[strings\n", 1, "expected ] to close the section name"},
        {"CLASS USER\n" +
             [] {
                 std::string nested;
                 for (int i = 0; i < 257; ++i)
                     nested += "CATEGORY !!c\n";
                 return nested;
             }(),
         258, "expected categories nested at most 256 deep"},
    };
    for (const auto& c : cases) {
        const auto read = ReadAdmDriveLists(c.adm);
        if (read) {
            ADD_FAILURE() << "read without complaint:\n" << c.adm;
            continue;
        }
        EXPECT_EQ(read.failure().line, c.line) << c.expected;
        EXPECT_NE(read.failure().message.find(c.expected), std::string::npos)
            << read.failure().message;
    }
}

TEST(TemplateText, EveryEncodingOfATemplateReadsAlike) {
    // "Restrict C drive only" with an e acute: Windows-1252 E9, UTF-8 C3 A9.
    const std::string adm = Adm(DropDown("NoDrives", "NAME !!COnly VALUE NUMERIC 4\n"),
                                "COnly=\"Restrict C drive only (d\xC3\xA9j\xC3\xA0)\"\n");
    std::string crLf, cr;
    for (char c : adm) {
        crLf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        cr += c == '\n' ? '\r' : c;
    }
    std::string cp1252;  // C3 xx in UTF-8 is xx + 40 in Windows-1252
    for (std::size_t i = 0; i < adm.size(); ++i) {
        cp1252 += adm[i] == '\xC3' ? static_cast<char>(adm[++i] + 0x40) : adm[i];
    }
    std::string utf16;  // the text is ASCII but for two characters below U+0100
    for (char c : cp1252)
        utf16 += std::string{c, '\0'};
    const std::string expected =
        "NoDrives\tCOnly\t4\tC\tRestrict C drive only (d\xC3\xA9j\xC3\xA0)\n";
    for (const std::string& bytes :
         {adm, crLf, cr, "\xEF\xBB\xBF" + adm, cp1252, "\xFF\xFE" + utf16, utf16}) {
        EXPECT_EQ(Tsv(bytes), expected) << ::testing::PrintToString(bytes.substr(0, 12));
    }
    EXPECT_FALSE(DecodeTemplateText("\xFE\xFF" + std::string("\0C", 2)));
}

}  // namespace
}  // namespace tarnwick::readback
