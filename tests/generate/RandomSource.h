// Random sources that make markers, near misses, line ends and block edges meet often.
#pragma once

#include <algorithm>
#include <iterator>
#include <random>
#include <string>

#include "tests/support/TestFiles.h"

namespace tarnwick::test {

inline std::string RandomSource(std::mt19937& random, bool utf16, int pieces = 60) {
    // Mostly marker letters, so that markers, near misses and line ends all come often.
    static const std::string kPieces[] = {"abcdonly", "ABCDONLY", "aBcDoNlY", "abcd", "only",
                                          "x",        "\r\n",     "\r",       "\n",   " "};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(kPieces) - 1);
    std::uniform_int_distribution<int> count(0, pieces);
    std::string text;
    for (int n = count(random); n > 0; --n)
        text += kPieces[pick(random)];
    if (!utf16) return text;
    std::string bytes = "\xFF\xFE" + Utf16(text);
    // Units with a 0D byte that is no line end: U+4E0D, U+010D, U+0D15 and U+0A0D.
    static const std::string kUnitsWithCr[] = {"\x0D\x4E", "\x0D\x01", "\x15\x0D", "\x0D\x0A"};
    std::uniform_int_distribution<std::size_t> unit(0, std::size(kUnitsWithCr) - 1);
    for (int n = static_cast<int>(random() % 4); n > 0 && bytes.size() > 2; --n) {
        const std::size_t at = 2 + 2 * (random() % ((bytes.size() - 2) / 2 + 1));
        bytes.insert(std::min(at, bytes.size()), kUnitsWithCr[unit(random)]);
    }
    // A few units that are not ASCII, one of them with a letter in its low byte.
    if (bytes.size() > 8 && random() % 2) bytes.replace(4, 2, "b\x62");
    if (bytes.size() > 12 && random() % 2) bytes.insert(9, 1, '\0');  // shifts the alignment
    return bytes;
}

}  // namespace tarnwick::test
