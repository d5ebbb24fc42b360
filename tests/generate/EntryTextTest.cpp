#include "generate/EntryText.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "tests/generate/TestSelection.h"

namespace tarnwick {
namespace {

using test::TestSelection;

constexpr const char* kAllDrives = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr const char* kAllLetterList =
    "A, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, V, W, X, Y and Z";

struct SelectionCase {
    const char* ticked;
    bool following;
    double mask;
    const char* maskText;
    const char* entryName;
    const char* letterList;
};

const SelectionCase kSelections[] = {
    {"C", true, 4, "4", "COnly", "C"},
    {"CDE", true, 28, "28", "CDEOnly", "C, D and E"},
    {"C", false, 67108859, "67108859", "ALLBUTC", "C"},
    {"A", true, 1, "1", "AOnly", "A"},
    {"AZ", true, 33554433, "33554433", "AZOnly", "A and Z"},
    {"CD", false, 67108851, "67108851", "ALLBUTCD", "C and D"},
    {"ABCD", true, 15, "15", "ABCDOnly", "A, B, C and D"},
    {kAllDrives, true, 67108863, "67108863", "ABCDEFGHIJKLMNOPQRSTUVWXYZOnly", kAllLetterList},
    {kAllDrives, false, 0, "0", "ALLBUTABCDEFGHIJKLMNOPQRSTUVWXYZ", kAllLetterList},
};

TEST(EntryText, EachSelectionGivesItsMaskNameAndLines) {
    for (const SelectionCase& c : kSelections) {
        SCOPED_TRACE(std::string(c.ticked) + (c.following ? " following" : " all-but"));
        const TestSelection selection = TestSelection::Of(c.ticked, c.following);
        FormState state;
        state.dblDriveMask = GetDriveMask(selection);
        EXPECT_EQ(state.dblDriveMask, c.mask);

        const std::string item = BuildItemLine(selection, state, state.dblDriveMask);
        EXPECT_EQ(state.strEntryName, c.entryName);
        EXPECT_EQ(item, std::string("\t\t    \tNAME !!") + c.entryName + "\t\tVALUE NUMERIC\t" +
                            c.maskText + "\r\n");
        EXPECT_EQ(BuildStringsLine(selection, state), std::string(c.entryName) + "=\"Restrict " +
                                                          (c.following ? "" : "all drives but ") +
                                                          c.letterList + " only\"\r\n");
    }
}

TEST(EntryText, OnlyTheValueOneCountsAsTicked) {
    TestSelection selection = TestSelection::Of("C");
    selection.values['D' - 'A'] = 2;
    selection.values['E' - 'A'] = -1;
    FormState state;
    EXPECT_EQ(GetDriveMask(selection), 4.0);
    BuildItemLine(selection, state, 4.0);
    EXPECT_EQ(state.strEntryName, "COnly");
    EXPECT_EQ(BuildStringsLine(selection, state), "COnly=\"Restrict C only\"\r\n");

    selection.following = false;
    EXPECT_EQ(GetDriveMask(selection), 67108863.0 - 4.0);
}

TEST(EntryText, NothingTickedBuildsTheBareNameButNoDefinition) {
    for (const bool following : {true, false}) {
        const TestSelection selection = TestSelection::Of("", following);
        FormState state;
        EXPECT_EQ(GetDriveMask(selection), following ? 0.0 : 67108863.0);
        BuildItemLine(selection, state, 0.0);
        EXPECT_EQ(state.strEntryName, following ? "Only" : "ALLBUT");
        EXPECT_THROW(BuildStringsLine(selection, state), std::out_of_range);
    }
}

TEST(EntryText, ASecondGenerationKeepsNothingOfTheFirst) {
    FormState state;
    const TestSelection first = TestSelection::Of("CDE");
    BuildItemLine(first, state, GetDriveMask(first));

    const TestSelection second = TestSelection::Of("A", false);
    const std::string item = BuildItemLine(second, state, GetDriveMask(second));
    EXPECT_EQ(state.strEntryName, "ALLBUTA");
    EXPECT_EQ(item, "\t\t    \tNAME !!ALLBUTA\t\tVALUE NUMERIC\t67108862\r\n");
    EXPECT_EQ(BuildStringsLine(second, state), "ALLBUTA=\"Restrict all drives but A only\"\r\n");
}

// The definition line takes its name from the form state and its letters from the boxes as they
// stand at the call: nothing is cached between the calls.
TEST(EntryText, EachCallReadsTheSelectionAfresh) {
    FormState state;
    TestSelection selection = TestSelection::Of("CDE");
    BuildItemLine(selection, state, 28.0);
    selection.values['F' - 'A'] = kTicked;
    EXPECT_EQ(BuildStringsLine(selection, state), "CDEOnly=\"Restrict C, D, E and F only\"\r\n");
    EXPECT_EQ(GetDriveMask(selection), 60.0);
}

TEST(EntryText, MaskTextIsPlainDigitsForAnyWholeNumber) {
    const TestSelection selection = TestSelection::Of("C");
    FormState state;
    for (const auto& [mask, text] :
         {std::pair{0.0, "0"}, std::pair{1e7, "10000000"}, std::pair{67108863.0, "67108863"}}) {
        const std::string item = BuildItemLine(selection, state, mask);
        EXPECT_EQ(item.substr(item.rfind('\t') + 1), std::string(text) + "\r\n");
    }
}

TEST(PowerOf, ExactPowersAndOverflow) {
    struct Case {
        int base;
        std::int32_t exponent;
        double expected;
    };
    for (const Case& c : {Case{2, 0, 1}, Case{2, 1, 2}, Case{2, 25, 33554432}, Case{7, 0, 1},
                          Case{0, 0, 1}, Case{-3, 0, 1}, Case{2, 30, 1073741824},
                          Case{-2, 31, -2147483648.0}, Case{3, 19, 1162261467}}) {
        EXPECT_EQ(PowerOf(c.base, c.exponent), c.expected) << c.base << "^" << c.exponent;
    }
    for (const auto& [base, exponent] : {std::pair{2, 31}, std::pair{3, 20}, std::pair{-2, 32}}) {
        const std::int32_t e = exponent;
        EXPECT_THROW(PowerOf(base, e), std::overflow_error) << base << "^" << exponent;
    }
}

}  // namespace
}  // namespace tarnwick
