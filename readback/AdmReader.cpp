#include "readback/AdmReader.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "readback/Excerpt.h"

namespace tarnwick::readback {

namespace {

// "#if version" sections are read as the current Group Policy editor reads them.
constexpr long kEditorVersion = 5;
constexpr int kMaxCategoryDepth = 256;

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

// String names are case-insensitive, as the editor resolves them.
struct CaseLess {
    bool operator()(const std::string& a, const std::string& b) const {
        const std::size_t n = std::min(a.size(), b.size());
        for (std::size_t i = 0; i < n; ++i) {
            if (Lower(a[i]) != Lower(b[i])) return Lower(a[i]) < Lower(b[i]);
        }
        return a.size() < b.size();
    }
};
using StringTable = std::map<std::string, std::optional<std::string>, CaseLess>;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool IsComment(std::string_view rest) {
    return rest.starts_with(';') || rest.starts_with("//");
}

// A word or quoted text of the policy section: a view into the template's text, which outlives it.
struct Token {
    std::string_view text;
    bool quoted = false;
    int line = 0;
};

// Splits the file into lines (CR LF, LF or CR) on demand and applies "#if version" sections. The
// policy section (everything before the first [section]) is handed out token by token, as the
// parser asks; the rest is read by Finish, which keeps from [strings] only the definitions of the
// names asked for. So memory follows the items listed, not the size of the file.
class Scanner {
  public:
    explicit Scanner(std::string_view text) : text_(text) {}

    // The next token of the policy section; false at its end.
    bool Next(Token& token) {
        while (at_ == lineTokens_.size()) {
            if (section_ != Section::Policies || !ReadLine()) return false;
        }
        token = lineTokens_[at_++];
        return true;
    }

    // Reads the rest of the file, checking it as before, and gives its last line's number. The
    // parser calls it before reporting anything, so that the scanner's own complaints, which
    // may be about any line, come first as they always did.
    int Finish() {
        while (ReadLine()) {
        }
        if (!failed_ && !conditions_.empty()) {
            throw ReadError(line_, "expected #endif for the #if on line " +
                                       std::to_string(conditions_.back().line) +
                                       ", found the end of the file");
        }
        return line_;
    }

    // A string name whose definition Finish should keep.
    void Want(std::string_view name) { strings.emplace(std::string(name), std::nullopt); }

    // The wanted names, with their texts once defined.
    StringTable strings;

  private:
    bool ReadLine() {
        if (ended_) return false;
        const std::size_t end = text_.find_first_of("\r\n");
        const std::string_view content = text_.substr(0, end);
        ++line_;
        lineTokens_.clear();
        at_ = 0;
        if (end == std::string_view::npos) {
            ended_ = true;
        } else {
            const bool crLf =
                text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n';
            text_.remove_prefix(end + (crLf ? 2 : 1));
            ended_ = text_.empty();
        }
        try {
            Line(content, line_);
        } catch (const ReadError&) {
            ended_ = failed_ = true;  // Finish then adds nothing to this complaint
            throw;
        }
        return true;
    }

    std::string_view text_;
    int line_ = 0;
    bool ended_ = false;
    bool failed_ = false;
    std::vector<Token> lineTokens_;
    std::size_t at_ = 0;

    enum class Section { Policies, Strings, Other };

    struct Condition {
        bool holds;
        int line;
    };

    bool Active() const {
        for (const auto& c : conditions_) {
            if (!c.holds) return false;
        }
        return true;
    }

    void Line(std::string_view content, int line) {
        const std::string_view trimmed = Trim(content);
        if (trimmed.starts_with('#')) {
            const std::size_t comment = std::min(trimmed.find(';'), trimmed.find("//"));
            return Directive(Trim(trimmed.substr(0, comment)), line);
        }
        if (!Active() || trimmed.empty() || IsComment(trimmed)) return;
        if (trimmed.starts_with('[')) {
            const std::size_t close = trimmed.find(']');
            if (close == std::string_view::npos) {
                throw ReadError(line, "expected ] to close the section name");
            }
            section_ = SameWord(Trim(trimmed.substr(1, close - 1)), "strings") ? Section::Strings
                                                                               : Section::Other;
            return;
        }
        if (section_ == Section::Policies) return Tokenize(trimmed, line);
        if (section_ == Section::Strings) return Definition(trimmed, line);
    }

    void Tokenize(std::string_view rest, int line) {
        while (true) {
            rest = Trim(rest);
            if (rest.empty() || IsComment(rest)) return;
            if (rest.front() == '"') {
                const std::size_t close = rest.find('"', 1);
                if (close == std::string_view::npos) {
                    throw ReadError(line,
                                    "expected a closing quote (\"), found the end of the line");
                }
                lineTokens_.push_back({rest.substr(1, close - 1), true, line});
                rest.remove_prefix(close + 1);
            } else {
                std::size_t end = 0;
                while (end < rest.size() && !IsBlank(rest[end]) && rest[end] != '"' &&
                       rest[end] != ';') {
                    ++end;
                }
                lineTokens_.push_back({rest.substr(0, end), false, line});
                rest.remove_prefix(end);
            }
        }
    }

    // name = "text" (or unquoted text to the end of the line); the first definition counts.
    void Definition(std::string_view entry, int line) {
        const std::size_t eq = entry.find('=');
        const std::string_view name = Trim(entry.substr(0, eq));
        if (eq == std::string_view::npos || name.empty()) {
            throw ReadError(line, "expected a string definition name=\"text\" in [strings]");
        }
        std::string_view value = Trim(entry.substr(eq + 1));
        if (value.starts_with('"')) {
            const std::size_t close = value.find('"', 1);
            if (close == std::string_view::npos) {
                throw ReadError(line, "expected a closing quote (\"), found the end of the line");
            }
            value = value.substr(1, close - 1);
        }
        const auto wanted = strings.find(std::string(name));
        if (wanted != strings.end() && !wanted->second) wanted->second = std::string(value);
    }

    void Directive(std::string_view trimmed, int line) {
        std::size_t end = 0;
        while (end < trimmed.size() && !IsBlank(trimmed[end]))
            ++end;
        const std::string_view word = trimmed.substr(0, end);
        if (SameWord(word, "#if")) {
            conditions_.push_back({VersionHolds(Trim(trimmed.substr(end)), line), line});
        } else if (SameWord(word, "#else")) {
            if (conditions_.empty()) throw ReadError(line, "expected #if before #else");
            conditions_.back().holds = !conditions_.back().holds;
        } else if (SameWord(word, "#endif")) {
            if (conditions_.empty()) throw ReadError(line, "expected #if before #endif");
            conditions_.pop_back();
        } else {
            throw ReadError(line, "expected #if, #else or #endif, found \"" + Excerpt(word) + "\"");
        }
    }

    // "version <op> <number>", spaces optional around the operator.
    static bool VersionHolds(std::string_view condition, int line) {
        const auto fail = [line]() -> bool {
            throw ReadError(line,
                            "expected \"#if version\" with >, <, ==, !=, >= or <= and a "
                            "number");
        };
        if (condition.size() < 7 || !SameWord(condition.substr(0, 7), "version")) return fail();
        condition = Trim(condition.substr(7));
        std::size_t opLength = 0;
        while (opLength < condition.size() &&
               std::string_view("<>=!").find(condition[opLength]) != std::string_view::npos) {
            ++opLength;
        }
        const std::string_view op = condition.substr(0, opLength);
        const std::string_view digits = Trim(condition.substr(opLength));
        if (digits.empty() || digits.size() > 4 ||
            digits.find_first_not_of("0123456789") != std::string_view::npos) {
            return fail();
        }
        const long n = std::stol(std::string(digits));
        if (op == ">") return kEditorVersion > n;
        if (op == "<") return kEditorVersion < n;
        if (op == "==") return kEditorVersion == n;
        if (op == "!=") return kEditorVersion != n;
        if (op == ">=") return kEditorVersion >= n;
        if (op == "<=") return kEditorVersion <= n;
        return fail();
    }

    Section section_ = Section::Policies;
    std::vector<Condition> conditions_;
};

std::optional<std::uint32_t> ParseNumber(std::string_view text) {
    const bool hex = text.size() > 2 && text[0] == '0' && Lower(text[1]) == 'x';
    const std::string_view digits = text.substr(hex ? 2 : 0);
    if (digits.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (hex && Lower(c) >= 'a' && Lower(c) <= 'f') digit = Lower(c) - 'a' + 10;
        if (digit < 0) return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (value > UINT32_MAX) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

// The statements inside the blocks: block openers and END lines are read exactly; any other
// statement (KEYNAME, EXPLAIN, VALUEON, part options ...) is passed over to the end of its line.
class Parser {
  public:
    explicit Parser(Scanner& scanner) : scanner_(scanner) {}

    DriveLists Run() {
        try {
            Statements();
        } catch (const ReadError&) {
            scanner_.Finish();  // its own complaint, if any, comes first
            throw;
        }
        scanner_.Finish();
        Resolve();
        return std::move(out_);
    }

  private:
    struct PendingItem {
        Token name;
        std::optional<std::uint32_t> value;
    };

    // In file order: a note, or an item whose text [strings] gives (a note if it does not).
    struct Event {
        std::string note;
        std::size_t item = 0;
        bool resolve = false;
    };

    void Statements() {
        while (!AtEnd()) {
            if (Is("CLASS")) {
                const Token open = Next();
                const Token& which = TakeOnLine(open.line, "MACHINE or USER after CLASS");
                if (which.quoted ||
                    !(SameWord(which.text, "MACHINE") || SameWord(which.text, "USER"))) {
                    Unexpected(which, "MACHINE or USER after CLASS");
                }
                SkipLine(open.line);
            } else if (Is("CATEGORY")) {
                Category();
            } else {
                Unexpected(Peek(), "CLASS or CATEGORY");
            }
        }
    }

    void Resolve() {
        for (const Event& event : events_) {
            if (!event.resolve) {
                out_.notes.push_back(event.note);
                continue;
            }
            DriveItem& item = out_.items[event.item];
            const auto found = scanner_.strings.find(item.name);
            if (found != scanner_.strings.end() && found->second) {
                item.text = *found->second;
            } else {
                out_.notes.push_back("line " + std::to_string(item.line) +
                                     ": [strings] defines no " + Excerpt(item.name) +
                                     "; its text is left empty");
            }
        }
    }

    // One token of lookahead; callers look at AtEnd() before Peek() or Next().
    bool AtEnd() {
        if (!ahead_ && !ended_) {
            Token token;
            if (scanner_.Next(token)) {
                ahead_ = token;
            } else {
                ended_ = true;
            }
        }
        return !ahead_;
    }
    const Token& Peek() {
        AtEnd();
        return *ahead_;
    }
    Token Next() {
        AtEnd();
        const Token token = *ahead_;
        ahead_.reset();
        return token;
    }
    bool Is(std::string_view keyword) {
        return !AtEnd() && !Peek().quoted && SameWord(Peek().text, keyword);
    }

    [[noreturn]] static void Unexpected(const Token& found, const std::string& what) {
        throw ReadError(found.line, "expected " + what + ", found \"" + Excerpt(found.text) + "\"");
    }

    Token TakeOnLine(int line, const std::string& what) {
        if (AtEnd() || Peek().line != line) {
            throw ReadError(line, "expected " + what + ", found the end of the line");
        }
        return Next();
    }

    // Passes over the rest of a statement's line, but not an END there: templates close short
    // blocks on their opening line ("PART !!Tip TEXT END PART").
    void SkipLine(int line) {
        while (!AtEnd() && Peek().line == line && !Is("END"))
            Next();
    }

    // Reads statements up to the END line of `open`; `statement` handles the current statement
    // and returns false for one to pass over.
    template <typename Statement>
    void Body(const Token& open, Statement statement) {
        const std::string name = Excerpt(open.text);
        const std::string closing =
            "END " + name + " for the " + name + " on line " + std::to_string(open.line);
        while (true) {
            if (AtEnd()) {
                const int lastLine = scanner_.Finish();
                throw ReadError(lastLine, "expected " + closing + ", found the end of the file");
            }
            if (Is("END")) {
                const Token end = Next();
                const Token& what = TakeOnLine(end.line, closing);
                if (what.quoted || !SameWord(what.text, open.text)) {
                    throw ReadError(end.line, "expected " + closing + ", found \"END " +
                                                  Excerpt(what.text) + "\"");
                }
                SkipLine(end.line);
                return;
            }
            const int line = Peek().line;
            if (!statement()) SkipLine(line);
        }
    }

    void NotInside(const Token& open, std::initializer_list<std::string_view> keywords) {
        for (auto keyword : keywords) {
            if (Is(keyword)) {
                const std::string name = Excerpt(open.text);
                Unexpected(Peek(), "END " + name + " for the " + name + " on line " +
                                       std::to_string(open.line));
            }
        }
    }

    void Category(int depth = 1) {
        const Token open = Next();
        // Categories nest by recursion; a crafted file must not exhaust the stack.
        if (depth > kMaxCategoryDepth) {
            throw ReadError(open.line, "expected categories nested at most " +
                                           std::to_string(kMaxCategoryDepth) + " deep");
        }
        TakeOnLine(open.line, "a name after CATEGORY");
        SkipLine(open.line);
        Body(open, [&] {
            if (Is("CATEGORY")) return Category(depth + 1), true;
            if (Is("POLICY")) return Policy(), true;
            NotInside(open, {"CLASS", "PART", "ITEMLIST"});
            return false;
        });
    }

    void Policy() {
        const Token open = Next();
        TakeOnLine(open.line, "a name after POLICY");
        SkipLine(open.line);
        Body(open, [&] {
            if (Is("PART")) return Part(), true;
            if (Is("ACTIONLISTON") || Is("ACTIONLISTOFF")) return SkipBlock(), true;
            NotInside(open, {"CLASS", "CATEGORY", "POLICY", "ITEMLIST"});
            return false;
        });
    }

    void Part() {
        static constexpr std::string_view kTypes[] = {
            "CHECKBOX", "COMBOBOX", "DROPDOWNLIST", "EDITTEXT", "LISTBOX", "NUMERIC", "TEXT"};
        const Token open = Next();
        TakeOnLine(open.line, "a name after PART");
        const Token& type = TakeOnLine(open.line, "a part type after the part's name");
        bool known = false;
        for (auto t : kTypes)
            known = known || (!type.quoted && SameWord(type.text, t));
        if (!known) {
            Unexpected(type,
                       "a part type (CHECKBOX, COMBOBOX, DROPDOWNLIST, EDITTEXT, LISTBOX, "
                       "NUMERIC or TEXT)");
        }
        SkipLine(open.line);
        std::string_view valueName;
        std::vector<PendingItem> items;
        Body(open, [&] {
            if (Is("ITEMLIST")) return ItemList(items), true;
            if (Is("SUGGESTIONS") || Is("ACTIONLISTON") || Is("ACTIONLISTOFF")) {
                return SkipBlock(), true;
            }
            if (Is("VALUENAME")) {
                const Token key = Next();
                valueName = TakeOnLine(key.line, "a value name after VALUENAME").text;
                return false;
            }
            NotInside(open, {"CLASS", "CATEGORY", "POLICY", "PART"});
            return false;
        });
        if (SameWord(type.text, "DROPDOWNLIST") && IsDriveValueName(std::string(valueName))) {
            Emit(valueName, items);
        }
    }

    void ItemList(std::vector<PendingItem>& items) {
        const Token open = Next();
        SkipLine(open.line);
        Body(open, [&] {
            if (!Is("NAME")) Unexpected(Peek(), "NAME or END ITEMLIST");
            items.push_back(Item());
            return true;
        });
    }

    // NAME name VALUE [NUMERIC n | "text" | DELETE] [DEFAULT], then an optional ACTIONLIST.
    PendingItem Item() {
        const Token key = Next();
        PendingItem item{TakeOnLine(key.line, "an item name after NAME"), std::nullopt};
        const Token& value = TakeOnLine(key.line, "VALUE after the item's name");
        if (value.quoted || !SameWord(value.text, "VALUE")) {
            Unexpected(value, "VALUE after the item's name");
        }
        const Token& kind = TakeOnLine(key.line, "NUMERIC, a text or DELETE after VALUE");
        if (!kind.quoted && SameWord(kind.text, "NUMERIC")) {
            const Token& number = TakeOnLine(key.line, "a number after VALUE NUMERIC");
            item.value = number.quoted ? std::nullopt : ParseNumber(number.text);
            if (!item.value)
                Unexpected(number, "a number from 0 to 4294967295 after VALUE NUMERIC");
        }
        if (!AtEnd() && Peek().line == key.line && Is("DEFAULT")) Next();
        if (!AtEnd() && Peek().line == key.line && !Is("END")) {
            Unexpected(Peek(), "the end of the item's line");
        }
        if (Is("ACTIONLIST")) SkipBlock();
        return item;
    }

    // A block whose content does not matter here (ACTIONLIST, SUGGESTIONS ...): up to its END.
    void SkipBlock() {
        const Token open = Next();
        SkipLine(open.line);
        Body(open, [] { return false; });
    }

    void Emit(std::string_view valueName, const std::vector<PendingItem>& items) {
        for (const auto& pending : items) {
            const Token& name = pending.name;
            if (!pending.value) {
                events_.push_back({"line " + std::to_string(name.line) + ": the item " +
                                       Excerpt(name.text) + " of " + Excerpt(valueName) +
                                       " has no numeric value; it is not listed",
                                   0, false});
                continue;
            }
            DriveItem item;
            item.valueName = valueName;
            item.value = *pending.value;
            item.list = lists_;
            item.line = name.line;
            if (!name.quoted && name.text.starts_with("!!")) {
                item.name = name.text.substr(2);
                scanner_.Want(item.name);
                events_.push_back({"", out_.items.size(), true});
            } else {
                item.name = item.text = name.text;
            }
            out_.items.push_back(std::move(item));
        }
        ++lists_;
    }

    Scanner& scanner_;
    std::optional<Token> ahead_;
    bool ended_ = false;
    int lists_ = 0;
    std::vector<Event> events_;
    DriveLists out_;
};

}  // namespace

bool IsDriveValueName(const std::string& name) {
    return SameWord(name, "NoDrives") || SameWord(name, "NoViewOnDrive");
}

DriveLists ReadAdmDriveLists(std::string_view text) {
    Scanner scanner(text);
    return Parser(scanner).Run();
}

}  // namespace tarnwick::readback
