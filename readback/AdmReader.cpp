#include "readback/AdmReader.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/DriveSet.h"
#include "core/Text.h"

namespace tarnwick::readback {

namespace {

// "#if version" sections are read as the current Group Policy editor reads them.
constexpr long kEditorVersion = 5;
constexpr int kMaxCategoryDepth = 256;

// String names are case-insensitive, as the editor resolves them.
struct CaseLess {
    bool operator()(const std::string& a, const std::string& b) const { return LessNoCase(a, b); }
};
using StringTable = std::map<std::string, std::optional<std::string>, CaseLess>;

// A template's blanks: the editor passes over vertical tabs and form feeds as it does spaces.
constexpr std::string_view kBlanks = " \t\v\f";

bool IsBlank(char c) {
    return kBlanks.find(c) != std::string_view::npos;
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
// names asked for. So memory follows the items listed, not the size of the file. A line it
// refuses ends the tokens; Finish then gives the refusal.
class Scanner {
  public:
    explicit Scanner(std::string_view text) : text_(text) {}

    // The next token of the policy section; false at its end or at a refused line.
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
    Result<int, ReadFailure> Finish() {
        while (ReadLine()) {
        }
        if (failure_) return *failure_;
        if (!conditions_.empty()) {
            return FailureAt(line_, "expected #endif for the #if on line " +
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
        if (ReadStatus read = Line(content, line_); !read) {
            failure_ = read.failure();  // Finish then adds nothing to this complaint
            ended_ = true;
            lineTokens_.clear();  // nor is any of the refused line's tokens handed out
            return false;
        }
        return true;
    }

    std::string_view text_;
    int line_ = 0;
    bool ended_ = false;
    std::optional<ReadFailure> failure_;
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

    ReadStatus Line(std::string_view content, int line) {
        const std::string_view trimmed = TrimBlanks(content, kBlanks);
        if (trimmed.starts_with('#')) {
            const std::size_t comment = std::min(trimmed.find(';'), trimmed.find("//"));
            return Directive(TrimBlanks(trimmed.substr(0, comment), kBlanks), line);
        }
        if (!Active() || trimmed.empty() || IsComment(trimmed)) return {};
        if (trimmed.starts_with('[')) {
            const std::size_t close = trimmed.find(']');
            if (close == std::string_view::npos) {
                return FailureAt(line, "expected ] to close the section name");
            }
            section_ = EqualNoCase(TrimBlanks(trimmed.substr(1, close - 1), kBlanks), "strings")
                           ? Section::Strings
                           : Section::Other;
            return {};
        }
        if (section_ == Section::Policies) return Tokenize(trimmed, line);
        if (section_ == Section::Strings) return Definition(trimmed, line);
        return {};
    }

    static ReadFailure UnclosedQuote(int line) {
        return FailureAt(line, "expected a closing quote (\"), found the end of the line");
    }

    ReadStatus Tokenize(std::string_view rest, int line) {
        while (true) {
            rest = TrimBlanks(rest, kBlanks);
            if (rest.empty() || IsComment(rest)) return {};
            if (rest.front() == '"') {
                const std::size_t close = rest.find('"', 1);
                if (close == std::string_view::npos) return UnclosedQuote(line);
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
    ReadStatus Definition(std::string_view entry, int line) {
        const std::size_t eq = entry.find('=');
        const std::string_view name = TrimBlanks(entry.substr(0, eq), kBlanks);
        if (eq == std::string_view::npos || name.empty()) {
            return FailureAt(line, "expected a string definition name=\"text\" in [strings]");
        }
        std::string_view value = TrimBlanks(entry.substr(eq + 1), kBlanks);
        if (value.starts_with('"')) {
            const std::size_t close = value.find('"', 1);
            if (close == std::string_view::npos) return UnclosedQuote(line);
            value = value.substr(1, close - 1);
        }
        const auto wanted = strings.find(std::string(name));
        if (wanted != strings.end() && !wanted->second) wanted->second = std::string(value);
        return {};
    }

    ReadStatus Directive(std::string_view trimmed, int line) {
        std::size_t end = 0;
        while (end < trimmed.size() && !IsBlank(trimmed[end]))
            ++end;
        const std::string_view word = trimmed.substr(0, end);
        if (EqualNoCase(word, "#if")) {
            const auto holds = VersionHolds(TrimBlanks(trimmed.substr(end), kBlanks), line);
            if (!holds) return holds.failure();
            conditions_.push_back({*holds, line});
        } else if (EqualNoCase(word, "#else")) {
            if (conditions_.empty()) return FailureAt(line, "expected #if before #else");
            conditions_.back().holds = !conditions_.back().holds;
        } else if (EqualNoCase(word, "#endif")) {
            if (conditions_.empty()) return FailureAt(line, "expected #if before #endif");
            conditions_.pop_back();
        } else {
            return FailureAt(line,
                             "expected #if, #else or #endif, found \"" + Excerpt(word) + "\"");
        }
        return {};
    }

    // "version <op> <number>", spaces optional around the operator.
    static Result<bool, ReadFailure> VersionHolds(std::string_view condition, int line) {
        const auto fail = [line] {
            return FailureAt(line,
                             "expected \"#if version\" with >, <, ==, !=, >= or <= and a number");
        };
        if (condition.size() < 7 || !EqualNoCase(condition.substr(0, 7), "version")) return fail();
        condition = TrimBlanks(condition.substr(7), kBlanks);
        std::size_t opLength = 0;
        while (opLength < condition.size() &&
               std::string_view("<>=!").find(condition[opLength]) != std::string_view::npos) {
            ++opLength;
        }
        const std::string_view op = condition.substr(0, opLength);
        const std::string_view digits = TrimBlanks(condition.substr(opLength), kBlanks);
        const auto number = ReadU32(digits);
        if (!number || digits.size() > 4) return fail();
        const long n = static_cast<long>(*number);
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
    const bool hex = text.size() > 2 && text[0] == '0' && LowerAscii(text[1]) == 'x';
    const auto number = ReadU32(text.substr(hex ? 2 : 0), hex ? 16 : 10);
    return number ? std::optional<std::uint32_t>(*number) : std::nullopt;
}

// The statements inside the blocks: block openers and END lines are read exactly; any other
// statement (KEYNAME, EXPLAIN, VALUEON, part options ...) is passed over to the end of its line.
class Parser {
  public:
    explicit Parser(Scanner& scanner) : scanner_(scanner) {}

    Result<DriveLists, ReadFailure> Run() {
        const ReadStatus read = Statements();
        // The scanner's own complaint, if any, comes first.
        if (const auto end = scanner_.Finish(); !end) return end.failure();
        if (!read) return read.failure();
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

    ReadStatus Statements() {
        while (!AtEnd()) {
            if (!Is("CLASS") && !Is("CATEGORY")) return Unexpected(Peek(), "CLASS or CATEGORY");
            const ReadStatus read = Is("CLASS") ? Class() : Category();
            if (!read) return read;
        }
        return {};
    }

    void Resolve() {
        for (const Event& event : events_) {
            if (!event.resolve) {
                out_.notes.push_back(event.note);
                continue;
            }
            DriveItem& item = out_.items[event.item];
            const auto found = scanner_.strings.find(item.entryName);
            if (found != scanner_.strings.end() && found->second) {
                item.displayText = *found->second;
            } else {
                out_.notes.push_back("line " + std::to_string(item.line) +
                                     ": [strings] defines no " + Excerpt(item.entryName) +
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
        return !AtEnd() && !Peek().quoted && EqualNoCase(Peek().text, keyword);
    }

    static ReadFailure Unexpected(const Token& found, const std::string& what) {
        return FailureAt(found.line,
                         "expected " + what + ", found \"" + Excerpt(found.text) + "\"");
    }

    Result<Token, ReadFailure> TakeOnLine(int line, const std::string& what) {
        if (AtEnd() || Peek().line != line) {
            return FailureAt(line, "expected " + what + ", found the end of the line");
        }
        return Next();
    }

    // TakeOnLine, for a token that must be one of `words`.
    Result<Token, ReadFailure> TakeWord(int line, const std::string& what,
                                        std::initializer_list<std::string_view> words) {
        const auto token = TakeOnLine(line, what);
        if (!token) return token;
        for (auto word : words) {
            if (!token->quoted && EqualNoCase(token->text, word)) return token;
        }
        return Unexpected(*token, what);
    }

    // Passes over the rest of a statement's line, but not an END there: templates close short
    // blocks on their opening line ("PART !!Tip TEXT END PART").
    void SkipLine(int line) {
        while (!AtEnd() && Peek().line == line && !Is("END"))
            Next();
    }

    // The name that must follow a block's keyword on its line; the rest of the line is passed over.
    ReadStatus Named(const Token& open, const std::string& what) {
        if (const auto name = TakeOnLine(open.line, what); !name) return name.failure();
        SkipLine(open.line);
        return {};
    }

    // Reads statements up to the END line of `open`; `statement` reads the current statement,
    // which is never END.
    template <typename Statement>
    ReadStatus Body(const Token& open, Statement statement) {
        const std::string name = Excerpt(open.text);
        const std::string closing =
            "END " + name + " for the " + name + " on line " + std::to_string(open.line);
        while (!Is("END")) {
            if (AtEnd()) {
                const auto lastLine = scanner_.Finish();
                if (!lastLine) return lastLine.failure();
                return FailureAt(*lastLine, "expected " + closing + ", found the end of the file");
            }
            if (const ReadStatus read = statement(); !read) return read;
        }
        const Token end = Next();
        const auto what = TakeOnLine(end.line, closing);
        if (!what) return what.failure();
        if (what->quoted || !EqualNoCase(what->text, open.text)) {
            return FailureAt(end.line,
                             "expected " + closing + ", found \"END " + Excerpt(what->text) + "\"");
        }
        SkipLine(end.line);
        return {};
    }

    // A statement that does not matter here passes over its line, but a keyword of `keywords`
    // is a block that cannot stand inside `open`: its END is missing.
    ReadStatus PassOver(const Token& open, std::initializer_list<std::string_view> keywords) {
        for (auto keyword : keywords) {
            if (Is(keyword)) {
                const std::string name = Excerpt(open.text);
                return Unexpected(Peek(), "END " + name + " for the " + name + " on line " +
                                              std::to_string(open.line));
            }
        }
        SkipLine(Peek().line);
        return {};
    }

    ReadStatus Class() {
        const Token open = Next();
        const auto which = TakeWord(open.line, "MACHINE or USER after CLASS", {"MACHINE", "USER"});
        if (!which) return which.failure();
        SkipLine(open.line);
        return {};
    }

    ReadStatus Category(int depth = 1) {
        const Token open = Next();
        // Categories nest by recursion; a crafted file must not exhaust the stack.
        if (depth > kMaxCategoryDepth) {
            return FailureAt(open.line, "expected categories nested at most " +
                                            std::to_string(kMaxCategoryDepth) + " deep");
        }
        if (const ReadStatus named = Named(open, "a name after CATEGORY"); !named) return named;
        return Body(open, [&]() -> ReadStatus {
            if (Is("CATEGORY")) return Category(depth + 1);
            if (Is("POLICY")) return Policy();
            return PassOver(open, {"CLASS", "PART", "ITEMLIST"});
        });
    }

    ReadStatus Policy() {
        const Token open = Next();
        if (const ReadStatus named = Named(open, "a name after POLICY"); !named) return named;
        return Body(open, [&]() -> ReadStatus {
            if (Is("PART")) return Part();
            if (Is("ACTIONLISTON") || Is("ACTIONLISTOFF")) return SkipBlock();
            return PassOver(open, {"CLASS", "CATEGORY", "POLICY", "ITEMLIST"});
        });
    }

    ReadStatus Part() {
        static constexpr std::string_view kTypes[] = {
            "CHECKBOX", "COMBOBOX", "DROPDOWNLIST", "EDITTEXT", "LISTBOX", "NUMERIC", "TEXT"};
        const Token open = Next();
        if (const auto name = TakeOnLine(open.line, "a name after PART"); !name) {
            return name.failure();
        }
        const auto type = TakeOnLine(open.line, "a part type after the part's name");
        if (!type) return type.failure();
        bool known = false;
        for (auto t : kTypes)
            known = known || (!type->quoted && EqualNoCase(type->text, t));
        if (!known) {
            return Unexpected(*type,
                              "a part type (CHECKBOX, COMBOBOX, DROPDOWNLIST, EDITTEXT, LISTBOX, "
                              "NUMERIC or TEXT)");
        }
        SkipLine(open.line);
        std::string_view valueName;
        std::vector<PendingItem> items;
        const ReadStatus body = Body(open, [&]() -> ReadStatus {
            if (Is("ITEMLIST")) return ItemList(items);
            if (Is("SUGGESTIONS") || Is("ACTIONLISTON") || Is("ACTIONLISTOFF")) return SkipBlock();
            if (Is("VALUENAME")) {
                const Token key = Next();
                const auto name = TakeOnLine(key.line, "a value name after VALUENAME");
                if (!name) return name.failure();
                valueName = name->text;
                SkipLine(key.line);
                return {};
            }
            return PassOver(open, {"CLASS", "CATEGORY", "POLICY", "PART"});
        });
        if (!body) return body;
        if (EqualNoCase(type->text, "DROPDOWNLIST") && IsDriveValueName(std::string(valueName))) {
            Emit(valueName, items);
        }
        return {};
    }

    ReadStatus ItemList(std::vector<PendingItem>& items) {
        const Token open = Next();
        SkipLine(open.line);
        return Body(open, [&]() -> ReadStatus {
            if (!Is("NAME")) return Unexpected(Peek(), "NAME or END ITEMLIST");
            return Item(items);
        });
    }

    // NAME name VALUE [NUMERIC n | "text" | DELETE] [DEFAULT], then an optional ACTIONLIST.
    ReadStatus Item(std::vector<PendingItem>& items) {
        const Token key = Next();
        const auto name = TakeOnLine(key.line, "an item name after NAME");
        if (!name) return name.failure();
        if (const auto value = TakeWord(key.line, "VALUE after the item's name", {"VALUE"});
            !value) {
            return value.failure();
        }
        const auto kind = TakeOnLine(key.line, "NUMERIC, a text or DELETE after VALUE");
        if (!kind) return kind.failure();
        PendingItem item{*name, std::nullopt};
        if (!kind->quoted && EqualNoCase(kind->text, "NUMERIC")) {
            const auto number = TakeOnLine(key.line, "a number after VALUE NUMERIC");
            if (!number) return number.failure();
            item.value = number->quoted ? std::nullopt : ParseNumber(number->text);
            if (!item.value) {
                return Unexpected(*number, "a number from 0 to 4294967295 after VALUE NUMERIC");
            }
        }
        if (!AtEnd() && Peek().line == key.line && Is("DEFAULT")) Next();
        if (!AtEnd() && Peek().line == key.line && !Is("END")) {
            return Unexpected(Peek(), "the end of the item's line");
        }
        items.push_back(item);
        if (Is("ACTIONLIST")) return SkipBlock();
        return {};
    }

    // A block whose content does not matter here (ACTIONLIST, SUGGESTIONS ...): up to its END.
    ReadStatus SkipBlock() {
        const Token open = Next();
        SkipLine(open.line);
        return Body(open, [&] { return PassOver(open, {}); });
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
            item.mask = *pending.value;
            item.list = lists_;
            item.line = name.line;
            if (!name.quoted && name.text.starts_with("!!")) {
                item.entryName = name.text.substr(2);
                scanner_.Want(item.entryName);
                events_.push_back({"", out_.items.size(), true});
            } else {
                item.entryName = item.displayText = name.text;
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
    return EqualNoCase(name, kNoDrivesValue) || EqualNoCase(name, kNoViewOnDriveValue);
}

Result<DriveLists, ReadFailure> ReadAdmDriveLists(std::string_view text) {
    Scanner scanner(text);
    return Parser(scanner).Run();
}

}  // namespace tarnwick::readback
