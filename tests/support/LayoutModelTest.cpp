// The layout model is the oracle of every byte-for-byte check; these cases pin it to worked
// examples written out by hand, so a wrong oracle cannot pass a wrong generator.
#include "tests/support/LayoutModel.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tarnwick::model {
namespace {

std::uint32_t Drives(const std::string& letters) {
    std::uint32_t drives = 0;
    for (char c : letters)
        drives |= 1u << (c - 'A');
    return drives;
}

std::string Wide(const std::string& ascii) {
    std::string bytes;
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

TEST(LayoutModel, EntryTextOfTheSelectionTable) {
    struct Case {
        std::string ticked;
        bool allBut;
        std::uint32_t mask;
        std::string name;
        std::string definition;
    };
    const std::string all = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const std::string allList =
        "A, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, V, "
        "W, X, Y and Z";
    const Case cases[] = {
        {"C", false, 4, "COnly", "COnly=\"Restrict C only\"\r\n"},
        {"CDE", false, 28, "CDEOnly", "CDEOnly=\"Restrict C, D and E only\"\r\n"},
        {"C", true, 67108859, "ALLBUTC", "ALLBUTC=\"Restrict all drives but C only\"\r\n"},
        {"AZ", false, 33554433, "AZOnly", "AZOnly=\"Restrict A and Z only\"\r\n"},
        {"CD", true, 67108851, "ALLBUTCD", "ALLBUTCD=\"Restrict all drives but C and D only\"\r\n"},
        {all, false, 67108863, all + "Only", all + "Only=\"Restrict " + allList + " only\"\r\n"},
        {all, true, 0, "ALLBUT" + all,
         "ALLBUT" + all + "=\"Restrict all drives but " + allList + " only\"\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ModelSelection selection{Drives(c.ticked), c.allBut};
        EXPECT_EQ(ModelMask(selection), c.mask);
        EXPECT_EQ(ModelEntryName(selection), c.name);
        EXPECT_EQ(ModelDefinitionLine(selection), c.definition);
    }
    EXPECT_EQ(ModelItemLine({Drives("CDE"), false}),
              "\t\t    \tNAME !!CDEOnly\t\tVALUE NUMERIC\t28\r\n");
}

TEST(LayoutModel, WorkedSeventyByteSourceSplitsBetweenCrAndLf) {
    const std::string source = Wide("abcdonly\r\nabcdonly\r\nabcdonly\r\nxyz\r\n");
    ASSERT_EQ(source.size(), 70u);
    const ModelSelection selection{Drives("CDE"), false};
    const std::string item = Wide(ModelItemLine(selection));
    const std::string definition = Wide(ModelDefinitionLine(selection));

    const ModelOutcome outcome = ModelGenerate(source, selection);

    ASSERT_TRUE(outcome.ok());
    // Each CR LF ends a line after its 0D, so positions (1 + consumed) are 18, 38 and 58.
    ASSERT_EQ(outcome.markerLines.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(outcome.markerLines[k].consumed, 17 + 20 * k);
        EXPECT_EQ(outcome.markerLines[k].end, ModelLineEnd::Cr);
    }
    EXPECT_EQ(outcome.bytes, source.substr(0, 18) + item + source.substr(18, 20) + item +
                                 source.substr(38, 20) + definition + source.substr(58));
    EXPECT_EQ(outcome.bytes.size(), 70 + 2 * item.size() + definition.size());
}

TEST(LayoutModel, Utf16MarkersInAnyCaseInsideWordsAndALastCr) {
    const ModelSelection selection{Drives("E"), true};
    const std::string item = Wide(ModelItemLine(selection));
    const std::string definition = Wide(ModelDefinitionLine(selection));
    const std::string bom = "\xFF\xFE";

    // A line with "abcd only" is no marker line, and a fourth marker line gets nothing.
    EXPECT_EQ(ModelGenerate(bom + Wide("xABCDONLYy\r\nabcd only\r\nmyAbCdOnLyword\r\n"
                                       "abcdonly\r\nabcdonly\r\n"),
                            selection)
                  .bytes,
              bom + Wide("xABCDONLYy\r") + item + Wide("\nabcd only\r\nmyAbCdOnLyword\r") + item +
                  Wide("\nabcdonly\r") + definition + Wide("\nabcdonly\r\n"));
    // The third marker line ends in the source's last 0D 00: the definition follows the 00.
    EXPECT_EQ(ModelGenerate(Wide("abcdonly\r\nabcdonly\r\nabcdonly\r"), selection).bytes,
              Wide("abcdonly\r") + item + Wide("\nabcdonly\r") + item + Wide("\nabcdonly\r") +
                  definition);
}

// UTF-16 code units as little-endian bytes.
std::string WideUnits(std::u16string_view units) {
    std::string bytes;
    for (const char16_t unit : units) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// U+4E0D (0D 4E), U+010D (0D 01) and U+0D15 (15 0D) hold a 0D byte at an even or an odd offset;
// only the code unit U+000D ends a line.
TEST(LayoutModel, Utf16CharactersHoldingA0DByteAreLineContent) {
    const ModelSelection selection{Drives("CDE"), false};
    const std::string item = Wide(ModelItemLine(selection));
    const std::string definition = Wide(ModelDefinitionLine(selection));
    const std::string source = WideUnits(
        u"\uFEFF"
        u"x\u4E0Dy\r\n"                    // 2..11
        u"abcdonly\u4E0D\u010D\r\n"        // 12..35, CR at 32
        u"\u0D15\r\n"                      // 36..41
        u"\u010D abcdonly \u0D15\r\n"      // 42..69, CR at 66
        u"\u4E0DABCDONLY\u010D\u0D15\r\n"  // 70..95, CR at 92
        u"\u4E0D\r\n");                    // 96..101
    ASSERT_EQ(source.size(), 102u);

    const ModelOutcome outcome = ModelGenerate(source, selection);

    ASSERT_TRUE(outcome.ok());
    ASSERT_EQ(outcome.markerLines.size(), 3u);
    EXPECT_EQ(outcome.markerLines[0].consumed, 33u);
    EXPECT_EQ(outcome.markerLines[1].consumed, 67u);
    EXPECT_EQ(outcome.markerLines[2].consumed, 93u);
    EXPECT_EQ(outcome.bytes, source.substr(0, 34) + item + source.substr(34, 34) + item +
                                 source.substr(68, 26) + definition + source.substr(94));

    // A lone 0D at an even offset as the last byte still ends the third marker line, right after
    // a U+4E0D.
    const std::string odd = "\xFF\xFE" + Wide("abcdonly\r\nabcdonly\r\nabcdonly") + "\x0D\x4E\x0D";
    ASSERT_EQ(odd.size(), 61u);
    const ModelOutcome atEnd = ModelGenerate(odd, selection);
    ASSERT_TRUE(atEnd.ok());
    EXPECT_EQ(atEnd.markerLines[2].consumed, 61u);
    EXPECT_EQ(atEnd.markerLines[2].end, ModelLineEnd::Cr);
    EXPECT_TRUE(atEnd.bytes.ends_with("\x0D\x4E\x0D" + definition));
}

TEST(LayoutModel, EightBitSourceGetsNarrowInsertsAfterWholeLineEnds) {
    // Lone LF, CR LF and lone CR each end a line; the inserts follow them, one byte a character.
    const std::string source = "x\nABCDOnly\nmid abcdonly\r\nlast AbCdOnLy\rtail";
    const ModelSelection selection{Drives("C"), false};
    const std::string item = ModelItemLine(selection);

    const ModelOutcome outcome = ModelGenerate(source, selection);

    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(ModelDetectEncoding(source), ModelEncoding::EightBit);
    EXPECT_EQ(outcome.bytes, "x\nABCDOnly\n" + item + "mid abcdonly\r\n" + item +
                                 "last AbCdOnLy\r" + ModelDefinitionLine(selection) + "tail");
}

TEST(LayoutModel, ThirdMarkerWithoutLineEndGetsItsOwnLine) {
    const ModelSelection selection{Drives("D"), false};
    const std::string wide = "\xFF\xFE" + Wide("abcdonly\r\nabcdonly\r\nabcdonly");
    const ModelOutcome wideOutcome = ModelGenerate(wide, selection);
    ASSERT_TRUE(wideOutcome.ok());
    EXPECT_EQ(wideOutcome.bytes.substr(wide.size() + 4 * ModelItemLine(selection).size()),
              Wide("\r\n" + ModelDefinitionLine(selection)));

    const ModelOutcome narrow = ModelGenerate("abcdonly\nabcdonly\nabcdonly", selection);
    ASSERT_TRUE(narrow.ok());
    EXPECT_TRUE(narrow.bytes.ends_with("abcdonly\r\n" + ModelDefinitionLine(selection)));
}

TEST(LayoutModel, RefusalsAndTheirCounts) {
    const ModelSelection c{Drives("C"), false};
    EXPECT_EQ(ModelGenerate(Wide("abcdonly\r\nabcdonly\r\n"), c).markersFound, 2);
    EXPECT_EQ(ModelGenerate(Wide("abcdonly\r\nabcdonly\r\n"), c).verdict,
              ModelVerdict::TooFewMarkers);
    EXPECT_EQ(ModelGenerate("", c).markersFound, 0);
    EXPECT_EQ(ModelGenerate(std::string_view("\xFE\xFF\0a", 4), c).verdict,
              ModelVerdict::BigEndian);
    EXPECT_EQ(ModelGenerate(Wide("abcdonly\r\nabcdonly\r\nabcdonly\r\n"), {0, true}).verdict,
              ModelVerdict::NothingTicked);
}

}  // namespace
}  // namespace tarnwick::model
