// The grammar reader as an independent witness of generation: a template made from the sample
// offers, in each drive list, the stock items with the new one right after ABCDOnly.
#include <gtest/gtest.h>

#include <string>

#include "generate/EntryText.h"
#include "generate/FormState.h"
#include "generate/GenerateADM.h"
#include "readback/AdmReader.h"
#include "readback/Listing.h"
#include "readback/TemplateText.h"
#include "tests/generate/TestSelection.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::readback {
namespace {

TEST(GeneratedTemplate, EachListOffersTheNewItemRightAfterABCDOnly) {
    const struct {
        const char* letters;
        bool following;
        const char* name;
        std::uint32_t mask;
        const char* text;
    } cases[] = {
        {"CDE", true, "CDEOnly", 28, "Restrict C, D and E only"},
        {"C", false, "ALLBUTC", 67108859, "Restrict all drives but C only"},
        {"AZ", true, "AZOnly", 33554433, "Restrict A and Z only"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", false, "ALLBUTABCDEFGHIJKLMNOPQRSTUVWXYZ", 0,
         "Restrict all drives but A, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, "
         "V, W, X, Y and Z only"},
    };
    const std::string stock[] = {"ABOnly",   "COnly",     "DOnly",       "ABCOnly",
                                 "ABCDOnly", "ALLDrives", "RestNoDrives"};
    test::TempDir dir;
    for (const auto& c : cases) {
        FormState state;
        state.strSourceADM = std::string(TARNWICK_SOURCE_DIR) + "/samples/system.adm";
        state.strNewADM = dir.File(std::string(c.name) + ".adm");
        const auto selection = test::TestSelection::Of(c.letters, c.following);
        state.dblDriveMask = GetDriveMask(selection);
        ASSERT_TRUE(GenerateADM(selection, state).ok()) << c.name;

        const auto text = DecodeTemplateText(test::ReadAll(state.strNewADM));
        const auto read = text ? ReadAdmDriveLists(*text) : text.failure();
        ASSERT_TRUE(read) << c.name << ": " << read.failure().message;
        const DriveLists& lists = *read;
        ASSERT_EQ(lists.items.size(), 16u) << c.name;
        EXPECT_TRUE(lists.notes.empty()) << lists.notes.front();
        EXPECT_TRUE(CheckItems(lists.items).empty()) << CheckItems(lists.items).front();
        for (std::size_t i = 0; i < lists.items.size(); ++i) {
            const DriveItem& item = lists.items[i];
            EXPECT_EQ(item.valueName, i < 8 ? "NoDrives" : "NoViewOnDrive") << c.name;
            const std::size_t k = i % 8;
            if (k == 5) {
                EXPECT_EQ(item.entryName, c.name);
                EXPECT_EQ(item.mask, c.mask) << c.name;
                EXPECT_EQ(item.displayText, c.text) << c.name;
            } else {
                EXPECT_EQ(item.entryName, stock[k < 5 ? k : k - 1]) << c.name;
            }
        }
    }
}

}  // namespace
}  // namespace tarnwick::readback
