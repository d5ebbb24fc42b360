// The window's "Make ADMX and ADML..." command under Wine, driven from outside: the ticked drives
// and the mode go to the pair in the folder pasted into the picker, the outcome comes in a message
// box, and the pair after three sets and a repeat holds the bytes the native build writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/resource.h"
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
            wchar_t text[MAX_PATH] = {};
            SendMessageW(box, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(text));
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
    const wchar_t* box;  // the start of the outcome box's text
};

TEST(PolicyWindow, PickerAnsweredTheTickedDrivesGoToThePair) {
    TempDir windows;
    const std::string windowsStore = windows.File("PolicyDefinitions");
    std::filesystem::create_directory(FsPath(windowsStore));
    TempDir central;  // a central store, reached by typing its path

    const Step steps[] = {
        {"", false, L"Please select one or more drives."},
        {"CDE", false, L"Created "},
        {"C", true, L"Added the item ALLBUTC "},
        {"AB", false, L"Added the item ABOnly "},
        {"CDEFGHIJKLMNOPQRSTUVWXYZ", true, L"The drive set ALLBUTCDEFGHIJKLMNOPQRSTUVWXYZ "},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.ticked);
        // A new process each time: Wine's picker, opened a second time in one process, takes a
        // pasted path as a folder to browse into rather than the answer.
        RunningTarnwick app(Utf16Of(windows.Path()));
        for (int i = 0; i < 26; ++i) {
            const bool tick =
                std::string(step.ticked).find(static_cast<char>('A' + i)) != std::string::npos;
            if (app.Checked(IDC_CHKDRIVE_0 + i) != tick) app.Click(IDC_CHKDRIVE_0 + i);
        }
        app.Click(step.allBut ? IDC_OPTION1_1 : IDC_OPTION1_0);
        const bool pickerExpected = *step.ticked != '\0';
        const std::vector<SeenBox> boxes =
            app.ChooseMenuItem(IDM_POLICY_MAKE, {IDOK, IDOK}, [&](HWND window, std::size_t n) {
                if (n == 0 && pickerExpected) Paste(window, central.Path());
            });
        ASSERT_EQ(boxes.size(), pickerExpected ? 2u : 1u);
        EXPECT_EQ(boxes.back().text.rfind(step.box, 0), 0u);
    }
    EXPECT_TRUE(ReadAll(central.File("TarnwickDrives.admx")) == Expected("TarnwickDrives.admx"));
    EXPECT_TRUE(ReadAll(central.File("en-US\\TarnwickDrives.adml")) ==
                Expected("TarnwickDrives.adml"));
    EXPECT_FALSE(std::filesystem::exists(FsPath(windowsStore + "\\TarnwickDrives.admx")));
}

}  // namespace
}  // namespace tarnwick::test
