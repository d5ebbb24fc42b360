// The window's "Make ADMX and ADML..." command under Wine, driven from outside: the ticked drives
// and the mode go to the pair in the folder pasted into the picker, the outcome comes in a message
// box, and the pair after three sets and a repeat holds the bytes the native build writes. A
// folder the Group Policy editor does not read gets a question first; No writes nothing there.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/resource.h"
#include "fileio/FileLock.h"
#include "tests/app/RunningTarnwick.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::test {
namespace {

BOOL CALLBACK MatchEdit(HWND child, LPARAM data) {
    wchar_t name[16] = {};
    GetClassNameW(child, name, 16);
    if (std::wstring(name) != L"Edit" || !IsWindowVisible(child)) return TRUE;
    *reinterpret_cast<HWND*>(data) = child;
    return FALSE;
}

// The picker's name box, where a path can be pasted: the file-name edit control (edt1) where
// there is one, else the first edit box inside the picker.
HWND NameBox(HWND picker) {
    HWND found = GetDlgItem(picker, 0x480);
    if (found) return found;
    EnumChildWindows(picker, MatchEdit, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Types `path` into the picker's name box once the picker has settled: it may still be filling
// its view, which clears the box, when it first shows.
void Paste(HWND picker, const std::string& path) {
    const std::wstring wide = Utf16Of(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        HWND box = NameBox(picker);
        if (box) {
            // Messages, not SetWindowText/GetWindowText: the box belongs to another process.
            SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
            SendMessageW(picker, WM_NULL, 0, 0);
            Sleep(50);
            wchar_t text[1024] = {};
            SendMessageW(box, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
            if (wide == text) return;
        }
        Sleep(50);
    }
    ADD_FAILURE() << "the picker's name box does not keep a pasted path";
}

std::string Expected(const char* name) {
    return ReadAll(std::string(TARNWICK_SOURCE_DIR) + "/tests/policy/expected/" + name);
}

struct Step {
    const char* ticked;  // drive letters to tick; the others are cleared
    bool allBut;
    std::string folder;        // pasted into the picker
    std::vector<int> answers;  // to the boxes after the picker
    const wchar_t* box;        // the start of the last box's text
};

TEST(PolicyWindow, PickerAnsweredTheTickedDrivesGoToThePair) {
    TempDir windows;
    const std::string windowsStore = windows.File("PolicyDefinitions");
    std::filesystem::create_directory(FsPath(windowsStore));
    TempDir central;  // a central store, reached by typing its path
    const std::string store = central.File("PolicyDefinitions");
    std::filesystem::create_directory(FsPath(store));
    const std::wstring hint =
        L"'" + Utf16Of(central.Path()) + L"' is not a PolicyDefinitions folder";
    const std::vector<Step> steps = {
        {"", false, "", {}, L"Please select one or more drives."},
        {"CDE", false, central.Path(), {IDNO}, hint.c_str()},  // the hint, answered No
        {"CDE", false, store, {IDOK}, L"Created "},
        {"C", true, store, {IDOK}, L"Added the item ALLBUTC "},
        {"AB", false, store, {IDOK}, L"Added the item ABOnly "},
        {"CDEFGHIJKLMNOPQRSTUVWXYZ",
         true,
         store,
         {IDOK},
         L"The drive set ALLBUTCDEFGHIJKLMNOPQRSTUVWXYZ "},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.folder);
        // A new process each time: Wine's picker, opened a second time in one process, takes a
        // pasted path as a folder to browse into rather than the answer.
        RunningTarnwick app(Utf16Of(windows.Path()));
        for (int i = 0; i < 26; ++i) {
            const bool tick =
                std::string(step.ticked).find(static_cast<char>('A' + i)) != std::string::npos;
            if (app.Checked(IDC_CHKDRIVE_0 + i) != tick) app.Click(IDC_CHKDRIVE_0 + i);
        }
        app.Click(step.allBut ? IDC_OPTION1_1 : IDC_OPTION1_0);
        std::vector<int> answers = {IDOK};
        answers.insert(answers.end(), step.answers.begin(), step.answers.end());
        const std::vector<SeenBox> boxes =
            app.ChooseMenuItem(IDM_POLICY_MAKE, answers, [&](HWND window, std::size_t n) {
                if (n == 0 && !step.folder.empty()) Paste(window, step.folder);
            });
        ASSERT_EQ(boxes.size(), step.folder.empty() ? 1u : 1u + step.answers.size());
        EXPECT_EQ(boxes.back().text.rfind(step.box, 0), 0u) << boxes.back().text;
    }
    EXPECT_TRUE(ReadAll(central.File("PolicyDefinitions\\TarnwickDrives.admx")) ==
                Expected("TarnwickDrives.admx"));
    EXPECT_TRUE(ReadAll(central.File("PolicyDefinitions\\en-US\\TarnwickDrives.adml")) ==
                Expected("TarnwickDrives.adml"));
    EXPECT_FALSE(std::filesystem::exists(FsPath(windowsStore + "\\TarnwickDrives.admx")));
    EXPECT_FALSE(std::filesystem::exists(FsPath(central.File("TarnwickDrives.admx"))));
}

// While another writer holds the store, a box names the store it waits for, the main window keeps
// answering, and Cancel stops the run with nothing written.
TEST(PolicyWindow, AWaitForAnotherWriterShowsAndCanBeCancelled) {
    TempDir windows;
    const std::string store = windows.File("PolicyDefinitions");
    std::filesystem::create_directory(FsPath(store));
    fileio::FileLock held;
    ASSERT_TRUE(held.Take(store + "\\TarnwickDrives.admx.lock", std::chrono::milliseconds(0)));
    RunningTarnwick app(Utf16Of(windows.Path()));
    app.Click(IDC_CHKDRIVE_0 + 2);
    bool answering = false;
    const std::vector<SeenBox> boxes =
        app.ChooseMenuItem(IDM_POLICY_MAKE, {IDOK, IDCANCEL}, [&](HWND window, std::size_t n) {
            if (n == 0) Paste(window, store);
            DWORD_PTR result = 0;
            if (n == 1) {
                answering = SendMessageTimeoutW(app.Window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000,
                                                &result) != 0;
            }
        });
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_NE(boxes[1].text.find(Utf16Of(store)), std::wstring::npos) << boxes[1].text;
    EXPECT_TRUE(answering);
    EXPECT_EQ(boxes[2].text.rfind(L"Stopped waiting", 0), 0u) << boxes[2].text;
    EXPECT_FALSE(std::filesystem::exists(FsPath(store + "\\TarnwickDrives.admx")));
}

}  // namespace
}  // namespace tarnwick::test
