// The window's commands that need no window: the credit line, the selection buttons, the
// snap-in command line and the check on the folder picker's answer.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/CreditLine.h"
#include "app/FormLayout.h"
#include "app/PickerAnswer.h"
#include "app/SelectionButtons.h"
#include "app/SnapInCommand.h"

namespace tarnwick::app {
namespace {

TEST(CreditLine, FromTheDesignPositionThe217thTickRestartsAtTheRightEdge) {
    int left = kLabel3StartLeft;
    for (int tick = 1; tick <= 216; ++tick) {
        left = NextCreditLeft(left, kInnerWidthTwips);
        ASSERT_EQ(left, kLabel3StartLeft - 30 * tick) << "tick " << tick;
    }
    EXPECT_EQ(left, 30);
    EXPECT_EQ(NextCreditLeft(left, kInnerWidthTwips), 6810);
}

TEST(CreditLine, RestartsEvery227TicksAndNeverRestsAtOrLeftOfTheEdge) {
    int left = kInnerWidthTwips;
    std::vector<int> restarts;
    for (int tick = 1; tick <= 3 * 227; ++tick) {
        const int next = NextCreditLeft(left, kInnerWidthTwips);
        ASSERT_GT(next, 0);
        if (next > left) restarts.push_back(tick);
        left = next;
    }
    EXPECT_EQ(restarts, (std::vector<int>{227, 454, 681}));
}

std::vector<std::int16_t> Press(std::vector<std::int16_t> boxes, std::int16_t button) {
    for (std::int16_t& box : boxes)
        box = SelectedValue(button, box);
    return boxes;
}

TEST(SelectionButtons, SelectDeselectAndInvertEveryBox) {
    const std::vector<std::int16_t> mixed = {1, 0, 0, 1, 1, 0};
    const std::vector<std::int16_t> none(6, 0), all(6, 1);
    EXPECT_EQ(Press(mixed, kSelectAll), all);
    EXPECT_EQ(Press(mixed, kDeselectAll), none);
    EXPECT_EQ(Press(mixed, kInvertSelection), (std::vector<std::int16_t>{0, 1, 1, 0, 0, 1}));
    EXPECT_EQ(Press(Press(mixed, kInvertSelection), kInvertSelection), mixed);
    EXPECT_EQ(Press(Press(mixed, kSelectAll), kInvertSelection), none);
    EXPECT_EQ(Press(Press(mixed, kDeselectAll), kInvertSelection), all);
}

// An unset `windir` takes the Windows folder from the system; a set one wins over it.
TEST(SnapInCommand, QuotesTheSnapInPathWhateverTheWindowsFolder) {
    struct Case {
        std::string windir, expected;
    };
    const std::vector<Case> cases = {
        {"C:\\WINDOWS", "mmc.exe \"C:\\WINDOWS\\system32\\gpedit.msc\""},
        {"C:\\MY WIN", "mmc.exe \"C:\\MY WIN\\system32\\gpedit.msc\""},
        {"", "mmc.exe \"D:\\Sys Win\\system32\\gpedit.msc\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SnapInCommandLine(c.windir, [] { return std::string("D:\\Sys Win"); }),
                  c.expected)
            << c.windir;
    }
}

// A path the picker cut at 259 characters is never taken; a long one it gave back whole is.
TEST(PickerAnswer, ACutPathIsNeverWhole) {
    const std::wstring folder = L"C:\\" + std::wstring(250, L'd');
    const std::wstring typed = folder + L"\\PolicyDefinitions";
    const std::wstring cut = typed.substr(0, kPickerPathLimit);
    const struct {
        std::wstring answer, typed, shown;
        bool whole;
    } cases[] = {
        {cut, typed, L"C:\\", false},
        {cut, L"\"" + typed + L"\"", L"C:\\", false},
        {cut, L"PolicyDefinitions", folder, false},
        {typed, typed, L"C:\\", true},
        {typed, L"policydefinitions\\", folder, true},
        {typed, L"", folder, true},
        {L"C:\\Windows\\PolicyDefinitions", L"C:\\Elsewhere", L"C:\\", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PickerAnswerIsWhole(c.answer, c.typed, c.shown), c.whole) << c.typed.size();
}

}  // namespace
}  // namespace tarnwick::app
