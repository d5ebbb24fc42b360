// The Intune scripts for each set, policy and scope: the values and the mask they check or set, the
// hives they act on, that detection only reads, and the file form PowerShell 5.1 reads as UTF-8.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "deploy/IntuneScripts.h"

namespace tarnwick {
namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(IntuneScripts, CheckOrSetExactlyTheChosenValuesInTheChosenHives) {
    using S = deploy::IntuneScope;
    const struct {
        DriveSet drives;
        DrivePolicy policy;
        S scope;
        std::string restricted;  // the header's line
        std::vector<std::string> wanted, unwanted;
    } cases[] = {
        {DriveSet(4, DriveMode::Following),
         DrivePolicy::Hide,
         S{},
         "C (C only)",
         {"    'NoDrives' = 4\n"},
         {"'NoViewOnDrive' ="}},
        {DriveSet(3, DriveMode::AllBut),
         DrivePolicy::Both,
         S{true, false},
         "C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, V, W, X, Y, Z (all but AB)",
         {"    'NoDrives' = 67108860\n    'NoViewOnDrive' = 67108860\n}"},
         {}},
        {DriveSet(kAllDrivesMask, DriveMode::AllBut),
         DrivePolicy::Prevent,
         S{false, true},
         "none (all but ABCDEFGHIJKLMNOPQRSTUVWXYZ)",
         {"    'NoViewOnDrive' = 0\n"},
         {"'NoDrives' ="}},
    };
    for (const auto& c : cases) {
        for (const bool detect : {true, false}) {
            const std::string text = detect ? deploy::DetectScript(c.drives, c.policy, c.scope)
                                            : deploy::RemediateScript(c.drives, c.policy, c.scope);
            SCOPED_TRACE(text);
            EXPECT_TRUE(Has(text, "# Drives restricted: " + c.restricted + ".\n"));
            EXPECT_TRUE(Has(text, "$subKey = '" + std::string(kExplorerPoliciesKey) + "'\n"));
            for (const auto& part : c.wanted)
                EXPECT_TRUE(Has(text, part)) << part;
            for (const auto& part : c.unwanted)
                EXPECT_FALSE(Has(text, part)) << part;
            // The hives: HKEY_LOCAL_MACHINE alone, or the users' (and the profiles not signed in,
            // loaded and unloaded again).
            EXPECT_EQ(Has(text, "RegistryHive]::Users"), !c.scope.machine);
            EXPECT_EQ(Has(text, "Root = $root"), c.scope.machine);
            EXPECT_EQ(Has(text, "reg.exe load"), c.scope.offlineProfiles);
            EXPECT_EQ(Has(text, "} finally {") && Has(text, "reg.exe unload"),
                      c.scope.offlineProfiles);
            // Detection reads only; remediation writes DWORDs.
            EXPECT_EQ(Has(text, "SetValue(") || Has(text, "CreateSubKey("), !detect);
            EXPECT_FALSE(Has(text, "Delete"));
            EXPECT_TRUE(Has(text, "    exit 1\n"));  // in the wrong context
            EXPECT_EQ(text.substr(text.size() - 7), "exit 0\n");
            EXPECT_TRUE(std::none_of(text.begin(), text.end(), [](char ch) {
                return ch == '\r' || static_cast<unsigned char>(ch) > 0x7E;
            }));
            const std::string bytes = deploy::ScriptFileBytes(text);
            EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
            EXPECT_EQ(bytes.size(), 3 + text.size() + std::count(text.begin(), text.end(), '\n'));
            for (std::size_t i = bytes.find('\n'); i != std::string::npos;
                 i = bytes.find('\n', i + 1))
                ASSERT_EQ(bytes[i - 1], '\r') << "a bare LF at byte " << i;
        }
    }
}

}  // namespace
}  // namespace tarnwick
