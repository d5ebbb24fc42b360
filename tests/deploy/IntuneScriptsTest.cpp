// The Intune scripts for each set, policy and scope: the values and the mask they check or set, the
// hives they act on, that detection only reads, and the file form PowerShell 5.1 reads as UTF-8.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "deploy/IntuneScripts.h"

namespace tarnwick {
namespace {

TEST(IntuneScripts, CheckOrSetExactlyTheChosenValuesInTheChosenHives) {
    using S = deploy::IntuneScope;
    const struct {
        DriveSet drives;
        DrivePolicy policy;
        S scope;
        std::string restricted, wanted;  // the header's line; the values and their number
    } cases[] = {
        {DriveSet(4, DriveMode::Following), DrivePolicy::Hide, S{}, "C (C only)", "'NoDrives' = 4"},
        {DriveSet(3, DriveMode::AllBut), DrivePolicy::Both, S{true, false},
         "C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, V, W, X, Y, Z (all but AB)",
         "'NoDrives' = 67108860\n    'NoViewOnDrive' = 67108860"},
        {DriveSet(kAllDrivesMask, DriveMode::AllBut), DrivePolicy::Prevent, S{false, true},
         "none (all but ABCDEFGHIJKLMNOPQRSTUVWXYZ)", "'NoViewOnDrive' = 0"},
    };
    for (const auto& c : cases) {
        for (const bool detect : {true, false}) {
            const std::string text = detect ? deploy::DetectScript(c.drives, c.policy, c.scope)
                                            : deploy::RemediateScript(c.drives, c.policy, c.scope);
            SCOPED_TRACE(text);
            const auto has = [&](const std::string& part) { return text.find(part) != text.npos; };
            EXPECT_TRUE(has("# Drives restricted: " + c.restricted + ".\n"));
            EXPECT_TRUE(has("$wanted = [ordered]@{\n    " + c.wanted + "\n}\n"));
            // The hives: HKEY_LOCAL_MACHINE alone, or the users' (and the profiles not signed in,
            // loaded and unloaded again).
            EXPECT_EQ(has("RegistryHive]::Users"), !c.scope.machine);
            EXPECT_EQ(has("Root = $root"), c.scope.machine);
            EXPECT_EQ(has("reg.exe load"), c.scope.offlineProfiles);
            EXPECT_EQ(has("} finally {") && has("reg.exe unload"), c.scope.offlineProfiles);
            // Detection reads only; remediation writes.
            EXPECT_EQ(has("SetValue(") || has("CreateSubKey(") || has("Delete"), !detect);
            EXPECT_TRUE(has("    exit 1\n"));  // in the wrong context
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
