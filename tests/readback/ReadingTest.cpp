// How show takes the files it is handed: nothing above the size limit is read, whichever reader
// it is for, every template is read in the encoding that make reads it in, and other writers'
// .reg, Samba JSON and Registry.pol files are read as their clients apply them.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/Run.h"
#include "core/Limits.h"
#include "core/SourceFormat.h"
#include "readback/DeployedValues.h"
#include "readback/DriveItem.h"
#include "readback/TemplateText.h"
#include "regpol/PolFile.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::readback {
namespace {

namespace fs = std::filesystem;

TEST(InputLimit, AFileAboveItIsRefusedBeforeItIsRead) {
    // The file one byte too large (sparse: nothing to read in it), and the one shown.
    const std::pair<const char*, const char*> cases[] = {
        {"t.adm", "t.adm"},
        {"ExplorerDrives.admx", "ExplorerDrives.admx"},
        {"en-US/ExplorerDrives.adml", "ExplorerDrives.admx"}};
    for (const auto& [large, shown] : cases) {
        test::TempDir dir;
        fs::copy(TARNWICK_SOURCE_DIR "/samples/admx", test::FsPath(dir.Path()),
                 fs::copy_options::recursive);
        test::WriteAll(dir.File("t.adm"), "");
        const std::string path = test::Utf8(test::FsPath(dir.File(large)).make_preferred());
        fs::resize_file(test::FsPath(path), kMaxInputBytes + 1);
        const cli::CliResult result = cli::RunCli({"show", dir.File(shown)}, "");
        EXPECT_EQ(result.exitCode, cli::kExitFailed);
        EXPECT_NE(result.err.find("\"" + path + "\" was not read: it is 64.0 MiB, " +
                                  "more than the 64 MiB that Tarnwick reads."),
                  std::string::npos)
            << result.err;
    }
    // Exactly at the limit a file is read, and refused only for what it holds.
    for (const char* name : {"t.adm", "t.pol"}) {
        test::TempDir dir;
        test::WriteAll(dir.File(name), "");
        fs::resize_file(test::FsPath(dir.File(name)), kMaxInputBytes);
        const cli::CliResult result = cli::RunCli({"show", dir.File(name)}, "");
        EXPECT_EQ(result.err.find("MiB"), std::string::npos) << result.err;
    }
}

// "abcdonly" in any case, every `step` bytes (2: as UTF-16LE units).
std::size_t Markers(std::string_view text, std::size_t step) {
    std::size_t count = 0;
    for (std::size_t at = 0; at + 8 * step <= text.size(); at += step) {
        bool match = true;
        for (std::size_t k = 0; k < 8; ++k)
            match = match && (text[at + step * k] | 0x20) == "abcdonly"[k] &&
                    (step == 1 || text[at + step * k + 1] == 0);
        count += match;
    }
    return count;
}

TEST(TemplateEncoding, ShowReadsEveryTemplateAsMakeDoes) {
    // Mostly characters whose two bytes are both not zero, as in a Chinese template.
    std::vector<std::string> templates = {
        test::Utf16(u"; " + std::u16string(300, u'\u4E0D') + u"\r\nabcdonly\r\nABCDONLY\r\n"),
        test::ReadAll(TARNWICK_SOURCE_DIR "/samples/system.adm")};
    // The fuzz seeds: the splicer's after their 4-byte selection, show's ADM ones after 1 byte.
    for (const auto& [folder, skip] : {std::pair{"fuzz/corpus", 4}, {"fuzz/corpus-adm", 1}}) {
        for (const auto& entry :
             fs::directory_iterator(TARNWICK_SOURCE_DIR "/" + std::string(folder))) {
            const std::string bytes = test::ReadAll(test::Utf8(entry.path()));
            if (skip == 4 || (bytes[0] & 1) == 0) templates.push_back(bytes.substr(skip));
        }
    }
    for (const std::string& bytes : templates) {
        const SourceEncoding make =  // what the splicer's line reader decides
            DetectFormat(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())
                .encoding;
        const auto text = DecodeTemplateText(bytes);
        if (!text) {
            EXPECT_EQ(make, SourceEncoding::Utf16BE)
                << "show refuses what make reads: " << text.failure().message;
            continue;
        }
        const bool wide = make == SourceEncoding::Utf16LE;
        const std::string_view raw =
            std::string_view(bytes).substr(wide && bytes.starts_with("\xFF\xFE") ? 2 : 0);
        EXPECT_EQ(Markers(*text, 1), Markers(raw, wide ? 2 : 1));
        EXPECT_NE(make, SourceEncoding::Utf16BE) << "make refuses what show reads";
    }
}

TEST(DeployedValues, OtherWritersFilesAreReadAsTheirClientsApplyThem) {
    const std::string key(kExplorerPoliciesKey);
    // An entry with type and data, or (no type) one of samba-tool gpo remove, of class Both.
    auto entry = [&](const char* name, const char* type, const char* data) {
        return std::string(
                   "{\"keyname\": \"Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\"
                   "Policies\\\\Explorer\", \"valuename\": \"") +
               name +
               (type ? std::string("\", \"class\": \"USER\", \"type\": ") + type +
                           ", \"data\": " + data + "}"
                     : "\", \"class\": \"Both\"}");
    };
    auto pol = [&](const std::string& value, std::uint32_t type, const std::string& data) {
        return regpol::EncodeRecord(key, value, type, data);
    };
    const std::string reg =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" + key + "]\r\n";
    // Another program's policy key: its values are none of Explorer's.
    const std::string contoso =
        "[HKEY_CURRENT_USER\\Software\\Contoso\\Policies]\r\n"
        "\"NoDrives\"=dword:00000004\r\n";
    const std::string head = regpol::PolHeader(), set = pol("NoDrives", 4, test::Le32(28));
    const std::string binary = pol("NoViewOnDrive", 3, test::Le32(4));
    const std::string delvals = pol("**delvals.", 1, test::Utf16(" ") + std::string(2, '\0'));
    const std::string deleteValues =
        pol("**DeleteValues", 1, test::Utf16("Other; noviewondrive") + std::string(2, '\0'));
    // Keys go with all below them; one that only begins like a parent is another key.
    const std::string sibling =
        pol("**DeleteKeys", 1, test::Utf16("Software\\Micro") + '\0' + '\0');
    const std::string parent = pol("**DeleteKeys ", 1, test::Utf16("x;software\\") + '\0' + '\0');
    auto at = [](const std::string& before) { return "byte " + std::to_string(before.size()); };
    const struct {
        std::string name, bytes, tsv;
        std::string noted;  // where the 4-byte REG_BINARY is, if any
    } cases[] = {
        {"a.json",
         "[" + entry("NoDrives", "4", "28") + "," + entry("NoViewOnDrive", "\"reg_dword\"", "4") +
             "]",
         "NoDrives\t28\tCDE\tUSER, entry 1\nNoViewOnDrive\t4\tC\tUSER, entry 2\n", ""},
        {"b.json",
         "[" + entry("NoDrives", "true", "\"x\"") + "," + entry("NoDrives", "11", "1") + "," +
             entry("NoViewOnDrive", "3", "[28, 0, 0, 0]") + "]",
         "NoDrives\tREG_SZ\t-\tUSER, entry 2 (applies over entry 1)\n"
         "NoViewOnDrive\t28\tCDE\tUSER, entry 3\n",
         "USER, entry 3"},
        {"c.json",
         "\xEF\xBB\xBF[" + entry("NoDrives", "4", "12") +
             ", {\"keyname\": \"Software\\\\Contoso\\\\Policies\", \"valuename\": \"NoDrives\", "
             "\"type\": 4, \"data\": 4}, " +
             entry("NoViewOnDrive", "3", "[256, 0, 0, 0]") + "]",
         "NoDrives\t12\tCD\tUSER, entry 1\nNoViewOnDrive\tREG_BINARY\t-\tUSER, entry 3\n", ""},
        {"b.reg",
         "\xEF\xBB\xBFREGEDIT4\r\n\r\n" + contoso + "[-HKEY_CURRENT_USER\\" + key +
             "]\r\n\"NoDrives\"=dword:00000001\r\n[HKEY_CURRENT_USER\\" + key +
             "]\r\n\"NoViewOnDrive\"=dword:00000000c\r\n",
         "NoDrives\tdeleted\t-\tHKEY_CURRENT_USER (line 5, key deleted)\n"
         "NoViewOnDrive\tnot a dword (dword)\t-\tHKEY_CURRENT_USER (line 8)\n",
         ""},
        {"c.reg",
         "\xFF\xFE" + test::Utf16(reg + contoso + "[HKEY_LOCAL_MACHINE\\" + key +
                                  "]\r\n\"NoDrives\"=dword:0000000c"),
         "NoDrives\t12\tCD\tHKEY_LOCAL_MACHINE (line 7)\n", ""},
        // A name spelt otherwise is a record of its own, applied after; BOTH is either class.
        {"d.json",
         "[" + entry("NoDrives", "4", "28") + "," + entry("nodrives", "4", "4") + "," +
             entry("NoDrives", "4", "8") + "," + entry("NoViewOnDrive", nullptr, nullptr) + "]",
         "NoDrives\t4\tC\tUSER, entry 2 (applies over entries 1 and 3)\n"
         "NoViewOnDrive\tremoved\t-\tUSER, entry 4\nNoViewOnDrive\tremoved\t-\tMACHINE, entry 4\n",
         ""},
        {"a.reg",
         reg + "\"NoDrives\"=hex(4):1c,00,\\\r\n  00,00\r\n\"NoViewOnDrive\"=hex:04,00,00,00\r\n",
         "NoDrives\t28\tCDE\tHKEY_CURRENT_USER (line 4)\n"
         "NoViewOnDrive\t4\tC\tHKEY_CURRENT_USER (line 6)\n",
         "HKEY_CURRENT_USER (line 6)"},
        {"d.reg",
         reg +
             "\"NoDrives\"=dword:1c\r\n\"NoViewOnDrive\"=dword:4\r\n\"NoDrives\"=-\r\n"
             "[-HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Polic]\r\n"
             "[HKEY_LOCAL_MACHINE\\" +
             key +
             "]\r\n\"NoDrives\"=hex(4):1c,00\r\n"
             "[-hkey_local_machine\\software\\microsoft\\]\r\n",
         "NoDrives\tdeleted\t-\tHKEY_CURRENT_USER (line 6)\n"
         "NoViewOnDrive\t4\tC\tHKEY_CURRENT_USER (line 5)\n"
         "NoDrives\tdeleted\t-\tHKEY_LOCAL_MACHINE (line 10, key deleted)\n"
         "NoViewOnDrive\tdeleted\t-\tHKEY_LOCAL_MACHINE (line 10, key deleted)\n",
         ""},
        {"a.pol", head + set + binary + delvals,
         "NoDrives\tdeleted\t-\t" + at(head + set + binary) +
             " (**delvals.)\nNoViewOnDrive\tdeleted\t-\t" + at(head + set + binary) +
             " (**delvals.)\n",
         ""},
        {"b.pol", head + delvals + set + binary + deleteValues + pol("**Del.NoDrives", 1, ""),
         "NoDrives\tdeleted\t-\t" + at(head + delvals + set + binary + deleteValues) +
             "\nNoViewOnDrive\tdeleted\t-\t" + at(head + delvals + set + binary) +
             " (**DeleteValues)\n",
         ""},
        {"d.pol", head + pol("NoDrives", 4, std::string("\x1C\0\0", 3)),
         "NoDrives\ttype 4, not a dword\t-\tbyte 8\n", ""},
        {"c.pol", head + delvals + set,
         "NoDrives\t28\tCDE\t" + at(head + delvals) +
             "\nNoViewOnDrive\tdeleted\t-\tbyte 8 (**delvals.)\n",
         ""},
        {"d.pol", head + set + sibling + parent + sibling,
         "NoDrives\tdeleted\t-\t" + at(head + set + sibling) +
             " (**DeleteKeys)\nNoViewOnDrive\tdeleted\t-\t" + at(head + set + sibling) +
             " (**DeleteKeys)\n",
         ""},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteAll(dir.File(c.name), c.bytes);
        const auto read = ReadDeployedValues(dir.File(c.name));
        ASSERT_TRUE(read.ok()) << read.failure().message;
        EXPECT_EQ(FormatValues(read->values, true), c.tsv);
        for (const FoundValue& value : read->values)
            EXPECT_EQ(value.note, value.where == c.noted ? kBinaryNote : "") << value.where;
        // Written over, each file must apply the new value, whatever deletions it holds.
        if (!c.name.ends_with(".pol")) continue;
        const auto merged =
            regpol::EditDriveValues(c.bytes, 3, DrivePolicy::Hide, regpol::PolAction::Set);
        ASSERT_TRUE(merged.ok());
        test::WriteAll(dir.File(c.name), *merged);
        const std::string again = FormatValues(ReadDeployedValues(dir.File(c.name))->values, true);
        EXPECT_NE(again.find("NoDrives\t3\tAB\tbyte "), std::string::npos) << again;
        EXPECT_EQ(again.find("NoDrives\tdeleted"), std::string::npos) << again;
    }
}

}  // namespace
}  // namespace tarnwick::readback
