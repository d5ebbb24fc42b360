#include "core/Text.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tarnwick {

void AppendUtf8(std::string& out, char32_t code) {
    auto put = [&](char32_t value) { out.push_back(static_cast<char>(value)); };
    if (code < 0x80) {
        put(code);
    } else if (code < 0x800) {
        put(0xC0 | (code >> 6));
        put(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        put(0xE0 | (code >> 12));
        put(0x80 | ((code >> 6) & 0x3F));
        put(0x80 | (code & 0x3F));
    } else {
        put(0xF0 | (code >> 18));
        put(0x80 | ((code >> 12) & 0x3F));
        put(0x80 | ((code >> 6) & 0x3F));
        put(0x80 | (code & 0x3F));
    }
}

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit < 0xDC00;
}

bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit < 0xE000;
}

void AppendUnits(std::u16string& out, char32_t code) {
    if (code < 0x10000) {
        out += static_cast<char16_t>(code);
    } else {
        out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
        out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
}

}  // namespace

std::string Utf8Of(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t code = units[i];
        if (IsHighSurrogate(code) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
            code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00u);
        } else if (IsHighSurrogate(code) || IsLowSurrogate(code)) {
            code = kReplacement;
        }
        AppendUtf8(out, code);
    }
    return out;
}

std::size_t LoneSurrogateAt(std::u16string_view units) {
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (IsHighSurrogate(units[i]) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
            ++i;
        } else if (IsHighSurrogate(units[i]) || IsLowSurrogate(units[i])) {
            return i;
        }
    }
    return std::u16string_view::npos;
}

Utf8Char Utf8At(std::string_view text, std::size_t at) {
    constexpr Utf8Char kInvalid{kReplacement, 1, false};
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return {lead, 1, true};
    std::size_t length = 0;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07u;
    } else {
        return kInvalid;
    }
    if (text.size() - at < length) return kInvalid;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) return kInvalid;
        code = (code << 6) | (next & 0x3Fu);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) return kInvalid;
    return {code, length, true};
}

bool IsUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Char c = Utf8At(text, at);
        if (!c.valid) return false;
        at += c.length;
    }
    return true;
}

bool IsPlainUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Char c = Utf8At(text, at);
        if (!c.valid || c.code < 0x20 || (c.code >= 0x7F && c.code <= 0x9F)) return false;
        at += c.length;
    }
    return true;
}

std::u16string Utf16Of(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const Utf8Char c = Utf8At(utf8, at);
        AppendUnits(out, c.code);
        at += c.length;
    }
    return out;
}

std::string Utf16Bytes(std::string_view utf8, ByteOrder order) {
    const std::u16string units = Utf16Of(utf8);
    std::string out;
    out.reserve(2 * units.size());
    for (const char16_t unit : units) {
        const char low = static_cast<char>(unit & 0xFF);
        const char high = static_cast<char>(unit >> 8);
        out += order == ByteOrder::Little ? low : high;
        out += order == ByteOrder::Little ? high : low;
    }
    return out;
}

std::u16string UnitsOf(std::string_view bytes, ByteOrder order) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
        const auto first = static_cast<unsigned char>(bytes[at]);
        const auto second = static_cast<unsigned char>(bytes[at + 1]);
        units += static_cast<char16_t>(order == ByteOrder::Little ? first | second << 8
                                                                  : first << 8 | second);
    }
    return units;
}

std::string Utf8OfBytes(std::string_view bytes, ByteOrder order) {
    std::string out = Utf8Of(UnitsOf(bytes, order));
    if (bytes.size() % 2 != 0) AppendUtf8(out, kReplacement);
    return out;
}

std::size_t Utf8Cut(std::string_view text, std::size_t bytes) {
    if (text.size() <= bytes) return text.size();
    std::size_t cut = bytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return cut;
}

std::string Excerpt(std::string_view text, std::size_t bytes) {
    if (text.size() <= bytes) return Visible(text);
    return Visible(text.substr(0, Utf8Cut(text, bytes))) + "...";
}

Result<std::uint64_t, NumberFault> ReadNumber(std::string_view digits, int base,
                                              std::uint64_t max) {
    if (digits.empty()) return NumberFault::Empty;
    const auto radix = static_cast<std::uint64_t>(base);
    std::uint64_t value = 0;
    bool over = false;
    for (const char c : digits) {
        const int digit = DigitValue(c, base);
        if (digit < 0) return NumberFault::NotDigit;
        const auto d = static_cast<std::uint64_t>(digit);
        // Every character is still looked at, so that junk after an overflow is called junk.
        if (d > max || value > (max - d) / radix) over = true;
        if (!over) value = value * radix + d;
    }
    if (over) return NumberFault::Overflow;
    return value;
}

namespace {
std::string Digits(std::uint64_t value, unsigned base, int digits, const char* set) {
    char text[64];
    int at = 64;
    do {
        text[--at] = set[value % base];
        value /= base;
    } while (value != 0 || 64 - at < digits);
    return std::string(text + at, text + 64);
}
}  // namespace

std::string DecimalText(std::uint64_t value, int digits) {
    return Digits(value, 10, std::clamp(digits, 1, 20), "0123456789");
}

std::string HexText(std::uint64_t value, int digits, bool upper) {
    return Digits(value, 16, std::clamp(digits, 1, 16),
                  upper ? "0123456789ABCDEF" : "0123456789abcdef");
}

std::string WholeNumberText(double value) {
    if (std::isnan(value)) return "nan";
    const std::string sign = std::signbit(value) ? "-" : "";
    if (std::isinf(value)) return sign + "inf";
    double magnitude = std::fabs(value);
    // Below 2^53 a double's whole part fits a uint64_t and its fraction is exact.
    if (magnitude < 9007199254740992.0) {
        auto whole = static_cast<std::uint64_t>(magnitude);
        const double fraction = magnitude - static_cast<double>(whole);
        if (fraction > 0.5 || (fraction == 0.5 && whole % 2 == 1)) ++whole;
        return sign + DecimalText(whole);
    }
    // Above, the value is mantissa * 2^exponent exactly: doubled in base 10^9 limbs.
    int exponent = 0;
    const auto mantissa =
        static_cast<std::uint64_t>(std::ldexp(std::frexp(magnitude, &exponent), 53));
    std::vector<std::uint32_t> limbs{static_cast<std::uint32_t>(mantissa % 1000000000),
                                     static_cast<std::uint32_t>(mantissa / 1000000000)};
    for (int i = 53; i < exponent; ++i) {
        std::uint32_t carry = 0;
        for (std::uint32_t& limb : limbs) {
            const std::uint32_t doubled = limb * 2 + carry;
            carry = doubled >= 1000000000;
            limb = doubled - carry * 1000000000;
        }
        if (carry) limbs.push_back(carry);
    }
    while (limbs.size() > 1 && limbs.back() == 0)
        limbs.pop_back();
    std::string text = sign + DecimalText(limbs.back());
    for (auto limb = limbs.rbegin() + 1; limb != limbs.rend(); ++limb)
        text += DecimalText(*limb, 9);
    return text;
}

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = UpperAscii(c);
    return out;
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = LowerAscii(c);
    return out;
}

bool IsBlank(char32_t c, std::string_view blanks) {
    return c < 0x80 && blanks.find(static_cast<char>(c)) != std::string_view::npos;
}

std::string_view TrimBlanks(std::string_view text, std::string_view blanks) {
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return text.substr(text.size());
    return text.substr(first, text.find_last_not_of(blanks) + 1 - first);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

bool LessNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char x = LowerAscii(a[i]), y = LowerAscii(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           LowerAscii(text.substr(text.size() - suffix.size())) == suffix;
}

int DigitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9') value = c - '0';
    if (base == 16 && (c | 0x20) >= 'a' && (c | 0x20) <= 'f') value = (c | 0x20) - 'a' + 10;
    return value < base ? value : -1;
}

std::string Visible(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else if (byte == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            const auto low = static_cast<unsigned char>(text[++i]);
            out += "\\u00";
            out += kHex[low >> 4];
            out += kHex[low & 0xF];
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Quoted(std::string_view path) {
    std::string out = "\"";
    out.append(path).push_back('"');
    return out;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
#ifdef _WIN32
    constexpr char kSeparator = '\\';
#else
    constexpr char kSeparator = '/';
#endif
    std::string out(folder);
    if (out.empty() || (out.back() != '/' && out.back() != kSeparator)) out.push_back(kSeparator);
    out.append(name);
    return out;
}

}  // namespace tarnwick
