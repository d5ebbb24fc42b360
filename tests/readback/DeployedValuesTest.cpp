// The readers of the deployed forms: other writers' .reg, Samba JSON and Registry.pol files read
// as their clients apply them (regedit, samba-tool gpo load, the Group Policy engine).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "readback/DeployedValues.h"
#include "regpol/PolFile.h"
#include "tests/support/TestFiles.h"

namespace tarnwick {
namespace {

std::string Le32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

TEST(DeployedValues, OtherWritersFilesAreReadAsTheirClientsApplyThem) {
    const std::string key(kExplorerPoliciesKey);
    auto entry = [&](const char* name, const char* type, const char* data) {
        return std::string(
                   "{\"keyname\": \"Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\"
                   "Policies\\\\Explorer\", \"valuename\": \"") +
               name + "\", \"class\": \"USER\", \"type\": " + type + ", \"data\": " + data + "}";
    };
    auto pol = [&](const std::string& value, std::uint32_t type, const std::string& data) {
        return regpol::EncodeRecord(key, value, type, data);
    };
    const std::string reg =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" + key + "]\r\n";
    const std::string head = regpol::PolHeader(), set = pol("NoDrives", 4, Le32(28));
    const std::string binary = pol("NoViewOnDrive", 3, Le32(4));
    const std::string delvals = pol("**delvals.", 1, test::Utf16(" ") + std::string(2, '\0'));
    const std::string deleteValues =
        pol("**DeleteValues", 1, test::Utf16("Other; noviewondrive") + std::string(2, '\0'));
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
         "NoDrives\tREG_SZ\t-\tUSER, entry 1\nNoDrives\tREG_QWORD\t-\tUSER, entry 2\n"
         "NoViewOnDrive\t28\tCDE\tUSER, entry 3\n",
         "USER, entry 3"},
        {"a.reg",
         reg + "\"NoDrives\"=hex(4):1c,00,\\\r\n  00,00\r\n\"NoDrives\"=hex(4):1c,00\r\n"
               "\"NoViewOnDrive\"=hex:04,00,00,00\r\n",
         "NoDrives\t28\tCDE\tHKEY_CURRENT_USER (line 4)\n"
         "NoDrives\tnot a dword (hex(4))\t-\tHKEY_CURRENT_USER (line 6)\n"
         "NoViewOnDrive\t4\tC\tHKEY_CURRENT_USER (line 7)\n",
         "HKEY_CURRENT_USER (line 7)"},
        {"a.pol", head + set + binary + delvals,
         "NoDrives\tdeleted\t-\t" + at(head + set + binary) +
             " (**delvals.)\nNoViewOnDrive\tdeleted\t-\t" + at(head + set + binary) +
             " (**delvals.)\n",
         ""},
        {"b.pol", head + delvals + set + binary + deleteValues + pol("**del.NoDrives", 1, ""),
         "NoDrives\tdeleted\t-\t" + at(head + delvals + set + binary + deleteValues) +
             "\nNoViewOnDrive\tdeleted\t-\t" + at(head + delvals + set + binary) +
             " (**DeleteValues)\n",
         ""},
        {"c.pol", head + delvals + set,
         "NoDrives\t28\tCDE\t" + at(head + delvals) +
             "\nNoViewOnDrive\tdeleted\t-\tbyte 8 (**delvals.)\n",
         ""},
        {"d.pol", head + pol("NoDrives", 3, Le32(8)), "NoDrives\t8\tD\tbyte 8\n",
         "byte 8"},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteAll(dir.File(c.name), c.bytes);
        const auto read = readback::ReadDeployedValues(dir.File(c.name));
        ASSERT_TRUE(read.ok()) << read.failure().message;
        EXPECT_EQ(readback::FormatValues(read->values, true), c.tsv);
        for (const FoundValue& value : read->values)
            EXPECT_EQ(value.note, value.where == c.noted ? kBinaryNote : "") << value.where;
    }
}

}  // namespace
}  // namespace tarnwick
