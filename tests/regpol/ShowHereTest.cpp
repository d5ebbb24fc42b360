// `tarnwick-cli show --here` against the registry as `reg add` left it (under Wine, its reg.exe):
// nothing set, a user value, the same value for the machine too, a value of the wrong type, the
// restrictions beside them; then `reg import` of the file `reg --remove` writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::test {
namespace {

const std::string kKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const std::string kStorage = "\\Software\\Policies\\Microsoft\\Windows\\RemovableStorageDevices";
const std::string kInstall = "HKLM\\Software\\Policies\\Microsoft\\Windows\\DeviceInstall";
const std::string kFve = "HKLM\\System\\CurrentControlSet\\Policies\\Microsoft\\FVE";

class ShowHere : public ::testing::Test {
  protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }

    // Runs reg.exe; /reg:64 so that a 32-bit reg.exe writes HKLM where a 64-bit Explorer reads.
    void Reg(std::vector<std::string> args) {
        args.push_back("/reg:64");
        const ProgramRun run = RunProgram("C:\\windows\\system32\\reg.exe", args, scratch_.Path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }
    void Clear() {
        for (std::string key : {kInstall, kFve, "HKCU" + kStorage, "HKLM" + kStorage})
            RunProgram("C:\\windows\\system32\\reg.exe", {"delete", key, "/f", "/reg:64"},
                       scratch_.Path());
        for (const char* hive : {"HKCU", "HKLM"})
            for (const char* value : {"NoDrives", "NoViewOnDrive"})
                RunProgram("C:\\windows\\system32\\reg.exe",
                           {"delete", hive + kKey, "/v", value, "/f", "/reg:64"}, scratch_.Path());
    }
    ProgramRun Show() { return RunProgram(TARNWICK_CLI, {"show", "--here"}, scratch_.Path()); }

    TempDir scratch_;
};

TEST_F(ShowHere, ListsWhatRegSetAndNotesAValueSetTwiceAndTheOtherRestrictions) {
    const std::string undo = scratch_.File("undo.reg");
    RunProgram(TARNWICK_CLI, {"reg", "--remove", "--policy", "both", "--output", undo},
               scratch_.Path());
    const auto add = [](std::string key, const char* value, const char* type = "REG_DWORD",
                        const char* data = "1") {
        return std::vector<std::string>{"add", std::move(key), "/v", value, "/t",
                                        type,  "/d",           data, "/f"};
    };
    const std::string limits = "Not stopped (Microsoft's description of both policies): a path";
    const std::string classKey = kStorage + "\\{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}";
    const struct {
        std::vector<std::string> reg;    // reg.exe's arguments; none: nothing changed
        std::vector<std::string> lines;  // in stdout, in this order
        std::string absent = "";         // not in stdout
    } steps[] = {
        {{},
         {"No drive is restricted: neither NoDrives nor NoViewOnDrive is set",
          "Other restrictions: none set", limits},
         "Value name"},
        {add("HKCU" + kKey, "NoDrives", "REG_DWORD", "28"),
         {"Value name  Mask  Drives  Where", "NoDrives    28    CDE     HKEY_CURRENT_USER"}},
        {add("HKLM" + kKey, "NoDrives", "REG_DWORD", "67108863"),
         {"NoDrives    28        CDE                         HKEY_CURRENT_USER",
          "NoDrives    67108863  ABCDEFGHIJKLMNOPQRSTUVWXYZ  HKEY_LOCAL_MACHINE",
          "Note: NoDrives is set under both HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE."}},
        {add("HKCU" + kKey, "NoViewOnDrive", "REG_SZ", "4"),
         {"NoViewOnDrive  REG_SZ, not a dword  -"}},
        {add("HKLM" + kStorage, "Deny_All"),
         {"Other restrictions in force:\n  All removable storage classes: all access denied "
          "(Deny_All=1), in HKEY_LOCAL_MACHINE" +
          kStorage + "\n" + limits}},
        {add("HKCU" + classKey, "Deny_Write"),
         {"  Removable disks: write access denied (Deny_Write=1), in HKEY_CURRENT_USER" + classKey +
          "\n  All removable storage classes"}},
        {add(kInstall + "\\Restrictions", "DenyRemovableDevices"),
         {"  Device installation: removable devices denied (DenyRemovableDevices=1), in HKEY_LOCAL_"
          "MACHINE\\Software\\Policies\\Microsoft\\Windows\\DeviceInstall\\Restrictions\n"}},
        {add(kFve, "RDVDenyWriteAccess"),
         {"  BitLocker: write access denied to removable drives it does not protect "
          "(RDVDenyWriteAccess=1), in HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Policies\\"
          "Microsoft\\FVE\n" +
          limits}},
        {{"import", undo},
         {"NoDrives    67108863  ABCDEFGHIJKLMNOPQRSTUVWXYZ  HKEY_LOCAL_MACHINE"},
         "HKEY_CURRENT_USER\n"},
    };
    for (const auto& step : steps) {
        if (!step.reg.empty()) Reg(step.reg);
        const ProgramRun run = Show();
        EXPECT_EQ(run.exitCode, 0) << run.err;
        std::size_t at = 0;
        for (const auto& line : step.lines) {
            const std::size_t found = run.out.find(line, at);
            EXPECT_NE(found, std::string::npos) << line << "\nin:\n" << run.out;
            if (found != std::string::npos) at = found + line.size();
        }
        EXPECT_TRUE(step.absent.empty() || run.out.find(step.absent) == std::string::npos)
            << run.out;
    }
}

// The local policy (in the Wine prefix): Registry.pol and gpt.ini in the real System32, whichever
// name a 32-bit program sees it under.
TEST(LocalPolicy, PolLocalWritesTheLocalPolicyThatShowReadsBack) {
    TempDir scratch;
    // This test is a 32-bit program too: Sysnative, where it exists, is the real System32.
    const bool wow64 = std::filesystem::exists(FsPath("C:\\windows\\Sysnative"));
    const std::string folder =
        std::string("C:\\windows\\") + (wow64 ? "Sysnative" : "system32") + "\\GroupPolicy";
    if (std::filesystem::exists(FsPath(folder))) GTEST_SKIP() << "a local policy is there already";
    const ProgramRun run =
        RunProgram(TARNWICK_CLI, {"pol", "--drives", "CDE", "--local"}, scratch.Path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Run: gpupdate /target:user /force"), std::string::npos) << run.out;
    const ProgramRun shown = RunProgram(TARNWICK_CLI, {"show", folder, "--tsv"}, scratch.Path());
    EXPECT_EQ(shown.out, "NoDrives\t28\tCDE\tHKEY_CURRENT_USER, User\\Registry.pol, byte 8\n");
    EXPECT_EQ(ReadAll(folder + "\\gpt.ini"),
              "[General]\r\nVersion=65536\r\ngPCUserExtensionNames="
              "[{35378EAC-683F-11D2-A89A-00C04FBBCFA2}{D02B1F73-3407-48AE-BA88-E8213C6761F1}]\r\n");
    std::filesystem::remove_all(FsPath(folder));
}

// The Non-Administrators local policy; --now must say that Wine runs no policy engine rather than
// claim the values are in force.
TEST(LocalPolicy, PolLocalForNonAdministratorsWritesTheirLocalPolicyAndNowTellsTheTruth) {
    TempDir scratch;
    const bool wow64 = std::filesystem::exists(FsPath("C:\\windows\\Sysnative"));
    const std::string users =
        std::string("C:\\windows\\") + (wow64 ? "Sysnative" : "System32") + "\\GroupPolicyUsers";
    const std::string folder = users + "\\S-1-5-32-545";
    if (std::filesystem::exists(FsPath(users))) GTEST_SKIP() << "a local policy is there already";
    const ProgramRun run = RunProgram(
        TARNWICK_CLI, {"pol", "--drives", "CDE", "--local", "--for", "non-administrators", "--now"},
        scratch.Path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Created: " + folder + "\\User\\Registry.pol"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("this is Wine, where no Group Policy engine runs"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Not in force: NoDrives under HKEY_CURRENT_USER is not set"),
              std::string::npos)
        << run.out;
    std::filesystem::remove_all(FsPath(users));
}

}  // namespace
}  // namespace tarnwick::test
