// The window's "Export..." command under Wine: the ticked drives, saved through the Save dialog
// with each file type chosen in it, give the same bytes as tarnwick-cli writes for them, and the
// outcome comes in a message box.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/resource.h"
#include "fileio/FileLock.h"
#include "tests/app/RunningTarnwick.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::test {
namespace {

struct Found {
    const wchar_t* className;
    const wchar_t* text = nullptr;  // any when none
    HWND window = nullptr;
};

BOOL CALLBACK MatchVisible(HWND child, LPARAM data) {
    auto* found = reinterpret_cast<Found*>(data);
    wchar_t name[32] = {}, text[64] = {};
    GetClassNameW(child, name, 32);
    GetWindowTextW(child, text, 64);
    if (std::wstring(name) != found->className || !IsWindowVisible(child) ||
        (found->text && std::wstring(text) != found->text))
        return TRUE;
    found->window = child;
    return FALSE;
}

HWND Child(HWND dialog, const wchar_t* className, const wchar_t* text = nullptr) {
    Found found{className, text};
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

void SaveReplacing(HWND dialog) {  // its own "replace it?" is no box the answerer sees
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 200 && IsWindow(dialog); ++i, Sleep(50))
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", nullptr)) != nullptr;)
            if (GetWindow(w, GW_OWNER) == dialog) PostMessageW(w, WM_COMMAND, IDYES, 0);
}

TEST(ExportWindow, EachFileTypeSavesWhatTheCommandLineWrites) {
    TempDir dir;
    const struct {
        int typeIndex;
        std::string name;
        std::vector<std::string> cli;    // the same output from tarnwick-cli, into "cli-" + name
        std::vector<std::string> files;  // what to compare, under name and "cli-" + name
        bool remove = false;  // no drive ticked; a .pol holds both values, as pol writes them
    } cases[] = {
        {1, "drives.reg", {"reg", "--output"}, {""}},
        {2, "Registry.pol", {"pol", "--output"}, {""}},
        {3, "drives.json", {"samba", "--output"}, {""}},
        {4,
         "intune",
         {"intune", "--output"},
         {"\\Detect-TarnwickDrives.ps1", "\\Remediate-TarnwickDrives.ps1"}},
        {2, "both.pol", {"pol", "--remove", "--force", "--output"}, {""}, true},
        {4,
         "undo",
         {"intune", "--remove", "--output"},
         {"\\Detect-TarnwickDrivesRemoved.ps1", "\\Remove-TarnwickDrives.ps1"},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A new process each time, as Wine's dialogs are not reused well within one.
        const bool seeded = c.remove && c.typeIndex == 2;
        if (seeded) {
            RunProgram(TARNWICK_CLI,
                       {"pol", "--policy", "both", "--drives", "AB", "--output", dir.File(c.name)},
                       dir.Path());
            std::filesystem::copy_file(FsPath(dir.File(c.name)), FsPath(dir.File("cli-" + c.name)));
        }
        RunningTarnwick app(std::nullopt);
        for (int i : {2, 3, 4})
            if (!c.remove) app.Click(IDC_CHKDRIVE_0 + i);
        const std::vector<SeenBox> boxes =
            app.ChooseMenuItem(IDM_POLICY_EXPORT, {IDOK, IDOK}, [&](HWND window, std::size_t n) {
                if (n != 0) return;
                Answer(window, c.typeIndex, dir.File(c.name));
                if (c.remove)
                    SendMessageW(Child(window, L"Button", L"Remove the restriction"), BM_CLICK, 0,
                                 0);
                if (seeded) SaveReplacing(window);
            });
        ASSERT_EQ(boxes.size(), 2u);
        std::vector<std::string> args = c.cli;
        args.push_back(dir.File("cli-" + c.name));
        if (!c.remove) args.insert(args.end(), {"--drives", "CDE"});
        const ProgramRun run = RunProgram(TARNWICK_CLI, args, dir.Path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const auto at = run.out.find("NoDrives: ");  // the CLI's line for the value removed
        const std::string told = c.remove ? run.out.substr(at, run.out.find('\n', at) - at)
                                          : "Saved NoDrives = 28 (drives CDE hidden) to ";
        EXPECT_NE(Utf8(boxes.back().text).find(told), std::string::npos) << told;
        const std::string utf16Name("N\0o\0D\0r\0i\0v\0e\0s", 15);  // gone from the file
        EXPECT_TRUE(!seeded || ReadAll(dir.File(c.name)).find(utf16Name) == std::string::npos);
        for (const auto& file : c.files) {
            EXPECT_TRUE(ReadAll(dir.File(c.name) + file) ==
                        ReadAll(dir.File("cli-" + c.name) + file))
                << c.name << file;
        }
    }
}

void Press(HWND dialog, int id) {
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// Preference items saved into a policy object's folder, for three conditions typed into Export's
// small dialog (a group's SID looked up, two added and listed, the last one left typed), are what
// tarnwick-cli gpp writes there for the same conditions, and the outcome says whom, as gpp does.
TEST(ExportWindow, PreferenceItemsForSeveralConditionsAreWhatGppWrites) {
    TempDir dir;
    SetEnvironmentVariableW(L"SOURCE_DATE_EPOCH", L"1767225600");
    for (const char* gpo : {"gpo", "cli-gpo"})
        std::filesystem::create_directories(
            FsPath(dir.File(std::string(gpo) + "\\User\\Preferences\\Registry")));
    RunningTarnwick app(std::nullopt);
    for (int i : {2, 3})
        app.Click(IDC_CHKDRIVE_0 + i);
    LRESULT listed = 0;
    const std::vector<SeenBox> boxes =
        app.ChooseMenuItem(IDM_POLICY_EXPORT, {IDOK, IDOK, IDOK}, [&](HWND window, std::size_t n) {
            if (n == 0)
                Answer(window, 5, dir.File("gpo\\User\\Preferences\\Registry\\Registry.xml"));
            if (n != 1) return;
            SetDlgItemTextW(window, IDC_GPP_NAME, L"administrators");
            Press(window, IDC_GPP_LOOKUP);
            Press(window, IDC_GPP_ADD);
            Press(window, IDC_GPP_OU);
            SetDlgItemTextW(window, IDC_GPP_NAME, L"OU=Staff,DC=contoso,DC=com");
            Press(window, IDC_GPP_NOT);
            Press(window, IDC_GPP_ADD);
            Press(window, IDC_GPP_USER);
            SetDlgItemTextW(window, IDC_GPP_NAME, L"CONTOSO\\jdoe");
            SetDlgItemTextW(window, IDC_GPP_SID, L"S-1-5-21-1-2-3-1200");
            listed = SendDlgItemMessageW(window, IDC_GPP_LIST, LB_GETCOUNT, 0, 0);
        });
    ASSERT_EQ(boxes.size(), 3u) << "the Save dialog, the targeting dialog and the outcome";
    EXPECT_EQ(listed, 2);
    const ProgramRun run = RunProgram(
        TARNWICK_CLI,
        {"gpp", "--drives", "CD", "--gpo", dir.File("cli-gpo"), "--group",
         "BUILTIN\\Administrators", "--sid", "S-1-5-32-544", "--ou", "OU=Staff,DC=contoso,DC=com",
         "--not", "--user", "CONTOSO\\jdoe", "--sid", "S-1-5-21-1-2-3-1200"},
        dir.Path());
    SetEnvironmentVariableW(L"SOURCE_DATE_EPOCH", nullptr);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* file : {"\\User\\Preferences\\Registry\\Registry.xml", "\\gpt.ini"}) {
        EXPECT_EQ(ReadAll(dir.File("gpo") + file), ReadAll(dir.File("cli-gpo") + file)) << file;
    }
    const std::wstring whom =
        L"for BUILTIN\\Administrators and not in OU=Staff,DC=contoso,DC=com and user CONTOSO\\jdoe";
    EXPECT_NE(boxes.back().text.find(whom), std::wstring::npos) << Utf8(boxes.back().text);
    EXPECT_NE(Utf16Of(run.out).find(whom), std::wstring::npos) << run.out;
}

// A Registry.pol saved into a policy object's User folder is edited as pol --gpo edits it (the
// same bytes, the version moved, the LDIF told), under the object's lock, whose wait shows and
// can be cancelled; the places pol refuses are refused with nothing written.
TEST(ExportWindow, ARegistryPolInAPolicyObjectIsWhatPolGpoWrites) {
    const std::string guid = "{31B2F340-016D-11D2-945F-00C04FB984F9}";
    const struct {
        const char* name;
        std::string folder;        // the policy object's, or the folder above User
        std::vector<int> answers;  // after the Save dialog's
        std::wstring outcome;      // in the last box
        bool written;
    } cases[] = {
        {"policy object", guid, {IDOK}, L"(gpt.ini version 0 -> 65536)", true},
        {"held by another run", "held", {IDCANCEL, IDOK}, L"Stopped waiting", false},
        {"malformed SID", "GroupPolicyUsers\\S-1-5-", {IDOK}, L"is no security identifier", false},
        {"GPMC backup", "backup\\DomainSysvol\\GPO", {IDOK}, L"is in a GPMC backup", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string folder = dir.File(c.folder);
        std::filesystem::create_directories(FsPath(folder + "\\User"));
        if (c.folder.rfind("backup", 0) == 0) WriteAll(dir.File("backup\\Backup.xml"), "<x/>");
        WriteAll(folder + "\\gpt.ini", "[General]\r\nVersion=0\r\n");
        fileio::FileLock held;
        if (c.folder == "held") {
            ASSERT_TRUE(held.Take(folder + "\\gpt.ini.lock", std::chrono::milliseconds(0)));
        }
        RunningTarnwick app(std::nullopt);
        for (int i : {2, 3})
            app.Click(IDC_CHKDRIVE_0 + i);
        std::vector<int> answers = {IDOK};
        answers.insert(answers.end(), c.answers.begin(), c.answers.end());
        const std::vector<SeenBox> boxes =
            app.ChooseMenuItem(IDM_POLICY_EXPORT, answers, [&](HWND window, std::size_t n) {
                if (n == 0) Answer(window, 2, folder + "\\User\\Registry.pol");
            });
        ASSERT_EQ(boxes.size(), 1 + c.answers.size());
        EXPECT_NE(boxes.back().text.find(c.outcome), std::wstring::npos) << Utf8(boxes.back().text);
        if (c.answers.size() == 2) {
            EXPECT_NE(boxes[1].text.find(Utf16Of(folder)), std::wstring::npos);
        }
        EXPECT_EQ(std::filesystem::exists(FsPath(folder + "\\User\\Registry.pol")), c.written);
        if (!c.written) continue;
        EXPECT_NE(boxes.back().text.find(L"dn: CN=" + Utf16Of(guid)), std::wstring::npos);
        const std::string cli = dir.File("cli\\" + guid);
        std::filesystem::create_directories(FsPath(cli));
        WriteAll(cli + "\\gpt.ini", "[General]\r\nVersion=0\r\n");
        const ProgramRun run =
            RunProgram(TARNWICK_CLI, {"pol", "--drives", "CD", "--gpo", cli}, dir.Path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        for (const char* file : {"\\User\\Registry.pol", "\\gpt.ini"})
            EXPECT_TRUE(ReadAll(folder + file) == ReadAll(cli + file)) << file;
    }
}

// The targeting dialog's every label, choice and button shows its whole text at each common
// scale.
TEST(ExportWindow, TheTargetingDialogsTextsFitAtEveryScale) {
    TempDir dir;
    for (int dpi : {96, 120, 144, 168}) {
        RunningTarnwick app(std::nullopt, dpi);
        app.Click(IDC_CHKDRIVE_0 + 2);
        std::vector<std::wstring> cut;
        app.ChooseMenuItem(IDM_POLICY_EXPORT, {IDOK, IDCANCEL}, [&](HWND window, std::size_t n) {
            if (n == 0) Answer(window, 5, dir.File("Registry.xml"));
            if (n != 1) return;
            // The dialog's font, made here: a font handle is the other process's own.
            HDC dc = CreateCompatibleDC(nullptr);
            HFONT font = CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                                     DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Shell Dlg 2");
            SelectObject(dc, font);
            for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
                 child = GetWindow(child, GW_HWNDNEXT)) {
                wchar_t kind[16] = {}, text[256] = {};
                GetClassNameW(child, kind, 16);
                GetWindowTextW(child, text, 256);
                const LONG style = GetWindowLongW(child, GWL_STYLE);
                const LONG type = style & BS_TYPEMASK;
                if (text[0] == 0 ||
                    (lstrcmpiW(kind, L"Static") != 0 && lstrcmpiW(kind, L"Button") != 0) ||
                    (lstrcmpiW(kind, L"Button") == 0 && type == BS_GROUPBOX))
                    continue;
                RECT room{};
                GetClientRect(child, &room);
                const bool choice = lstrcmpiW(kind, L"Button") == 0 &&
                                    (type == BS_AUTORADIOBUTTON || type == BS_AUTOCHECKBOX);
                if (choice) room.right -= MulDiv(18, dpi, 96);  // the box or circle and its gap
                const LONG height = room.bottom;
                DrawTextW(dc, text, -1, &room, DT_CALCRECT | DT_WORDBREAK);
                if (room.bottom > height) cut.push_back(text);
            }
            DeleteDC(dc);
            DeleteObject(font);
        });
        for (const std::wstring& text : cut)
            ADD_FAILURE() << Utf8(text) << " is cut at " << dpi << " DPI";
    }
}

}  // namespace
}  // namespace tarnwick::test
