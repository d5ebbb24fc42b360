// The real window as the screen shows it, under Wine in Xvfb: in every state a user can bring
// the buttons into, at 96, 120 and 144 DPI, each icon box shows its icon as drawn for that size
// over the face of its button (no square of another colour around it), each text box its whole
// border, the credit text lies within its label, and the two columns of drive boxes form rows.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/FormLayout.h"
#include "app/resource.h"
#include "tests/app/RunningTarnwick.h"
#include "tests/command/TemplateFiles.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::test {
namespace {

struct IconBox {
    const char* name;
    int pictureId, iconId;
};

constexpr IconBox kIconBoxes[] = {
    {"picSelectAll", IDC_PICSELECTALL, IDI_SELECT_ALL},
    {"picDeselect", IDC_PICDESELECT, IDI_DESELECT_ALL},
    {"picInvert", IDC_PICINVERT, IDI_INVERT},
    {"picADM", IDC_PICADM, IDI_MAKE_ADM},
    {"Picture2", IDC_PICTURE2, IDI_GPEDIT},
};

// An icon as painted over black and over white: together they give each pixel's colour and
// coverage, so what it must look like over any face.
struct IconImage {
    int size = 0;
    std::vector<std::uint32_t> onBlack, onWhite;
};

std::vector<std::uint32_t> Painted(HICON icon, int size, COLORREF background) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    const RECT all{0, 0, size, size};
    FillRect(memory, &all, brush);
    DrawIconEx(memory, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    GdiFlush();
    const auto* first = static_cast<const std::uint32_t*>(bits);
    std::vector<std::uint32_t> pixels(first, first + size * size);
    DeleteObject(brush);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    for (std::uint32_t& pixel : pixels)
        pixel &= 0xFFFFFF;
    return pixels;
}

// The bytes of the exe's own image of `iconId` that the system picks for `size` pixels.
std::string OwnImage(int iconId, int size) {
    HMODULE exe = LoadLibraryExW(Utf16Of(TARNWICK_EXE).c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    const auto resource = [&](int id, LPCWSTR type) {
        HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(id), type);
        const auto* bytes =
            found ? static_cast<const char*>(LockResource(LoadResource(exe, found))) : nullptr;
        return bytes ? std::string(bytes, SizeofResource(exe, found)) : std::string();
    };
    std::string directory = resource(iconId, RT_GROUP_ICON);
    const int id = directory.empty()
                       ? 0
                       : LookupIconIdFromDirectoryEx(reinterpret_cast<BYTE*>(directory.data()),
                                                     TRUE, size, size, 0);
    std::string image = id ? resource(id, RT_ICON) : std::string();
    FreeLibrary(exe);
    return image;
}

// Whether an icon image is `size` pixels square with 8-bit alpha: a 32-bit bitmap, or from 30
// pixels up a PNG of 8-bit RGBA (width and height big-endian in its header, colour type 6).
bool RgbaImageOfSize(const std::string& bits, int size) {
    if (bits.rfind("\x89PNG", 0) == 0) {
        const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(bits[at]); };
        const auto bigEndian = [&](std::size_t at) {
            return byte(at) << 24 | byte(at + 1) << 16 | byte(at + 2) << 8 | byte(at + 3);
        };
        return size >= 30 && bits.size() > 26 && bigEndian(16) == size && bigEndian(20) == size &&
               byte(24) == 8 && byte(25) == 6;
    }
    BITMAPINFOHEADER header{};
    if (bits.size() >= sizeof header) std::memcpy(&header, bits.data(), sizeof header);
    return header.biWidth == size && header.biBitCount == 32;
}

// The icon's image drawn for `size` pixels: empty when the icon has none of that size (a scaled
// copy of another size does not count) or it is not 32-bit with alpha.
IconImage LoadButtonIcon(int iconId, int size) {
    std::string bits = OwnImage(iconId, size);
    if (!RgbaImageOfSize(bits, size)) return {size, {}, {}};
    HICON icon =
        CreateIconFromResourceEx(reinterpret_cast<BYTE*>(bits.data()),
                                 static_cast<DWORD>(bits.size()), TRUE, 0x00030000, size, size, 0);
    if (icon == nullptr) return {size, {}, {}};
    IconImage image{size, Painted(icon, size, RGB(0, 0, 0)),
                    Painted(icon, size, RGB(255, 255, 255))};
    DestroyIcon(icon);
    return image;
}

// Whether `shown` is the icon's pixel over `face`, within 2 per channel: the pixel goes from its
// look over black towards its look over white by the face's share of white.
bool LooksOver(std::uint32_t shown, std::uint32_t face, std::uint32_t onBlack,
               std::uint32_t onWhite) {
    for (int shift : {16, 8, 0}) {
        const int black = onBlack >> shift & 0xFF, white = onWhite >> shift & 0xFF;
        const int expected = black + ((face >> shift & 0xFF) * (white - black) + 127) / 255;
        if (std::abs(static_cast<int>(shown >> shift & 0xFF) - expected) > 2) return false;
    }
    return true;
}

// How the screen shows the icon centred in `box` (a pixel of tolerance either way), against the
// button face just right of the box on each row: the share of the icon's pixels within the box
// that come out as the icon over that face, and whether every clear pixel is that face exactly.
struct IconShown {
    double share = 0;
    bool faceWhereClear = false;
};

IconShown ShownIcon(const Picture& shot, const RECT& box, const IconImage& icon) {
    const int width = box.right - box.left, height = box.bottom - box.top;
    IconShown best;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const int left = box.left + width / 2 - icon.size / 2 + dx;
            const int top = box.top + height / 2 - icon.size / 2 + dy;
            int inside = 0, same = 0, clearButNotFace = 0;
            for (int y = 0; y < icon.size; ++y) {
                for (int x = 0; x < icon.size; ++x) {
                    const int sx = left + x, sy = top + y;
                    if (sx < box.left || sx >= box.right || sy < box.top || sy >= box.bottom)
                        continue;  // the box is a little lower than the icon: the edge rows go
                    const auto i = static_cast<std::size_t>(y * icon.size + x);
                    const std::uint32_t face = shot.At(box.right + 1, sy);
                    const bool clear = icon.onBlack[i] == 0 && icon.onWhite[i] == 0xFFFFFF;
                    ++inside;
                    same += LooksOver(shot.At(sx, sy), face, icon.onBlack[i], icon.onWhite[i]);
                    clearButNotFace += clear && shot.At(sx, sy) != face;
                }
            }
            const double share = static_cast<double>(same) / inside;
            if (share > best.share) best = {share, clearButNotFace == 0};
        }
    }
    return best;
}

// Each edge of the box, corners left out, is one colour, and the top edge is not the colour of
// the surface around the box: nothing painted over the border.
::testing::AssertionResult WholeBorder(const Picture& shot, const RECT& r) {
    struct Edge {
        const char* name;
        int x, y, dx, dy, length;
    };
    const Edge edges[] = {
        {"top", r.left + 2, r.top, 1, 0, r.right - r.left - 4},
        {"bottom", r.left + 2, r.bottom - 1, 1, 0, r.right - r.left - 4},
        {"left", r.left, r.top + 2, 0, 1, r.bottom - r.top - 4},
        {"right", r.right - 1, r.top + 2, 0, 1, r.bottom - r.top - 4},
    };
    for (const Edge& edge : edges) {
        const std::uint32_t first = shot.At(edge.x, edge.y);
        for (int i = 1; i < edge.length; ++i) {
            const std::uint32_t pixel = shot.At(edge.x + i * edge.dx, edge.y + i * edge.dy);
            if (pixel != first) {
                return ::testing::AssertionFailure()
                       << edge.name << " edge broken at pixel " << i << " of " << edge.length;
            }
        }
    }
    if (shot.At(r.left + 2, r.top) == Rgb(GetSysColor(COLOR_BTNFACE))) {
        return ::testing::AssertionFailure() << "top edge has the colour of the surface";
    }
    return ::testing::AssertionSuccess();
}

bool IsCreditInk(std::uint32_t pixel) {
    const int red = static_cast<int>(pixel >> 16), green = static_cast<int>(pixel >> 8 & 0xFF),
              blue = static_cast<int>(pixel & 0xFF);
    return blue > red + 60 && blue > green + 60;
}

// The credit line's dark blue ink lies within its label, and there is some.
::testing::AssertionResult CreditInLabel(const Picture& shot, const RECT& label) {
    int inside = 0;
    for (int y = label.top; y < label.bottom; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            if (!IsCreditInk(shot.At(x, y))) continue;
            if (x < label.left || x >= label.right) {
                return ::testing::AssertionFailure() << "credit ink at x " << x << " outside "
                                                     << label.left << ".." << label.right;
            }
            ++inside;
        }
    }
    if (inside == 0) return ::testing::AssertionFailure() << "no credit text on screen";
    return ::testing::AssertionSuccess();
}

// Rests the mouse pointer on the middle of a button, right of its icon.
void Hover(const RunningTarnwick& app, int id) {
    RECT r{};
    GetWindowRect(app.Control(id), &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

void PostKey(const RunningTarnwick& app, UINT key) {
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(app.ThreadId(), &gui);
    PostMessageW(gui.hwndFocus, WM_KEYDOWN, key, 0);
    PostMessageW(gui.hwndFocus, WM_KEYUP, key, 0xC0000000);
}

// A plain window of this process laid over Tarnwick's, then taken away again.
void CoverAndUncover(RunningTarnwick& app) {
    RECT r{};
    GetWindowRect(app.Window(), &r);
    HWND cover =
        CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"STATIC", L"",
                        WS_POPUP | WS_VISIBLE | SS_BLACKRECT, r.left, r.top, r.right - r.left,
                        r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    UpdateWindow(cover);
    app.Settle();
    DestroyWindow(cover);
}

struct State {
    const char* name;
    std::function<void(RunningTarnwick&)> bringAbout;
    std::function<void(RunningTarnwick&)> release = nullptr;
};

std::vector<State> States() {
    const int selectAll = IDC_CMDSELECT_0 + 1;
    return {
        {"at start", [](RunningTarnwick&) {}},
        {"after a click", [=](RunningTarnwick& app) { app.Click(selectAll); }},
        {"after Tab", [](RunningTarnwick& app) { PostKey(app, VK_TAB); }},
        {"hot", [](RunningTarnwick& app) { Hover(app, IDC_CMDSELECT_0 + 2); }},
        {"pressed",
         [](RunningTarnwick& app) {
             Hover(app, IDC_CMDSELECT_0 + 0);
             PostMessageW(app.Control(IDC_CMDSELECT_0 + 0), WM_LBUTTONDOWN, MK_LBUTTON,
                          MAKELPARAM(150, 10));
         },
         [](RunningTarnwick& app) {
             PostMessageW(app.Control(IDC_CMDSELECT_0 + 0), WM_LBUTTONUP, 0, MAKELPARAM(150, 10));
         }},
        {"focus back on Make ADM",
         [](RunningTarnwick& app) {
             SetCursorPos(0, 0);
             app.Click(IDC_COMMAND1);
         }},
        {"covered and uncovered", CoverAndUncover},
    };
}

struct DpiCase {
    int startDpi;
    std::optional<int> changedTo;
};

class WindowLooksTest : public ::testing::TestWithParam<DpiCase> {};

TEST_P(WindowLooksTest, IconsBordersAndCreditLineShowInEveryState) {
    const DpiCase dpiCase = GetParam();
    RunningTarnwick app(L"C:\\WINDOWS", dpiCase.startDpi);
    int dpi = dpiCase.startDpi;
    if (dpiCase.changedTo) {
        dpi = *dpiCase.changedTo;
        app.ChangeDpi(dpi);
    }
    std::vector<IconImage> icons;
    for (const IconBox& box : kIconBoxes) {
        icons.push_back(LoadButtonIcon(box.iconId, MulDiv(24, dpi, 96)));
        ASSERT_FALSE(icons.back().onBlack.empty())
            << box.name << " has no 32-bit image drawn for " << dpi << " DPI";
    }
    // Boxes the layout puts at one top and height sit at one pixel row: each place is converted
    // once, with the same rounding for both columns.
    for (int row = 0; row < app::kDrivesPerColumn; ++row) {
        const int ids[] = {IDC_CHKDRIVE_0 + row, IDC_CHKDRIVE_0 + app::kDrivesPerColumn + row};
        app::TwipsRect twips[2];
        for (const app::DesignedControl& control : app::FormControls()) {
            for (int side = 0; side < 2; ++side)
                if (control.id == ids[side]) twips[side] = control.place;
        }
        if (twips[0].top != twips[1].top || twips[0].height != twips[1].height) continue;
        const RECT left = app.ClientRect(ids[0]);
        const RECT right = app.ClientRect(ids[1]);
        EXPECT_TRUE(left.top == right.top && left.bottom == right.bottom)
            << "row " << row + 1 << " at " << dpi << " DPI";
    }

    for (const State& state : States()) {
        state.bringAbout(app);
        // The credit line moves on while the screen is read: its ink lies where the label was
        // at the start or the end of the read, or between.
        const RECT before = app.ClientRect(IDC_LABEL3);
        const Picture shot = app.Capture();
        const RECT after = app.ClientRect(IDC_LABEL3);
        RECT label{};
        UnionRect(&label, &before, &after);
        for (std::size_t i = 0; i < std::size(kIconBoxes); ++i) {
            const IconShown shown =
                ShownIcon(shot, app.ClientRect(kIconBoxes[i].pictureId), icons[i]);
            EXPECT_GE(shown.share, 0.99)
                << kIconBoxes[i].name << " " << state.name << " at " << dpi << " DPI";
            EXPECT_TRUE(shown.faceWhereClear)
                << kIconBoxes[i].name << " " << state.name << " at " << dpi << " DPI";
        }
        for (int id : {IDC_TXTSOURCEADM, IDC_TXTNEWADM}) {
            EXPECT_TRUE(WholeBorder(shot, app.ClientRect(id)))
                << "text box " << id << " " << state.name << " at " << dpi << " DPI";
        }
        EXPECT_TRUE(CreditInLabel(shot, label)) << state.name << " at " << dpi << " DPI";
        if (state.release) state.release(app);
    }
}

INSTANTIATE_TEST_SUITE_P(Dpi, WindowLooksTest,
                         ::testing::Values(DpiCase{96, std::nullopt}, DpiCase{120, std::nullopt},
                                           DpiCase{144, std::nullopt}, DpiCase{96, 144}),
                         [](const ::testing::TestParamInfo<DpiCase>& run) {
                             return std::to_string(run.param.startDpi) +
                                    (run.param.changedTo
                                         ? "To" + std::to_string(*run.param.changedTo)
                                         : std::string());
                         });

// Every icon has its own 32-bit image for each size the window asks for (PNG from 30 pixels up,
// and the system draws it), and the window icon a 256-pixel one (PNG) for Explorer.
TEST(Icons, ImagesForEverySizeAllWithAlpha) {
    std::vector<int> iconIds = {IDI_TARNWICK};
    for (const IconBox& box : kIconBoxes)
        iconIds.push_back(box.iconId);
    for (int iconId : iconIds) {
        for (int size : {16, 20, 24, 30, 32, 36, 48})
            EXPECT_FALSE(LoadButtonIcon(iconId, size).onBlack.empty()) << iconId << " at " << size;
    }
    EXPECT_EQ(OwnImage(IDI_TARNWICK, 256).substr(1, 3), "PNG");
}

// Every message box lies within the work area of its monitor, its text within the box, also when
// it names a path of 300 characters; the overwrite prompt shows the whole question.
class MessageBoxesFitTest : public ::testing::TestWithParam<int> {};

std::wstring Unbroken(std::wstring text) {
    for (std::size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n"))
        text.erase(at, 2);
    return text;
}

TEST_P(MessageBoxesFitTest, WithinTheScreenWithA300CharacterPath) {
    TempDir dir;
    const std::string folder = dir.File(std::string(140, 'f'));
    std::filesystem::create_directory(FsPath(folder));
    const std::string target = folder + "\\" + std::string(300 - folder.size() - 5, 'n') + ".adm";
    const std::string missing = folder + "\\" + std::string(300 - folder.size() - 5, 'm') + ".adm";
    ASSERT_EQ(target.size(), 300u);
    const std::string source = dir.File("system.adm");
    WriteAll(source, kFourLineTemplate);

    RunningTarnwick app(L"C:\\WINDOWS", GetParam());
    app.Click(IDC_CHKDRIVE_0 + 2);
    app.SetText(IDC_TXTNEWADM, Utf16Of(target));
    const auto within = [&](HWND box, std::size_t) {
        RECT outer{}, text{};
        GetWindowRect(box, &outer);
        GetWindowRect(GetDlgItem(box, 0xFFFF), &text);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(box, MONITOR_DEFAULTTONEAREST), &monitor);
        const RECT& work = monitor.rcWork;
        EXPECT_TRUE(outer.left >= work.left && outer.top >= work.top && outer.right <= work.right &&
                    outer.bottom <= work.bottom)
            << "box " << outer.left << "," << outer.top << "," << outer.right << "," << outer.bottom
            << " outside the work area at " << GetParam() << " DPI";
        EXPECT_TRUE(text.left >= outer.left && text.right <= outer.right && text.top >= outer.top &&
                    text.bottom <= outer.bottom)
            << "text outside its box at " << GetParam() << " DPI";
    };
    struct Case {
        const char* name;
        std::string sourceText;
        int clicked;
        std::vector<int> answers;
        std::size_t boxes;
    };
    const std::vector<Case> cases = {
        {"overwrite prompt, then success", source, IDC_COMMAND1, {IDYES, IDOK}, 2},
        {"source not found", missing, IDC_COMMAND1, {}, 1},
        {"Legal Info", source, IDM_LEGAL_INFO, {}, 1},
    };
    for (const Case& c : cases) {
        WriteAll(target, "old");
        app.SetText(IDC_TXTSOURCEADM, Utf16Of(c.sourceText));
        const std::vector<SeenBox> boxes = c.clicked == IDM_LEGAL_INFO
                                               ? app.ChooseMenuItem(c.clicked, c.answers, within)
                                               : app.Click(c.clicked, c.answers, within);
        ASSERT_EQ(boxes.size(), c.boxes) << c.name;
        if (c.answers.size() == 2) {
            EXPECT_EQ(Unbroken(boxes[0].text),
                      L"'" + Utf16Of(target) + L"' already exists. Overwrite?");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Dpi, MessageBoxesFitTest, ::testing::Values(96, 144));

}  // namespace
}  // namespace tarnwick::test
