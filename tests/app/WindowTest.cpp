// The real Tarnwick window under Wine: layout, tab order, start state, the commands, and whole
// "Make ADM" runs through real message boxes.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Dpi.h"
#include "app/resource.h"
#include "tests/app/RunningTarnwick.h"
#include "tests/command/TemplateFiles.h"
#include "tests/support/LayoutModel.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::test {
namespace {

constexpr int kDpi = 96;
int Px(int twips) {
    return twips * kDpi / 1440;
}

int Drive(char letter) {
    return IDC_CHKDRIVE_0 + (letter - 'A');
}

// ---- Layout, as designed (twips), against the window at 96 DPI ----

struct Placed {
    const char* name;
    int id;
    int left, top, width, height;
    int frameLeft = 0, frameTop = 0;  // the frame the control sits in
    std::string Name() const {
        return id >= IDC_CHKDRIVE_0 && id < IDC_CHKDRIVE_0 + 26
                   ? std::string(name) + "(" + std::to_string(id - IDC_CHKDRIVE_0) + ")"
                   : std::string(name);
    }
};

constexpr int kFrame1Left = 30, kFrame1Top = 45, kFrame2Left = 3000, kFrame2Top = 45;

std::vector<Placed> DesignedLayout() {
    std::vector<Placed> layout = {
        {"Frame1", IDC_FRAME1, 30, 45, 2925, 4855},
        {"Option1(0)", IDC_OPTION1_0, 90, 180, 2490, 360, kFrame1Left, kFrame1Top},
        {"Option1(1)", IDC_OPTION1_1, 90, 540, 2490, 360, kFrame1Left, kFrame1Top},
        {"Frame2", IDC_FRAME2, 3000, 45, 3735, 1530},
        {"Label1", IDC_LABEL1, 75, 150, 2535, 270, kFrame2Left, kFrame2Top},
        {"txtSourceADM", IDC_TXTSOURCEADM, 210, 390, 3420, 300, kFrame2Left, kFrame2Top},
        {"Label2", IDC_LABEL2, 75, 810, 2535, 270, kFrame2Left, kFrame2Top},
        {"txtNewADM", IDC_TXTNEWADM, 210, 1065, 3420, 300, kFrame2Left, kFrame2Top},
        {"cmdSelect(1)", IDC_CMDSELECT_0 + 1, 3240, 1755, 3405, 520},
        {"cmdSelect(0)", IDC_CMDSELECT_0 + 0, 3240, 2411, 3405, 520},
        {"cmdSelect(2)", IDC_CMDSELECT_0 + 2, 3240, 3067, 3405, 520},
        {"Command1", IDC_COMMAND1, 3240, 3723, 3405, 520},
        {"cmdRunGPEdit", IDC_CMDRUNGPEDIT, 3240, 4380, 3405, 520},
        {"picSelectAll", IDC_PICSELECTALL, 3360, 1830, 375, 345},
        {"picDeselect", IDC_PICDESELECT, 3360, 2490, 375, 345},
        {"picInvert", IDC_PICINVERT, 3360, 3142, 375, 360},
        {"picADM", IDC_PICADM, 3360, 3788, 375, 330},
        {"Picture2", IDC_PICTURE2, 3360, 4455, 375, 330},
    };
    const int tops[26] = {900,  1185, 1485, 1770, 2070, 2370, 2655, 2940, 3240,
                          3525, 3810, 4110, 4395, 900,  1215, 1515, 1800, 2085,
                          2370, 2670, 2955, 3240, 3525, 3825, 4110, 4395};
    for (int i = 0; i < 26; ++i) {
        const int height = i == 3 ? 345 : i == 13 ? 360 : 330;
        layout.push_back({"chkDrive", IDC_CHKDRIVE_0 + i, i < 13 ? 570 : 1695, tops[i], 1095,
                          height, kFrame1Left, kFrame1Top});
    }
    return layout;
}

// One instance shared by the tests that leave it as they found it.
class WindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { app = std::make_unique<RunningTarnwick>(L"C:\\WINDOWS"); }
    static void TearDownTestSuite() { app.reset(); }

    void SetUp() override {
        ASSERT_NE(app->Window(), nullptr);
        app->Click(IDC_CMDSELECT_0 + 0);  // Deselect All
        app->Click(IDC_OPTION1_0);
    }

    static std::vector<char> TickedLetters() {
        std::vector<char> ticked;
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            if (app->Checked(Drive(letter))) ticked.push_back(letter);
        }
        return ticked;
    }

    static inline std::unique_ptr<RunningTarnwick> app;
};

TEST_F(WindowTest, ClientAreaAndEveryControlSitWhereDesignedAt96Dpi) {
    RECT client{};
    GetClientRect(app->Window(), &client);
    EXPECT_EQ(client.right, 454);
    EXPECT_EQ(client.bottom, 341);
    for (const Placed& c : DesignedLayout()) {
        const RECT r = app->ClientRect(c.id);
        EXPECT_EQ(r.left, Px(c.frameLeft) + Px(c.left)) << c.Name();
        EXPECT_EQ(r.top, Px(c.frameTop) + Px(c.top)) << c.Name();
        EXPECT_EQ(r.right - r.left, Px(c.width)) << c.Name();
        EXPECT_EQ(r.bottom - r.top, Px(c.height)) << c.Name();
    }
    // The credit line moves; its row and size are fixed.
    const RECT credit = app->ClientRect(IDC_LABEL3);
    EXPECT_EQ(credit.top, Px(4900));
    EXPECT_EQ(credit.right - credit.left, Px(2610));
    EXPECT_EQ(credit.bottom - credit.top, Px(255));
}

TEST_F(WindowTest, FixedBorderWithCloseBoxButNoMinimiseOrMaximiseBox) {
    const LONG style = GetWindowLongW(app->Window(), GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    wchar_t caption[64] = {};
    GetWindowTextW(app->Window(), caption, 64);
    EXPECT_STREQ(caption, L"Tarnwick 1.1");
}

TEST_F(WindowTest, TabVisitsTheControlsInTabIndexOrder) {
    std::vector<int> expected = {IDC_CMDSELECT_0 + 1, IDC_CMDSELECT_0 + 0, IDC_CMDSELECT_0 + 2,
                                 IDC_OPTION1_0};  // the option pair once, at the selected one
    for (int i = 25; i >= 0; --i)
        expected.push_back(IDC_CHKDRIVE_0 + i);
    expected.insert(expected.end(),
                    {IDC_CMDRUNGPEDIT, IDC_TXTNEWADM, IDC_TXTSOURCEADM, IDC_COMMAND1});
    std::vector<int> visited;
    HWND at = app->Control(IDC_COMMAND1);
    for (std::size_t step = 0; step < expected.size(); ++step) {
        at = GetNextDlgTabItem(app->Window(), at, FALSE);
        visited.push_back(GetDlgCtrlID(at));
    }
    EXPECT_EQ(visited, expected);
}

TEST_F(WindowTest, CaptionsAsDesigned) {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        EXPECT_EQ(app->Text(Drive(letter)), (std::wstring{static_cast<wchar_t>(letter), L':'}));
    }
    const std::vector<std::pair<int, std::wstring>> captions = {
        {IDC_OPTION1_0, L"Restrict the following drives:"},
        {IDC_OPTION1_1, L"Restrict all drives but :"},
        {IDC_CMDSELECT_0 + 1, L"Select All "},
        {IDC_CMDSELECT_0 + 0, L"Deselect All "},
        {IDC_CMDSELECT_0 + 2, L"Invert Selection"},
        {IDC_COMMAND1, L"Make ADM"},
        {IDC_CMDRUNGPEDIT, L"Open Group Policy Snap-in"},
        {IDC_LABEL1, L"Source ADM File (system.adm)"},
        {IDC_LABEL2, L"New ADM File"},
    };
    for (const auto& [id, caption] : captions)
        EXPECT_EQ(app->Text(id), caption) << id;
    EXPECT_FALSE(app->Text(IDC_LABEL3).empty());
}

TEST_F(WindowTest, CreditLineFitsItsLabelInArial) {
    HDC dc = GetDC(nullptr);
    // The font the window makes for the credit line, from the same description.
    const LOGFONTW credit = app::CreditFontAt(kDpi);
    HFONT arial = CreateFontIndirectW(&credit);
    HGDIOBJ old = SelectObject(dc, arial);
    const std::wstring text = app->Text(IDC_LABEL3);
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, old);
    DeleteObject(arial);
    ReleaseDC(nullptr, dc);
    EXPECT_LE(extent.cx, Px(2610)) << "credit line too long";
}

TEST_F(WindowTest, SelectionButtonsSetEveryBoxAndNothingElse) {
    const std::wstring source = app->Text(IDC_TXTSOURCEADM), target = app->Text(IDC_TXTNEWADM);
    app->Click(IDC_OPTION1_1);
    app->Click(Drive('C'));
    app->Click(Drive('E'));
    EXPECT_EQ(TickedLetters(), (std::vector<char>{'C', 'E'}));

    app->Click(IDC_CMDSELECT_0 + 2);  // Invert Selection
    std::vector<char> inverted = TickedLetters();
    EXPECT_EQ(inverted.size(), 24u);
    EXPECT_EQ(std::count(inverted.begin(), inverted.end(), 'C'), 0);
    app->Click(IDC_CMDSELECT_0 + 2);
    EXPECT_EQ(TickedLetters(), (std::vector<char>{'C', 'E'}));

    app->Click(IDC_CMDSELECT_0 + 1);  // Select All
    EXPECT_EQ(TickedLetters().size(), 26u);
    app->Click(IDC_CMDSELECT_0 + 2);
    EXPECT_TRUE(TickedLetters().empty());
    app->Click(IDC_CMDSELECT_0 + 2);
    EXPECT_EQ(TickedLetters().size(), 26u);
    app->Click(IDC_CMDSELECT_0 + 0);  // Deselect All
    EXPECT_TRUE(TickedLetters().empty());

    EXPECT_TRUE(app->Checked(IDC_OPTION1_1));
    EXPECT_FALSE(app->Checked(IDC_OPTION1_0));
    EXPECT_EQ(app->Text(IDC_TXTSOURCEADM), source);
    EXPECT_EQ(app->Text(IDC_TXTNEWADM), target);
}

// Waits until `condition` holds or a generous deadline passes; posted keys are handled later.
template <class Condition>
bool Eventually(Condition condition) {
    for (int i = 0; i < 3000 && !condition(); ++i)
        Sleep(10);
    return condition();
}

TEST_F(WindowTest, TabMovesTheFocusAndEnterPressesTheFocusedButton) {
    auto focused = [] {
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        GetGUIThreadInfo(app->ThreadId(), &gui);
        return GetDlgCtrlID(gui.hwndFocus);
    };
    app->Click(IDC_CMDSELECT_0 + 1);  // Select All, which takes the focus
    ASSERT_EQ(TickedLetters().size(), 26u);
    PostMessageW(app->Control(IDC_CMDSELECT_0 + 1), WM_KEYDOWN, VK_TAB, 0);
    EXPECT_TRUE(Eventually([&] { return focused() == IDC_CMDSELECT_0 + 0; })) << focused();
    PostMessageW(app->Control(IDC_CMDSELECT_0 + 0), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(Eventually([] { return TickedLetters().empty(); }));
}

TEST_F(WindowTest, CreditLineScrollsLeftAndRestartsAtTheRightEdge) {
    // The window's own timer keeps ticking too, so each sent tick moves the label at least one
    // step (2 pixels at 96 DPI); a restart puts it back at the right edge, 454 pixels.
    const int step = 2, rightEdge = 454;
    int left = app->ClientRect(IDC_LABEL3).left;
    int restarts = 0;
    for (int tick = 0; tick < 2 * 227 + 5; ++tick) {
        SendMessageW(app->Window(), WM_TIMER, ID_TIMER1, 0);
        const int now = app->ClientRect(IDC_LABEL3).left;
        ASSERT_GT(now, 0) << "the label never rests at or left of the edge";
        ASSERT_LE(now, rightEdge);
        ASSERT_EQ(now % step, 0);
        if (now > left) {
            ++restarts;
            EXPECT_GE(now, rightEdge - 3 * step) << "restart lands at the right edge";
            EXPECT_LE(left, 3 * step) << "restart only when the label reached the left edge";
        } else {
            EXPECT_LE(now, left - step) << "tick " << tick;
        }
        left = now;
    }
    EXPECT_GE(restarts, 2);
}

TEST_F(WindowTest, HelpMenuOpensAboutAndLegalInfo) {
    const std::vector<SeenBox> about = app->ChooseMenuItem(IDM_HELP_ABOUT);
    ASSERT_EQ(about.size(), 1u);
    EXPECT_NE(about[0].text.find(L"Tarnwick 1.02"), std::wstring::npos) << about[0].text;
    EXPECT_NE(about[0].text.find(L"system.adm"), std::wstring::npos);

    const std::vector<SeenBox> legal = app->ChooseMenuItem(IDM_LEGAL_INFO);
    ASSERT_EQ(legal.size(), 1u);
    EXPECT_NE(legal[0].text.find(L"MIT License"), std::wstring::npos) << legal[0].text;
    EXPECT_NE(legal[0].text.find(L"Copyright (c) 2026 the Tarnwick developers"),
              std::wstring::npos);
}

TEST_F(WindowTest, FailedSnapInLaunchSaysWhatAndWhyAndChangesNothing) {
    // Wine has no management console, so the launch fails here.
    app->Click(Drive('Q'));
    const std::vector<SeenBox> boxes = app->Click(IDC_CMDRUNGPEDIT);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, L"Tarnwick");
    EXPECT_TRUE(boxes[0].hasIcon);
    EXPECT_NE(boxes[0].text.find(L"could not be started"), std::wstring::npos) << boxes[0].text;
    EXPECT_NE(boxes[0].text.find(L"mmc.exe \"C:\\WINDOWS\\system32\\gpedit.msc\""),
              std::wstring::npos)
        << boxes[0].text;
    EXPECT_EQ(TickedLetters(), std::vector<char>{'Q'});
    EXPECT_TRUE(IsWindowVisible(app->Window()));
}

// Removes a copied program once the process started from it has ended and let go of the file.
void RemoveStartedCopy(const std::wstring& path) {
    for (int attempt = 0; attempt < 500 && !DeleteFileW(path.c_str()); ++attempt) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return;
        Sleep(10);
    }
}

// A program named mmc.exe planted beside Tarnwick.exe (searched first by a bare "mmc.exe") is
// never started; the console host in the system folder is.
TEST_F(WindowTest, SnapInHostComesFromTheSystemFolderOnly) {
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_GT(length, 0u);
    const std::wstring systemFolder(system, length);
    const std::wstring host = systemFolder + L"\\mmc.exe";
    if (GetFileAttributesW(host.c_str()) != INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "this system has a console host of its own";
    }
    const std::wstring harmless = systemFolder + L"\\hostname.exe";  // prints a name and ends
    std::wstring exeFolder = Utf16Of(TARNWICK_EXE);
    exeFolder = exeFolder.substr(0, exeFolder.find_last_of(L"/\\"));

    const std::wstring planted = exeFolder + L"\\mmc.exe";
    ASSERT_TRUE(CopyFileW(harmless.c_str(), planted.c_str(), FALSE));
    const std::vector<SeenBox> refused = app->Click(IDC_CMDRUNGPEDIT);
    RemoveStartedCopy(planted);
    EXPECT_EQ(refused.size(), 1u) << "the planted mmc.exe was started";

    ASSERT_TRUE(CopyFileW(harmless.c_str(), host.c_str(), TRUE));
    const std::vector<SeenBox> started = app->Click(IDC_CMDRUNGPEDIT);
    RemoveStartedCopy(host);
    EXPECT_TRUE(started.empty()) << "the system's mmc.exe was not started";
}

// ---- Make ADM through real message boxes ----

class MakeAdmInWindowTest : public WindowTest {
  protected:
    TempDir dir;
    std::string source = dir.File("system.adm");
    std::string target = dir.File("system_TRNW.adm");

    void SetUp() override {
        WindowTest::SetUp();
        WriteAll(source, kFourLineTemplate);
        app->SetText(IDC_TXTSOURCEADM, Utf16Of(source));
        app->SetText(IDC_TXTNEWADM, Utf16Of(target));
    }

    std::wstring CreatedText() const {
        return L"'" + Utf16Of(target) +
               L"' was created succesfully\r\nThe source file was not changed.";
    }
};

TEST_F(MakeAdmInWindowTest, TickedDrivesBecomeANewTemplateByteForByte) {
    for (char letter : {'C', 'D', 'E'})
        app->Click(Drive(letter));
    std::vector<SeenBox> boxes = app->Click(IDC_COMMAND1, {IDOK});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, L"Tarnwick");
    EXPECT_EQ(boxes[0].text, CreatedText());
    EXPECT_FALSE(boxes[0].hasIcon);
    EXPECT_EQ(ReadAll(target), FourLineTemplateForCDE());
    EXPECT_EQ(ReadAll(source), kFourLineTemplate);

    // Again: the file exists now, so the command asks first. No keeps it, Yes replaces it.
    WriteAll(target, "old");
    boxes = app->Click(IDC_COMMAND1, {IDNO});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"'" + Utf16Of(target) + L"' already exists. Overwrite?");
    EXPECT_TRUE(boxes[0].hasYesNo);
    EXPECT_EQ(ReadAll(target), "old");

    boxes = app->Click(IDC_COMMAND1, {IDYES, IDOK});
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, CreatedText());
    EXPECT_EQ(ReadAll(target), FourLineTemplateForCDE());
}

TEST_F(MakeAdmInWindowTest, CreditLineStandsStillWhileTheCommandAndItsBoxesWait) {
    app->Click(Drive('C'));
    WriteAll(target, "old");
    std::vector<int> moves;
    const auto tick = [&](HWND, std::size_t) {
        const int before = app->ClientRect(IDC_LABEL3).left;
        for (int i = 0; i < 5; ++i)
            SendMessageW(app->Window(), WM_TIMER, ID_TIMER1, 0);
        Sleep(200);  // the window's own timer ticks meanwhile too
        moves.push_back(app->ClientRect(IDC_LABEL3).left - before);
    };
    const std::vector<SeenBox> boxes = app->Click(IDC_COMMAND1, {IDYES, IDOK}, tick);
    ASSERT_EQ(boxes.size(), 2u);  // the overwrite prompt, then the success message
    EXPECT_EQ(moves, (std::vector<int>{0, 0}));
}

TEST_F(MakeAdmInWindowTest, TheBundledSampleGainsThreeLines) {
    const std::string sample = ReadAll(std::string(TARNWICK_SOURCE_DIR) + "/samples/system.adm");
    WriteAll(source, sample);
    app->Click(IDC_OPTION1_1);
    app->Click(Drive('C'));
    const std::vector<SeenBox> boxes = app->Click(IDC_COMMAND1, {IDOK});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, CreatedText());
    EXPECT_TRUE(ReadAll(target) == model::ModelGenerate(sample, {1u << 2, true}).bytes)
        << "not the layout of all drives but C";
    EXPECT_EQ(ReadAll(source), sample);
}

TEST_F(MakeAdmInWindowTest, MessagesOfTheChecksInTheirOrder) {
    struct Case {
        const char* name;
        std::wstring newText, sourceText;
        std::vector<char> ticked;
        std::wstring expected;
        bool critical;
    };
    const std::wstring missing = Utf16Of(dir.File("missing.adm"));
    const std::string folder = dir.File("folder.adm");
    std::filesystem::create_directory(FsPath(folder));
    WriteAll(target, "old");  // a prompt would come before a refusal that came late
    const std::vector<Case> cases = {
        {"trigger word", L"brisk", L"", {}, L"", false},
        {"nothing ticked",
         Utf16Of(target),
         Utf16Of(source),
         {},
         L"Please select one or more drives.",
         true},
        {"source missing",
         Utf16Of(target),
         missing,
         {'A'},
         L"Default ADM file '" + missing +
             L"' not found.\r\nPlease specify a valid path to default adm (system.adm)",
         true},
        {"same file",
         Utf16Of(source),
         Utf16Of(source),
         {'A'},
         L"Please specify a different ADM file.",
         false},
        {"source is a folder",
         Utf16Of(target),
         Utf16Of(folder),
         {'A'},
         L"Default ADM file '" + Utf16Of(folder) +
             L"' is a folder, not a file.\r\nPlease specify a valid path to default adm "
             L"(system.adm)",
         true},
        {"new path is a folder",
         Utf16Of(folder),
         Utf16Of(source),
         {'A'},
         L"'" + Utf16Of(folder) +
             L"' is a folder, not a file.\r\nPlease specify a different ADM file.",
         true},
    };
    for (const Case& c : cases) {
        app->Click(IDC_CMDSELECT_0 + 0);
        for (char letter : c.ticked)
            app->Click(Drive(letter));
        app->SetText(IDC_TXTNEWADM, c.newText);
        app->SetText(IDC_TXTSOURCEADM, c.sourceText);
        const std::vector<SeenBox> boxes = app->Click(IDC_COMMAND1);
        ASSERT_EQ(boxes.size(), 1u) << c.name;
        EXPECT_EQ(boxes[0].title, L"Tarnwick") << c.name;
        if (!c.expected.empty()) {
            EXPECT_EQ(boxes[0].text, c.expected) << c.name;
        }
        EXPECT_EQ(boxes[0].hasIcon, c.critical) << c.name;
    }
    EXPECT_EQ(ReadAll(target), "old");
}

// ---- Start-up, each in a process of its own ----

struct WindirCase {
    const char* name;
    std::optional<std::wstring> windir;
    std::wstring source, target;
};

TEST(StartUp, DefaultPathsFollowWindirAndTheWindowOpensReadyAndClosesWithoutAQuestion) {
    const std::vector<WindirCase> cases = {
        {"C:\\WINDOWS", L"C:\\WINDOWS", L"C:\\WINDOWS\\inf\\system.adm",
         L"C:\\WINDOWS\\inf\\system_TRNW.adm"},
        {"unset", std::nullopt, L"\\inf\\system.adm", L"\\inf\\system_TRNW.adm"},
        {"dotted", L"C:\\WIN.NT", L"C:\\WIN.NT\\inf\\system.adm", L"C:\\WIN_TRNW.adm"},
    };
    for (const WindirCase& c : cases) {
        RunningTarnwick app(c.windir);
        EXPECT_EQ(app.Text(IDC_TXTSOURCEADM), c.source) << c.name;
        EXPECT_EQ(app.Text(IDC_TXTNEWADM), c.target) << c.name;

        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        ASSERT_TRUE(GetGUIThreadInfo(app.ThreadId(), &gui)) << c.name;
        EXPECT_EQ(gui.hwndFocus, app.Control(IDC_COMMAND1)) << c.name << ": focus on Make ADM";
        for (int i = 0; i < 26; ++i)
            EXPECT_FALSE(app.Checked(IDC_CHKDRIVE_0 + i)) << c.name;
        EXPECT_TRUE(app.Checked(IDC_OPTION1_0)) << c.name;
        EXPECT_FALSE(app.Checked(IDC_OPTION1_1)) << c.name;

        EXPECT_TRUE(app.CloseAndWaitForExit()) << c.name;
    }
}

TEST(Executable, CarriesItsVersionRecord) {
    const std::wstring exe = Utf16Of(TARNWICK_EXE);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010002u);

    DWORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(*translation, 0x04B00409u);  // U.S. English, Unicode

    const std::vector<std::pair<std::wstring, std::wstring>> strings = {
        {L"ProductName", L"Tarnwick"},          {L"InternalName", L"Tarnwick"},
        {L"OriginalFilename", L"Tarnwick.exe"}, {L"FileVersion", L"1.02"},
        {L"ProductVersion", L"1.02"},
    };
    for (const auto& [key, expected] : strings) {
        wchar_t* value = nullptr;
        const std::wstring query = L"\\StringFileInfo\\040904B0\\" + key;
        ASSERT_TRUE(
            VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            << std::string(key.begin(), key.end());
        EXPECT_EQ(std::wstring(value), expected);
    }
}

TEST(Executable, EmbedsAManifestForCommonControlsDpiAndLongPaths) {
    HMODULE exe = LoadLibraryExW(Utf16Of(TARNWICK_EXE).c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(exe, nullptr);
    HRSRC resource = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(resource, nullptr);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(exe, resource)));
    const std::string manifest(bytes, SizeofResource(exe, resource));
    FreeLibrary(exe);
    for (const char* needle : {"Microsoft.Windows.Common-Controls", "PerMonitorV2", "asInvoker",
                               "<longPathAware", "version=\"6.0.0.0\""}) {
        EXPECT_NE(manifest.find(needle), std::string::npos) << needle;
    }
}

}  // namespace
}  // namespace tarnwick::test
