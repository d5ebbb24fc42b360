#include "prefs/Names.h"

#include <vector>

#include "core/Text.h"

namespace tarnwick::prefs {

namespace {

constexpr const char* kOuExample = " (such as OU=Pupils,DC=contoso,DC=com)";
constexpr const char* kAccountExample = " (DOMAIN\\name, such as CONTOSO\\kiosk)";

bool IsAlpha(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t Characters(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

// A value as the directory writes it in a name: the characters it escapes (Microsoft's list,
// which covers RFC 4514's) with a backslash, and a blank at either end.
std::string EscapedValue(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        const bool edgeBlank = c == ' ' && (i == 0 || i + 1 == value.size());
        if (edgeBlank || std::string_view(",\\#+<>;\"=").find(c) != std::string_view::npos) {
            out += '\\';
        }
        out += c;
    }
    return out;
}

struct Part {
    std::string type;   // in upper case
    std::string value;  // unescaped
};

}  // namespace

Result<std::string> NormalOuName(std::string_view text) {
    const auto refuse = [&](const std::string& why) {
        return Failure{"the OU's distinguished name " + Quoted(Visible(text)) + " " + why};
    };
    std::vector<Part> parts;
    std::size_t at = 0;
    const auto skipBlanks = [&] {
        while (at < text.size() && text[at] == ' ')
            ++at;
    };
    for (;;) {
        skipBlanks();
        const std::size_t typeBegin = at;
        if (at < text.size() && IsAlpha(text[at])) {
            while (at < text.size() && (IsAlpha(text[at]) || IsDigit(text[at]) || text[at] == '-'))
                ++at;
        } else {
            while (at < text.size() && (IsDigit(text[at]) || text[at] == '.'))
                ++at;  // an OID
        }
        const std::string type = UpperAscii(text.substr(typeBegin, at - typeBegin));
        skipBlanks();
        if (type.empty() && at == text.size()) {
            return refuse(parts.empty() ? "is empty"
                                        : "ends with a separator, with no part after it");
        }
        if (type.empty() || at == text.size() || text[at] != '=') {
            return refuse("has no attribute type and '=' at character " +
                          std::to_string(Characters(text.substr(0, at)) + 1) + kOuExample);
        }
        ++at;
        skipBlanks();
        if (at < text.size() && text[at] == '#') {
            return refuse("has a value in its #hex form, which names no OU; write the name itself");
        }
        std::string value;
        std::size_t kept = 0;  // the value up to its last character that is no unescaped blank
        while (at < text.size() && text[at] != ',' && text[at] != '+' && text[at] != ';') {
            const char c = text[at];
            if (c == '\\') {
                const char next = at + 1 < text.size() ? text[at + 1] : '\0';
                const char after = at + 2 < text.size() ? text[at + 2] : '\0';
                if (DigitValue(next, 16) >= 0 && DigitValue(after, 16) >= 0) {
                    value += static_cast<char>(DigitValue(next, 16) * 16 + DigitValue(after, 16));
                    at += 3;
                } else if (next != '\0' &&
                           std::string_view(" \"#+,;<=>\\").find(next) != std::string_view::npos) {
                    value += next;
                    at += 2;
                } else {
                    return refuse(
                        "has a backslash that escapes nothing (it goes before one of "
                        "\" # + , ; < = > \\, a blank or two hex digits)");
                }
                kept = value.size();
                continue;
            }
            if (c == '"' || c == '<' || c == '>') {
                return refuse(std::string("has ") + c + " without the backslash it needs (\\" + c +
                              ")");
            }
            value += c;
            ++at;
            if (c != ' ') kept = value.size();
        }
        value.resize(kept);
        if (value.empty()) return refuse("has " + type + "= with no name after it");
        if (!IsPlainUtf8(value)) {
            return refuse("has a value that is no UTF-8 text or holds control characters");
        }
        parts.push_back({type, std::move(value)});
        if (at == text.size()) break;
        if (text[at] == ';') {
            return refuse(
                "separates its parts with ';', an old form that clients need not read: "
                "use ','" +
                std::string(kOuExample));
        }
        if (text[at] == '+') {
            return refuse(
                "joins several values in one part with '+' (OU=a+CN=b), which names no "
                "OU");
        }
        ++at;
    }
    if (parts.front().type == "CN") {
        return refuse(
            "names a container (CN=...), not an organisational unit: OU targeting takes "
            "OUs only (for the users of a container, target a group)");
    }
    if (parts.front().type != "OU")
        return refuse("starts with " + parts.front().type + "=, not OU=");
    std::size_t k = 0;
    while (k < parts.size() && parts[k].type == "OU")
        ++k;
    if (k == parts.size()) return refuse("names no domain after its OUs" + std::string(kOuExample));
    for (; k < parts.size(); ++k) {
        if (parts[k].type != "DC") {
            return refuse("has " + parts[k].type +
                          "= where an OU's name has OU= or DC=: OU=...[,OU=...],DC=...[,DC=...]");
        }
    }
    std::string normal;
    for (const Part& part : parts)
        normal += (normal.empty() ? "" : ",") + part.type + "=" + EscapedValue(part.value);
    return normal;
}

Result<std::string> NormalAccountName(std::string_view text) {
    const auto refuse = [&](const std::string& why) {
        return Failure{"the user's name " + Quoted(Visible(text)) + " " + why};
    };
    const std::string_view trimmed = TrimBlanks(text);
    const std::size_t cut = trimmed.find('\\');
    if (cut == std::string_view::npos) {
        return refuse(trimmed.find('@') != std::string_view::npos
                          ? "is a sign-in name; the item takes the account's" +
                                std::string(kAccountExample)
                          : "is no account name" + std::string(kAccountExample));
    }
    const std::string_view domain = TrimBlanks(trimmed.substr(0, cut));
    const std::string_view name = TrimBlanks(trimmed.substr(cut + 1));
    if (domain.empty() || name.empty()) {
        return refuse(std::string("has no ") + (domain.empty() ? "domain" : "account") + " part" +
                      kAccountExample);
    }
    if (Characters(domain) > 15 || domain.find_first_of("/:*?\"<>|") != std::string_view::npos) {
        return refuse(
            "has a domain Windows refuses: its short (NetBIOS) name has at most 15 characters, "
            "none of / : * ? \" < > |");
    }
    if (name.find_first_of("\"/\\[]:;|=,+*?<>") != std::string_view::npos) {
        return refuse(
            "has a character Windows refuses in an account name (\" / \\ [ ] : ; | = , + * ? < >)");
    }
    return std::string(domain) + "\\" + std::string(name);
}

}  // namespace tarnwick::prefs
