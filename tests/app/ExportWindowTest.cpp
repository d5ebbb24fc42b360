// The window's "Export..." command under Wine: the ticked drives, saved through the Save dialog
// with each file type chosen in it, give the same bytes as tarnwick-cli writes for them, and the
// outcome comes in a message box.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/resource.h"
#include "tests/app/RunningTarnwick.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::test {
namespace {

struct Found {
    const wchar_t* className;
    HWND window = nullptr;
};

BOOL CALLBACK MatchVisible(HWND child, LPARAM data) {
    auto* found = reinterpret_cast<Found*>(data);
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    if (std::wstring(name) != found->className || !IsWindowVisible(child)) return TRUE;
    found->window = child;
    return FALSE;
}

HWND Child(HWND dialog, const wchar_t* className) {
    Found found{className};
    EnumChildWindows(dialog, MatchVisible, reinterpret_cast<LPARAM>(&found));
    return found.window;
}

// Chooses the file type as a user would (the selection, then the notification the dialog acts
// on) and types the path into the name box, once the dialog has settled.
void Answer(HWND dialog, int typeIndex, const std::string& path) {
    const std::wstring wide = Utf16Of(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        HWND types = Child(dialog, L"ComboBox");
        HWND box = GetDlgItem(dialog, 0x480) ? GetDlgItem(dialog, 0x480) : Child(dialog, L"Edit");
        if (types && box) {
            SendMessageW(types, CB_SETCURSEL, static_cast<WPARAM>(typeIndex - 1), 0);
            SendMessageW(GetParent(types), WM_COMMAND,
                         MAKEWPARAM(GetDlgCtrlID(types), CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(types));
            SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
            SendMessageW(dialog, WM_NULL, 0, 0);
            Sleep(50);
            wchar_t text[MAX_PATH] = {};
            SendMessageW(box, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(text));
            if (wide == text) return;
        }
        Sleep(50);
    }
    ADD_FAILURE() << "the Save dialog has no file type list and name box that keep a value";
}

TEST(ExportWindow, EachFileTypeSavesWhatTheCommandLineWrites) {
    TempDir dir;
    const struct {
        int typeIndex;
        std::string name;
        std::vector<std::string> cli;    // the same output from tarnwick-cli, into "cli-" + name
        std::vector<std::string> files;  // what to compare, under name and "cli-" + name
    } cases[] = {
        {1, "drives.reg", {"reg", "--output"}, {""}},
        {2, "Registry.pol", {"pol", "--output"}, {""}},
        {3, "drives.json", {"samba", "--output"}, {""}},
        {4,
         "intune",
         {"intune", "--output"},
         {"\\Detect-TarnwickDrives.ps1", "\\Remediate-TarnwickDrives.ps1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A new process each time, as Wine's dialogs are not reused well within one.
        RunningTarnwick app(std::nullopt);
        for (int i : {2, 3, 4})
            app.Click(IDC_CHKDRIVE_0 + i);
        const std::vector<SeenBox> boxes =
            app.ChooseMenuItem(IDM_POLICY_EXPORT, {IDOK, IDOK}, [&](HWND window, std::size_t n) {
                if (n == 0) Answer(window, c.typeIndex, dir.File(c.name));
            });
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes.back().text.rfind(L"Saved NoDrives = 28 (drives CDE hidden) to ", 0), 0u)
            << Utf8(boxes.back().text);
        std::vector<std::string> args = c.cli;
        args.push_back(dir.File("cli-" + c.name));
        args.insert(args.end(), {"--drives", "CDE"});
        const ProgramRun run = RunProgram(TARNWICK_CLI, args, dir.Path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        for (const auto& file : c.files) {
            EXPECT_TRUE(ReadAll(dir.File(c.name) + file) ==
                        ReadAll(dir.File("cli-" + c.name) + file))
                << c.name << file;
        }
    }
}

// Preference items saved into a policy object's folder, for a group typed into Export's small
// dialog, are what tarnwick-cli gpp writes there: Registry.xml and gpt.ini.
TEST(ExportWindow, PreferenceItemsForAGroupAreWhatGppWrites) {
    TempDir dir;
    SetEnvironmentVariableW(L"SOURCE_DATE_EPOCH", L"1767225600");
    for (const char* gpo : {"gpo", "cli-gpo"})
        std::filesystem::create_directories(
            FsPath(dir.File(std::string(gpo) + "\\User\\Preferences\\Registry")));
    RunningTarnwick app(std::nullopt);
    for (int i : {2, 3})
        app.Click(IDC_CHKDRIVE_0 + i);
    const std::vector<SeenBox> boxes =
        app.ChooseMenuItem(IDM_POLICY_EXPORT, {IDOK, IDOK, IDOK}, [&](HWND window, std::size_t n) {
            if (n == 0)
                Answer(window, 5, dir.File("gpo\\User\\Preferences\\Registry\\Registry.xml"));
            if (n != 1) return;
            SendDlgItemMessageW(window, IDC_GPP_EVERYONE, BM_SETCHECK, BST_UNCHECKED, 0);
            SendDlgItemMessageW(window, IDC_GPP_GROUP, BM_SETCHECK, BST_CHECKED, 0);
            SetDlgItemTextW(window, IDC_GPP_GROUPNAME, L"CONTOSO\\Pupils");
            SetDlgItemTextW(window, IDC_GPP_GROUPSID, L"S-1-5-21-1-2-3-1105");
        });
    ASSERT_EQ(boxes.size(), 3u) << "the Save dialog, the targeting dialog and the outcome";
    const ProgramRun run =
        RunProgram(TARNWICK_CLI,
                   {"gpp", "--drives", "CD", "--gpo", dir.File("cli-gpo"), "--group",
                    "CONTOSO\\Pupils", "--sid", "S-1-5-21-1-2-3-1105"},
                   dir.Path());
    SetEnvironmentVariableW(L"SOURCE_DATE_EPOCH", nullptr);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* file : {"\\User\\Preferences\\Registry\\Registry.xml", "\\gpt.ini"}) {
        EXPECT_EQ(ReadAll(dir.File("gpo") + file), ReadAll(dir.File("cli-gpo") + file)) << file;
    }
}

}  // namespace
}  // namespace tarnwick::test
