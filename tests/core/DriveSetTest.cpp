// The drive set must name and mask every set exactly as the template's own entry text does, since
// both end up in front of the same administrator (an ADM item and an ADMX item for one set).
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "core/DriveSet.h"
#include "generate/EntryText.h"
#include "generate/FormState.h"
#include "tests/generate/TestSelection.h"

namespace tarnwick {
namespace {

TEST(DriveSet, AgreesWithTheTemplateEntryText) {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::uint32_t> bits(1, kAllDrivesMask);
    for (int round = 0; round < 400; ++round) {
        // The edges first: one drive, all drives, then random sets.
        const std::uint32_t ticked = round == 0 ? 1u : round == 1 ? kAllDrivesMask : bits(random);
        for (const bool following : {true, false}) {
            const DriveSet set(ticked, following ? DriveMode::Following : DriveMode::AllBut);
            const test::TestSelection selection = test::TestSelection::Of(set.Letters(), following);
            ASSERT_EQ(ReadDriveSet(selection), set);

            FormState state;
            const double mask = GetDriveMask(selection);
            const std::string item = BuildItemLine(selection, state, mask);
            const std::string strings = BuildStringsLine(selection, state);
            EXPECT_EQ(set.Mask(), static_cast<std::uint32_t>(mask));
            EXPECT_EQ(set.EntryName(), state.strEntryName);
            EXPECT_EQ(state.strEntryName + "=\"" + set.DisplayText() + "\"\r\n", strings);
            EXPECT_NE(item.find(std::to_string(set.Mask())), std::string::npos);
        }
    }
}

TEST(DriveSet, EmptyAndOutOfRange) {
    const DriveSet none;
    EXPECT_TRUE(none.Empty());
    EXPECT_EQ(none.DisplayText(), "");
    EXPECT_EQ(none.WithMode(DriveMode::AllBut).Mask(), kAllDrivesMask);
    // Bits above Z and indexes outside A..Z change nothing.
    EXPECT_EQ(DriveSet(~0u, DriveMode::Following).Mask(), kAllDrivesMask);
    EXPECT_EQ(none.WithDrive(26, true), none);
    EXPECT_EQ(none.WithDrive(-1, true), none);
    EXPECT_FALSE(none.IsTicked(26));
}

}  // namespace
}  // namespace tarnwick
