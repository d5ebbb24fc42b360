#include "readback/SambaJsonReader.h"

#include <algorithm>
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

// The state of a value whose record takes its type from `type` and its data from `data` (either
// missing): set to a mask, removed (an entry for samba-tool gpo remove, which has neither), or
// why it is no mask.
void StateOf(const Json* type, const Json* data, FoundValue& value) {
    if (type == nullptr && data == nullptr) {
        value.state = "removed";
        return;
    }
    const auto number = type == nullptr ? Result<std::uint32_t>(Failure{"no type"}) : TypeOf(*type);
    if (!number) {
        value.state = number.failure().message;
    } else if (*number == kRegDword) {
        value.mask = data ? Dword(*data) : std::nullopt;
        value.state = value.mask ? "set" : "REG_DWORD without a number";
    } else if (*number == kRegBinary && data && data->kind == Json::Kind::Array &&
               data->items.size() == 4) {
        // samba-tool writes a list of byte values as the REG_BINARY's bytes.
        std::string four;
        for (const Json& item : data->items) {
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
        value.state = *number < std::size(kTypeNames) ? std::string(kTypeNames[*number])
                                                      : "type " + std::to_string(*number);
    }
}

const Json* Member(const Json& entry, const char* name) {
    const auto it = entry.members.find(name);
    return it == entry.members.end() ? nullptr : &it->second;
}

// The policy files an entry's class names, as samba-tool takes it (in any case): USER, MACHINE
// or BOTH; any other class as written, for show to list.
std::vector<std::string> ClassesOf(const Json& entry) {
    const std::string* cls = TextMember(entry, "class");
    if (cls == nullptr) return {"no class"};
    if (EqualNoCase(*cls, "both")) return {"USER", "MACHINE"};
    if (EqualNoCase(*cls, "user") || EqualNoCase(*cls, "machine")) return {UpperAscii(*cls)};
    return {*cls};
}

// "entry 2", "entries 1, 2 and 4", or past five "entries 1, 2, 3, 4, 5 and 9 more".
std::string EntryList(const std::vector<std::size_t>& entries) {
    std::string text = entries.size() == 1 ? "entry " : "entries ";
    const std::size_t shown = entries.size() > 5 ? 5 : entries.size();
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0) text += i + 1 == entries.size() ? " and " : ", ";
        text += std::to_string(entries[i]);
    }
    if (shown < entries.size()) text += " and " + std::to_string(entries.size() - shown) + " more";
    return text;
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
    // samba-tool gpo load writes one record per key and value name spelt exactly alike, in the
    // place of its first entry, with that entry's type and the last one's data; the client then
    // applies the records in order, taking names in any case. So in each class a value is what
    // its last record says, and every other entry for it is overridden.
    struct Record {
        std::string cls, key, name;
        std::string_view value;  // kNoDrivesValue or kNoViewOnDriveValue
        std::size_t first = 0, last = 0;
    };
    struct Group {
        std::string cls;
        std::string_view value;
        std::vector<std::size_t> entries;
        std::size_t record = 0;  // the last one of this class and value
    };
    std::vector<Record> records;
    std::vector<Group> groups;  // in the order first met
    std::map<std::string, std::size_t> recordOf,
        groupOf;  // by class, key and name; class and value
    for (std::size_t i = 0; i < parsed->items.size(); ++i) {
        const Json& entry = parsed->items[i];
        if (entry.kind != Json::Kind::Object) {
            return Failure{"entry " + std::to_string(i + 1) + " is not an object"};
        }
        const std::string* key = TextMember(entry, "keyname");
        const std::string* name = TextMember(entry, "valuename");
        if (key == nullptr || name == nullptr || !EqualNoCase(*key, kExplorerPoliciesKey)) continue;
        std::string_view value;
        for (std::string_view drive : {kNoDrivesValue, kNoViewOnDriveValue})
            if (EqualNoCase(*name, drive)) value = drive;
        if (value.empty()) continue;
        for (const std::string& cls : ClassesOf(entry)) {
            const auto [r, newRecord] =
                recordOf.try_emplace(cls + '\n' + *key + '\n' + *name, records.size());
            if (newRecord) records.push_back({cls, *key, *name, value, i, i});
            records[r->second].last = i;
            const auto [g, newGroup] =
                groupOf.try_emplace(cls + '\n' + std::string(value), groups.size());
            if (newGroup) groups.push_back({cls, value, {}, 0});
            groups[g->second].entries.push_back(i + 1);
            groups[g->second].record = std::max(groups[g->second].record, r->second);
        }
    }
    std::vector<FoundValue> found;
    for (Group& group : groups) {
        const Record& record = records[group.record];
        std::erase(group.entries, record.last + 1);
        FoundValue value;
        value.valueName = std::string(group.value);
        value.where = group.cls + ", entry " + std::to_string(record.last + 1);
        if (!group.entries.empty())
            value.where += " (applies over " + EntryList(group.entries) + ")";
        StateOf(Member(parsed->items[record.first], "type"),
                Member(parsed->items[record.last], "data"), value);
        found.push_back(std::move(value));
    }
    return found;
}

}  // namespace tarnwick::readback
