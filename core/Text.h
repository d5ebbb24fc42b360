// Small text helpers that several parts need alike: UTF-8 from code points and UTF-16 units, ASCII
// case and blanks, and how a message names a file.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

void AppendUtf8(std::string& out, char32_t code);
// UTF-16 units as UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf8Of(std::u16string_view units);

std::string UpperAscii(std::string_view text);
// The value of an ASCII digit in base 10 or 16 (either case), or -1 for any other character.
int DigitValue(char c, int base);
// Without the blanks and tabs at either end.
std::string_view TrimBlanks(std::string_view text);
bool EqualNoCase(std::string_view a, std::string_view b);  // ASCII letters only
// `suffix` in lower case.
bool EndsWithNoCase(std::string_view text, std::string_view suffix);

// Text from a file as a message or a listing shows it: every control character (C0, DEL and the
// C1 range) written as an escape such as \x1B or \u009B, so that a crafted file cannot act on the
// administrator's terminal. Everything else, invalid UTF-8 included, stays as it is.
std::string Visible(std::string_view text);

// `path` between double quotes, as every message names a file.
std::string Quoted(std::string_view path);
// `name` inside `folder`, with the system's separator unless the folder ends in one.
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace tarnwick
