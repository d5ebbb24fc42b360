// The listing's warnings and its readable table.
#include "readback/Listing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwick::readback {
namespace {

DriveItem Item(const char* name, std::uint32_t value, const char* text, int list = 0) {
    return {name, text, value, "NoDrives", list, 0};
}

TEST(Listing, WarnsAboutWhatWouldRestrictTheWrongDrives) {
    const struct {
        std::vector<DriveItem> items;
        std::vector<std::string> warnings;  // each a part of one warning, in order
    } cases[] = {
        // Consistent items, and texts that name no letter, give no warning.
        {{Item("CDEOnly", 28, "Restrict C, D and E only"), Item("AB", 3, "Restrict A and B drives"),
          Item("ALLBUTC", 67108859, "Restrict all drives but C only"),
          Item("All", 67108863, "Restrict all drives"), Item("None", 0, "Do not restrict drives"),
          Item("Colon", 4, "C: only")},
         {}},
        {{Item("CDOnly", 12, "Restrict C, D and E only")},
         {"NoDrives item CDOnly: the text \"Restrict C, D and E only\" names CDE, but the value 12 "
          "covers CD"}},
        {{Item("COnly", 0, "Restrict C only")}, {"names C, but the value 0 covers no drive"}},
        {{Item("ALLBUTC", 4, "Restrict all drives but C only")},
         {"names C as the drives left free, but the value 4 leaves ABDEFGHIJKLMNOPQRSTUVWXYZ "
          "free"}},
        {{Item("Big", 67108864 + 4, "Restrict C only")},
         {"the value 67108868 has bits above Z, which name no drive"}},
        {{Item("COnly", 4, "C"), Item("conly", 4, "C"), Item("COnly", 4, "C", 1)},
         {"the name conly is in this list twice"}},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> warnings = CheckItems(c.items);
        ASSERT_EQ(warnings.size(), c.warnings.size()) << ::testing::PrintToString(warnings);
        for (std::size_t i = 0; i < warnings.size(); ++i) {
            EXPECT_NE(warnings[i].find(c.warnings[i]), std::string::npos) << warnings[i];
        }
    }
}

TEST(Listing, TableAlignsItsColumnsUnderAHeading) {
    const std::string table = FormatTable(
        {Item("ABCDOnly", 15, "Restrict A, B, C and D drives"), Item("N\xC3\xA9", 0, "none")});
    EXPECT_EQ(table,
              "Value name  Item      Value  Drives  Text\n"
              "NoDrives    ABCDOnly  15     ABCD    Restrict A, B, C and D drives\n"
              "NoDrives    N\xC3\xA9        0      -       none\n");
}

}  // namespace
}  // namespace tarnwick::readback
