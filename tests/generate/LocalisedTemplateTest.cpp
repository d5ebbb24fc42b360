// A localised template: display texts in Chinese, Czech and Malayalam whose UTF-16LE bytes hold
// 0x0D, on the marker lines and around them. Only real line ends may place the inserts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fileio/mdlAPIFiles.h"
#include "generate/FormState.h"
#include "generate/GenerateADM.h"
#include "generate/LineReader.h"
#include "tests/generate/TestSelection.h"
#include "tests/support/LayoutModel.h"
#include "tests/support/TestFiles.h"

namespace tarnwick {
namespace {

// The bytes as UTF-16LE code units; fails the test on an odd length or a lone surrogate.
std::u16string DecodeUtf16(const std::string& bytes) {
    EXPECT_EQ(bytes.size() % 2, 0u) << "odd length";
    std::u16string units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units += static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                       static_cast<std::uint8_t>(bytes[i + 1]) << 8);
    }
    for (std::size_t i = 0; i < units.size(); ++i) {
        const bool high = units[i] >= 0xD800 && units[i] < 0xDC00;
        const bool low = units[i] >= 0xDC00 && units[i] < 0xE000;
        if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            ++i;
            continue;
        }
        EXPECT_FALSE(high || low) << "lone surrogate at unit " << i;
    }
    return units;
}

// Lines as a text editor shows them: ended by CR LF, a lone CR or a lone LF.
std::vector<std::u16string> EditorLines(std::u16string_view text) {
    std::vector<std::u16string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' || text[i] == u'\n') {
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            lines.emplace_back();
        } else {
            lines.back() += text[i];
        }
    }
    return lines;
}

std::u16string Ascii16(std::string_view ascii) {
    return {ascii.begin(), ascii.end()};
}

// 不 U+4E0D, 」 U+300D, č U+010D, ക U+0D15 (its 0D at an odd offset), ഡ U+0D21.
const std::u16string kLocalised =
    u"\uFEFF; 不要修改「驱动器」设置\r\n"
    u"CLASS USER\r\n"
    u"CATEGORY !!WindowsComponents\r\n"
    u"  POLICY !!NoDrives\r\n"
    u"    PART !!NoDrivesDropdown DROPDOWNLIST NOSORT REQUIRED\r\n"
    u"      ITEMLIST\r\n"
    u"        NAME !!ABCOnly VALUE NUMERIC 7\r\n"
    u"        NAME !!ABCDOnly VALUE NUMERIC 15 ; 不 č ക\r\n"
    u"        NAME !!DOnly VALUE NUMERIC 8 ; ഡ」\r\n"
    u"      END ITEMLIST\r\n"
    u"    END PART\r\n"
    u"  END POLICY\r\n"
    u"  POLICY !!NoViewOnDrive\r\n"
    u"    PART !!NoViewOnDriveDropdown DROPDOWNLIST NOSORT REQUIRED\r\n"
    u"      ITEMLIST\r\n"
    u"        NAME !!ABCDOnly VALUE NUMERIC 15 ; 「č」不ക\r\n"
    u"      END ITEMLIST\r\n"
    u"    END PART\r\n"
    u"  END POLICY\r\n"
    u"END CATEGORY\r\n"
    u"[strings]\r\n"
    u"ABCOnly=\"仅限制驱动器 A、B 和 C，不含其他\"\r\n"
    u"ABCDOnly=\"仅限制驱动器 A、B、C 和 D，不含其他 / Omezit pouze jednotky A až D (č) ക\"\r\n"
    u"DOnly=\"Omezit pouze jednotku D, nikoli č 不\"\r\n"
    u"NoDrives=\"隐藏「我的电脑」中的这些指定的驱动器\"\r\n";

// `localised` is written as UTF-16LE and generated from in blocks of several sizes.
void ExpectInsertsFollowRealLineEnds(const std::u16string& localised) {
    test::TempDir dir;
    const std::string source = dir.File("system.adm");
    const std::string target = dir.File("new.adm");
    const std::string bytes = test::Utf16(localised);
    test::WriteAll(source, bytes);
    const test::TestSelection selection = test::TestSelection::Of("CDE");
    const model::ModelSelection modelSelection{0b11100, false};
    const std::string item = model::ModelItemLine(modelSelection);
    const std::string definition = model::ModelDefinitionLine(modelSelection);

    for (const std::size_t blockSize :
         {std::size_t{1}, std::size_t{7}, std::size_t{64}, LineReader::kDefaultBlockSize}) {
        SCOPED_TRACE("block size " + std::to_string(blockSize));
        FormState state;
        state.strSourceADM = source;
        state.strNewADM = target;
        state.dblDriveMask = 28;
        const GenerateResult result =
            GenerateADM(selection, state, ReplaceConsent{fileio::FileIdentity(target)}, blockSize);
        ASSERT_TRUE(result) << result.failure().message;
        const std::string written = test::ReadAll(target);
        EXPECT_TRUE(written == model::ModelGenerate(bytes, modelSelection).bytes);

        // Each insert starts right after a 0D 00 at an even offset and is followed by 0A 00.
        std::vector<std::size_t> inserts;
        for (const std::string& text : {item, item, definition}) {
            const std::string wide = test::Utf16(Ascii16(text));
            const std::size_t from = inserts.empty() ? 0 : inserts.back() + 1;
            const std::size_t at = written.find(wide, from);
            ASSERT_NE(at, std::string::npos) << text;
            EXPECT_EQ(at % 2, 0u);
            EXPECT_EQ(written.substr(at - 2, 2), std::string("\r\0", 2));
            EXPECT_EQ(written.substr(at + wide.size(), 2), std::string("\n\0", 2));
            inserts.push_back(at);
        }

        // An editor shows the source's lines, each inserted line after its marker line, and the
        // empty line the source's own LF leaves after it.
        std::vector<std::u16string> expected = EditorLines(localised);
        const std::u16string markerLines[] = {
            u"        NAME !!ABCDOnly VALUE NUMERIC 15 ; 不 č ക",
            u"        NAME !!ABCDOnly VALUE NUMERIC 15 ; 「č」不ക",
            u"ABCDOnly=\"仅限制驱动器 A、B、C 和 D，不含其他 / Omezit pouze jednotky A až D (č) "
            u"ക\""};
        const std::string inserted[] = {item, item, definition};
        for (std::size_t k = 0; k < 3; ++k) {
            const auto line = std::find(expected.begin(), expected.end(), markerLines[k]);
            ASSERT_NE(line, expected.end());
            const std::string text = inserted[k].substr(0, inserted[k].size() - 2);
            expected.insert(line + 1, {Ascii16(text), u""});
        }
        EXPECT_TRUE(EditorLines(DecodeUtf16(written)) == expected);
    }
}

// With its byte-order mark and without: the comment line above U+00FF comes first either way.
TEST(LocalisedTemplate, InsertsFollowRealLineEndsAndTheResultReadsAsText) {
    ExpectInsertsFollowRealLineEnds(kLocalised);
    ExpectInsertsFollowRealLineEnds(kLocalised.substr(1));
}

}  // namespace
}  // namespace tarnwick
