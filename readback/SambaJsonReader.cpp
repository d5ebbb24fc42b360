#include "readback/SambaJsonReader.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "core/DriveSet.h"
#include "core/Limits.h"
#include "core/Text.h"

namespace tarnwick::readback {

namespace {

struct Json {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    std::string text;  // a string's value, or a number as written
    std::vector<Json> items;
    std::map<std::string, Json> members;
};

// Strict JSON (RFC 8259) into a small tree, nesting at most 64 deep.
class Parser {
  public:
    explicit Parser(std::string_view text) : text_(text) {}

    Result<Json> Run() {
        Json value;
        if (!Value(value, 0)) return Failure{error_};
        Blank();
        if (at_ != text_.size()) return Fail("text after the end of the list"), Failure{error_};
        return value;
    }

  private:
    bool Fail(const std::string& what) {
        if (!error_.empty()) return false;
        std::size_t line = 1, column = 1;
        for (std::size_t i = 0; i < at_ && i < text_.size(); ++i) {
            if (text_[i] == '\n') {
                ++line, column = 1;
            } else {
                ++column;
            }
        }
        error_ =
            "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what;
        return false;
    }

    void Blank() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\n' || text_[at_] == '\r')) {
            ++at_;
        }
    }

    bool Literal(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return Fail("expected a JSON value");
        at_ += word.size();
        return true;
    }

    bool Value(Json& value, int depth) {
        if (depth > 64) return Fail("nested too deeply");
        Blank();
        if (at_ >= text_.size()) return Fail("the text ends where a value was expected");
        const char c = text_[at_];
        if (c == '{') return Object(value, depth);
        if (c == '[') return Array(value, depth);
        if (c == '"') return value.kind = Json::Kind::String, String(value.text);
        if (c == 't') return value.kind = Json::Kind::Bool, value.text = "true", Literal("true");
        if (c == 'f') return value.kind = Json::Kind::Bool, value.text = "false", Literal("false");
        if (c == 'n') return Literal("null");
        return Number(value);
    }

    bool Number(Json& value) {
        const std::size_t start = at_;
        auto digits = [&] {
            const std::size_t from = at_;
            while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9')
                ++at_;
            return at_ > from;
        };
        if (at_ < text_.size() && text_[at_] == '-') ++at_;
        if (at_ < text_.size() && text_[at_] == '0') {
            ++at_;
        } else if (!digits()) {
            return Fail("expected a JSON value");
        }
        if (at_ < text_.size() && text_[at_] == '.') {
            ++at_;
            if (!digits()) return Fail("expected digits after the decimal point");
        }
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            ++at_;
            if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
            if (!digits()) return Fail("expected digits in the exponent");
        }
        value.kind = Json::Kind::Number;
        value.text = std::string(text_.substr(start, at_ - start));
        return true;
    }

    bool Hex4(std::uint32_t& unit) {
        if (at_ + 4 > text_.size()) return Fail("a \\u escape needs four hex digits");
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = DigitValue(text_[at_++], 16);
            if (digit < 0) return Fail("a \\u escape needs four hex digits");
            unit = unit << 4 | static_cast<std::uint32_t>(digit);
        }
        return true;
    }

    bool String(std::string& out) {
        ++at_;  // the opening quote
        while (true) {
            if (at_ >= text_.size()) return Fail("a string has no closing quote");
            const char c = text_[at_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) {
                --at_;
                return Fail("a control character inside a string");
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) return Fail("a string has no closing quote");
            const char e = text_[at_++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    std::uint32_t unit = 0;
                    if (!Hex4(unit)) return false;
                    std::u16string units(1, static_cast<char16_t>(unit));
                    if (unit >= 0xD800 && unit < 0xDC00 && text_.substr(at_, 2) == "\\u") {
                        at_ += 2;
                        if (!Hex4(unit)) return false;
                        units += static_cast<char16_t>(unit);
                    }
                    out += Utf8Of(units);
                    break;
                }
                default:
                    --at_;
                    return Fail("an unknown escape inside a string");
            }
        }
    }

    bool Array(Json& value, int depth) {
        value.kind = Json::Kind::Array;
        ++at_;
        Blank();
        if (at_ < text_.size() && text_[at_] == ']') return ++at_, true;
        while (true) {
            value.items.emplace_back();
            if (!Value(value.items.back(), depth + 1)) return false;
            Blank();
            if (at_ < text_.size() && text_[at_] == ',') {
                ++at_;
                continue;
            }
            if (at_ < text_.size() && text_[at_] == ']') return ++at_, true;
            return Fail("expected \",\" or \"]\"");
        }
    }

    bool Object(Json& value, int depth) {
        value.kind = Json::Kind::Object;
        ++at_;
        Blank();
        if (at_ < text_.size() && text_[at_] == '}') return ++at_, true;
        while (true) {
            Blank();
            if (at_ >= text_.size() || text_[at_] != '"') return Fail("expected a member name");
            std::string name;
            if (!String(name)) return false;
            Blank();
            if (at_ >= text_.size() || text_[at_] != ':') return Fail("expected \":\"");
            ++at_;
            Json member;
            if (!Value(member, depth + 1)) return false;
            value.members[name] = std::move(member);
            Blank();
            if (at_ < text_.size() && text_[at_] == ',') {
                ++at_;
                continue;
            }
            if (at_ < text_.size() && text_[at_] == '}') return ++at_, true;
            return Fail("expected \",\" or \"}\"");
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::string error_;
};

const std::string* TextMember(const Json& object, const std::string& name) {
    const auto it = object.members.find(name);
    if (it == object.members.end() || it->second.kind != Json::Kind::String) return nullptr;
    return &it->second.text;
}

// A whole non-negative number no larger than 32 bits, as JSON wrote it.
std::optional<std::uint32_t> Dword(const Json& value) {
    if (value.kind != Json::Kind::Number) return std::nullopt;
    const auto number = ReadU32(value.text);
    return number ? std::optional<std::uint32_t>(*number) : std::nullopt;
}

// The registry type names samba-tool knows, by number.
constexpr std::string_view kTypeNames[] = {"REG_NONE",
                                           "REG_SZ",
                                           "REG_EXPAND_SZ",
                                           "REG_BINARY",
                                           "REG_DWORD",
                                           "REG_DWORD_BIG_ENDIAN",
                                           "REG_LINK",
                                           "REG_MULTI_SZ",
                                           "REG_RESOURCE_LIST",
                                           "REG_FULL_RESOURCE_DESCRIPTOR",
                                           "REG_RESOURCE_REQUIREMENTS_LIST",
                                           "REG_QWORD"};

// The type as samba-tool's loader takes it: a number as it stands (true and false are the numbers
// 1 and 0 to Python), or one of the names above in any case; why not, otherwise.
Result<std::uint32_t> TypeOf(const Json& type) {
    if (type.kind == Json::Kind::Bool) return type.text == "true" ? 1u : 0u;
    if (type.kind == Json::Kind::Number) {
        if (const auto number = Dword(type)) return *number;
        return Failure{"type " + type.text + ", no registry type"};
    }
    if (type.kind != Json::Kind::String) return Failure{"no type"};
    for (std::size_t i = 0; i < std::size(kTypeNames); ++i)
        if (UpperAscii(type.text) == kTypeNames[i]) return static_cast<std::uint32_t>(i);
    return Failure{type.text};
}

}  // namespace

Result<std::vector<FoundValue>> ReadSambaJson(std::string_view text) {
    if (text.size() > kMaxInputBytes) {
        return Failure{"is " + LargerThanLimit()};
    }
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    auto parsed = Parser(text).Run();
    if (!parsed) return parsed.failure();
    if (parsed->kind != Json::Kind::Array) {
        return Failure{"line 1: the settings for samba-tool gpo load are a list ([...])"};
    }
    std::vector<FoundValue> found;
    for (std::size_t i = 0; i < parsed->items.size(); ++i) {
        const Json& entry = parsed->items[i];
        if (entry.kind != Json::Kind::Object) {
            return Failure{"entry " + std::to_string(i + 1) + " is not an object"};
        }
        const std::string* key = TextMember(entry, "keyname");
        const std::string* name = TextMember(entry, "valuename");
        if (key == nullptr || name == nullptr || !EqualNoCase(*key, kExplorerPoliciesKey)) continue;
        FoundValue value;
        if (EqualNoCase(*name, kNoDrivesValue)) {
            value.valueName = kNoDrivesValue;
        } else if (EqualNoCase(*name, kNoViewOnDriveValue)) {
            value.valueName = kNoViewOnDriveValue;
        } else {
            continue;
        }
        const std::string* cls = TextMember(entry, "class");
        value.where = (cls ? *cls : std::string("no class")) + ", entry " + std::to_string(i + 1);
        const auto typeMember = entry.members.find("type");
        const auto type = typeMember == entry.members.end()
                              ? Result<std::uint32_t>(Failure{"no type"})
                              : TypeOf(typeMember->second);
        const auto data = entry.members.find("data");
        const Json* bytes = data == entry.members.end() ? nullptr : &data->second;
        if (!type) {
            value.state = type.failure().message;
        } else if (*type == kRegDword) {
            value.mask = bytes ? Dword(*bytes) : std::nullopt;
            value.state = value.mask ? "set" : "REG_DWORD without a number";
        } else if (*type == kRegBinary && bytes && bytes->kind == Json::Kind::Array &&
                   bytes->items.size() == 4) {
            // samba-tool writes a list of byte values as the REG_BINARY's bytes.
            std::string four;
            for (const Json& item : bytes->items) {
                const auto byte = Dword(item);
                if (byte && *byte < 256) four += static_cast<char>(*byte);
            }
            if (four.size() == 4) {
                value.state = "set";
                value.mask = Le32Of(four);
                value.note = std::string(kBinaryNote);
            } else {
                value.state = "REG_BINARY";
            }
        } else {
            value.state = *type < std::size(kTypeNames) ? std::string(kTypeNames[*type])
                                                        : "type " + std::to_string(*type);
        }
        found.push_back(std::move(value));
    }
    return found;
}

}  // namespace tarnwick::readback
