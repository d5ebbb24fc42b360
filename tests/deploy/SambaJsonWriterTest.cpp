// The Samba JSON for each set and policy: plain ASCII with LF line ends, and exactly the chosen
// values for users as REG_DWORD numbers when read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "deploy/SambaJsonWriter.h"
#include "readback/SambaJsonReader.h"

namespace tarnwick {
namespace {

TEST(SambaJsonWriter, HoldsTheChosenValuesWithTheMask) {
    const struct {
        DriveSet drives;
        DrivePolicy policy;
        std::vector<std::string> values;  // in file order
    } cases[] = {
        {DriveSet(4, DriveMode::Following), DrivePolicy::Hide, {"NoDrives"}},
        {DriveSet(28, DriveMode::Following), DrivePolicy::Prevent, {"NoViewOnDrive"}},
        {DriveSet(3, DriveMode::AllBut), DrivePolicy::Both, {"NoDrives", "NoViewOnDrive"}},
        {DriveSet(kAllDrivesMask, DriveMode::Following), DrivePolicy::Both,
         {"NoDrives", "NoViewOnDrive"}},
    };
    for (const auto& c : cases) {
        const std::uint32_t mask = c.drives.Mask();
        const std::string json = deploy::SambaJson(mask, c.policy);
        SCOPED_TRACE(json);
        EXPECT_TRUE(std::all_of(json.begin(), json.end(),
                                [](char ch) { return ch == '\n' || (ch >= ' ' && ch <= '~'); }));
        EXPECT_EQ(json.back(), '\n');
        const auto read = readback::ReadSambaJson(json);
        ASSERT_TRUE(read.ok()) << read.failure().message;
        ASSERT_EQ(read->size(), c.values.size());
        for (std::size_t i = 0; i < c.values.size(); ++i) {
            const FoundValue& value = (*read)[i];
            EXPECT_EQ(value.valueName, c.values[i]);
            EXPECT_EQ(value.state, "set");
            EXPECT_EQ(value.mask, mask);
            EXPECT_EQ(value.where, "USER, entry " + std::to_string(i + 1));
            EXPECT_EQ(value.note, "");
        }
    }
}

}  // namespace
}  // namespace tarnwick
