#include <gtest/gtest.h>

#include <string>

#include "core/Text.h"

namespace tarnwick {
namespace {

// What a crafted file could send to a terminal is shown, not obeyed; every other byte, text in any
// language and broken UTF-8 included, is left as it came.
TEST(Visible, EscapesControlCharactersOnly) {
    const struct {
        std::string text, shown;
    } cases[] = {
        {"\x1B[2J\x1B]0;owned\x07", "\\x1B[2J\\x1B]0;owned\\x07"},
        {std::string("a\0b\tc\x7F", 6), "a\\x00b\\x09c\\x7F"},
        {"\xC2\x9B"
         "31m \xC2\x80",
         "\\u009B31m \\u0080"},
        {"Laufwerke \xC3\xA4 \xC2\xA0 \xE5\x8D\x81", "Laufwerke \xC3\xA4 \xC2\xA0 \xE5\x8D\x81"},
        {"\xC2", "\xC2"},
        {"\x9B\xC2", "\x9B\xC2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Visible(c.text), c.shown) << testing::PrintToString(c.text);
}

}  // namespace
}  // namespace tarnwick
