// The Samba JSON for each set and policy: ASCII with LF line ends, and read back, exactly the
// chosen values for users as REG_DWORD numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "deploy/SambaJsonWriter.h"
#include "readback/SambaJsonReader.h"

namespace tarnwick {
namespace {

TEST(SambaJsonWriter, HoldsTheChosenValuesWithTheMask) {
    const std::vector<std::string> both = {"NoDrives", "NoViewOnDrive"};
    const struct {
        DriveSet drives;
        DrivePolicy policy;
        std::vector<std::string> values;  // in file order
    } cases[] = {
        {DriveSet(4, DriveMode::Following), DrivePolicy::Hide, {"NoDrives"}},
        {DriveSet(1u << 25, DriveMode::Following), DrivePolicy::Prevent, {"NoViewOnDrive"}},
        {DriveSet(3, DriveMode::AllBut), DrivePolicy::Both, both},
        {DriveSet(kAllDrivesMask, DriveMode::Following), DrivePolicy::Both, both},
    };
    for (const auto& c : cases) {
        const std::string json = deploy::SambaJson(c.drives.Mask(), c.policy);
        SCOPED_TRACE(json);
        EXPECT_TRUE(std::all_of(json.begin(), json.end(),
                                [](char ch) { return ch == '\n' || (ch >= ' ' && ch <= '~'); }));
        const auto read = readback::ReadSambaJson(json);
        ASSERT_TRUE(read.ok()) << read.failure().message;
        ASSERT_EQ(read->size(), c.values.size());
        for (std::size_t i = 0; i < c.values.size(); ++i) {
            const FoundValue& value = (*read)[i];
            EXPECT_EQ(value.valueName, c.values[i]);
            EXPECT_EQ(value.mask, c.drives.Mask());
            EXPECT_EQ(value.where + value.note, "USER, entry " + std::to_string(i + 1));
        }
    }
}

}  // namespace
}  // namespace tarnwick
