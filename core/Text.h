// The one text toolkit of every part: UTF-8 and UTF-16 (either byte order) both ways, cuts at a
// character boundary and excerpts for messages, numbers read and written, ASCII case and blanks,
// and how a message names a file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/Result.h"

namespace tarnwick {

// ---- UTF-8 and UTF-16

void AppendUtf8(std::string& out, char32_t code);
// UTF-16 units as UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf8Of(std::u16string_view units);
// Where the first surrogate without its partner is, or npos: for a reader that must refuse what
// Utf8Of would replace.
std::size_t LoneSurrogateAt(std::u16string_view units);

// The character whose UTF-8 starts at byte `at`. Only the shortest form of U+0000..U+10FFFF
// without surrogates is valid; a byte that starts no valid sequence is one invalid character
// U+FFFD of length 1, so that a decoder moves on by a byte and loses nothing after it.
struct Utf8Char {
    char32_t code = 0;
    std::size_t length = 1;
    bool valid = true;
};
Utf8Char Utf8At(std::string_view text, std::size_t at);
bool IsUtf8(std::string_view text);
// UTF-8 without control characters (C0, DEL, C1): text that reads back as written and shows as
// typed.
bool IsPlainUtf8(std::string_view text);

enum class ByteOrder { Little, Big };

// UTF-8 as UTF-16 units (or bytes in `order`); an invalid byte becomes U+FFFD.
std::u16string Utf16Of(std::string_view utf8);
std::string Utf16Bytes(std::string_view utf8, ByteOrder order);
// The whole units of UTF-16 bytes in `order`; an odd last byte is left out.
std::u16string UnitsOf(std::string_view bytes, ByteOrder order);
// UTF-16 bytes in `order` as UTF-8; a lone surrogate and an odd last byte become U+FFFD.
std::string Utf8OfBytes(std::string_view bytes, ByteOrder order);

// ---- Cuts

// The largest length of at most `bytes` that does not cut a UTF-8 sequence in two.
std::size_t Utf8Cut(std::string_view text, std::size_t bytes);

inline constexpr std::size_t kExcerptBytes = 80;
// Text from a file as a message quotes it (a line or word of a crafted file may be megabytes):
// itself when short, else its first `bytes` bytes cut at a character boundary and "...", with
// control characters as escapes (Visible).
std::string Excerpt(std::string_view text, std::size_t bytes = kExcerptBytes);

// ---- Numbers

// Why a text is no number: empty, a character that is no digit of the base (a sign, a blank or a
// "0x" included), or a value beyond the type read.
enum class NumberFault { Empty, NotDigit, Overflow };

// The value of an ASCII digit in base 10 or 16 (either case), or -1 for any other character.
int DigitValue(char c, int base);
// The whole of `digits` in base 10 or 16 as a number no larger than `max`.
Result<std::uint64_t, NumberFault> ReadNumber(std::string_view digits, int base, std::uint64_t max);
inline Result<std::uint32_t, NumberFault> ReadU32(std::string_view digits, int base = 10) {
    const auto read = ReadNumber(digits, base, UINT32_MAX);
    if (!read) return read.failure();
    return static_cast<std::uint32_t>(*read);
}
inline Result<std::uint64_t, NumberFault> ReadU64(std::string_view digits, int base = 10) {
    return ReadNumber(digits, base, UINT64_MAX);
}

// Numbers as text, as printf would write them but without it: printf links a formatter of 28 KB
// (floating point included) into each exe. At least `digits` digits, zeros in front.
std::string DecimalText(std::uint64_t value, int digits = 1);
std::string HexText(std::uint64_t value, int digits, bool upper = true);
// printf's "%.0f": every digit of a double's exact value, never an exponent, halves to even.
std::string WholeNumberText(double value);

// ---- ASCII case and blanks

char LowerAscii(char c);
char UpperAscii(char c);
std::string LowerAscii(std::string_view text);
std::string UpperAscii(std::string_view text);
bool EqualNoCase(std::string_view a, std::string_view b);  // ASCII letters only
// Ordered as EqualNoCase compares: by the lower-case bytes.
bool LessNoCase(std::string_view a, std::string_view b);
// `suffix` in lower case.
bool EndsWithNoCase(std::string_view text, std::string_view suffix);
// Whether `c` is one of the `blanks` (blanks and tabs unless told).
bool IsBlank(char32_t c, std::string_view blanks = " \t");
// Without the `blanks` at either end.
std::string_view TrimBlanks(std::string_view text, std::string_view blanks = " \t");

// ---- Names made of names

// Literal texts joined at compile time, so that a name made of another ("TarnwickDrives" and
// ".admx") spells it once: JoinedText(kPairName, ".admx").data() is a constant.
template <std::size_t A, std::size_t B>
constexpr std::array<char, A + B - 1> JoinedText(const std::array<char, A>& a,
                                                 const std::array<char, B>& b) {
    std::array<char, A + B - 1> out{};
    for (std::size_t i = 0; i + 1 < A; ++i)
        out[i] = a[i];
    for (std::size_t i = 0; i < B; ++i)
        out[A - 1 + i] = b[i];
    return out;
}
template <std::size_t A, std::size_t B>
constexpr std::array<char, A + B - 1> JoinedText(const std::array<char, A>& a, const char (&b)[B]) {
    return JoinedText(a, std::to_array(b));
}
template <std::size_t A, std::size_t B>
constexpr std::array<char, A + B - 1> JoinedText(const char (&a)[A], const char (&b)[B]) {
    return JoinedText(std::to_array(a), std::to_array(b));
}

// ---- Messages

// Text from a file as a message or a listing shows it: every control character (C0, DEL and the
// C1 range) written as an escape such as \x1B or \u009B, so that a crafted file cannot act on the
// administrator's terminal. Everything else, invalid UTF-8 included, stays as it is.
std::string Visible(std::string_view text);

// `path` between double quotes, as every message names a file.
std::string Quoted(std::string_view path);
// `name` inside `folder`, with the system's separator unless the folder ends in one.
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace tarnwick
