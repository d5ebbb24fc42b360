// Parsing of tarnwick-cli's arguments, and the two default-path rules (the window's and the CLI's).
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Options.h"
#include "paths/Defaults.h"

namespace tarnwick::cli {
namespace {

TEST(DriveLetters, AcceptedFormsGiveTheirSet) {
    const struct {
        const char* text;
        const char* letters;
    } cases[] = {
        {"C", "C"},
        {"c", "C"},
        {"CDE", "CDE"},
        {"c,d,e", "CDE"},
        {"C:,D:", "CD"},
        {"C:D:E:", "CDE"},
        {"C:", "C"},
        {"zA", "AZ"},
        {"EDC", "CDE"},
        {"cC", "C"},
        {"AB,cd:,E", "ABCDE"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
    };
    for (const auto& c : cases) {
        const std::optional<DriveSet> drives = ParseDriveLetters(c.text);
        ASSERT_TRUE(drives) << c.text;
        EXPECT_EQ(drives->Letters(), c.letters) << c.text;
    }
}

TEST(DriveLetters, AnythingElseIsRefused) {
    for (const char* text : {"", ",", ":", "C,", ",C", "C,,D", ":C", "C::", "C :", "C D", " C",
                             "C;D", "1", "C1", "C-E", "\xC3\x89", "C\t"}) {
        EXPECT_FALSE(ParseDriveLetters(text)) << '"' << text << '"';
    }
}

TEST(Arguments, AcceptedCommandLines) {
    const struct {
        std::vector<std::string> args;
        Command command;
        const char* letters;
        bool allBut;
        const char* source;  // nullptr: not given
        const char* output;
        bool force;
    } cases[] = {
        {{"make", "--drives", "CDE"}, Command::Make, "CDE", false, nullptr, nullptr, false},
        {{"make", "--drives=c,d", "--all-but"}, Command::Make, "CD", true, nullptr, nullptr, false},
        {{"make", "--force", "--output", "o.adm", "--source=s.adm", "--drives", "C:"},
         Command::Make,
         "C",
         false,
         "s.adm",
         "o.adm",
         true},
        {{"make", "--drives", "A", "--source", "-odd name.adm"},
         Command::Make,
         "A",
         false,
         "-odd name.adm",
         nullptr,
         false},
        {{"make", "--drives", "A", "--output=--x.adm"},
         Command::Make,
         "A",
         false,
         nullptr,
         "--x.adm",
         false},
        // A value is a value, whatever it looks like; quotes and blanks around a path go.
        {{"make", "--drives", "A", "--output", "-h", "--source", "--help"},
         Command::Make,
         "A",
         false,
         "--help",
         "-h",
         false},
        {{"make", "--drives", "A", "--output", " \"o p.adm\" ", "--source=\"s.adm\""},
         Command::Make,
         "A",
         false,
         "s.adm",
         "o p.adm",
         false},
        {{"mask", "--drives", "z", "--all-but"}, Command::Mask, "Z", true, nullptr, nullptr, false},
        {{"admx", "--dir", "p d", "--drives", "CD"},
         Command::Admx,
         "CD",
         false,
         nullptr,
         nullptr,
         false},
        {{"--version"}, Command::Version, "", false, nullptr, nullptr, false},
        {{"--help"}, Command::Help, "", false, nullptr, nullptr, false},
        {{"-h"}, Command::Help, "", false, nullptr, nullptr, false},
        {{"make", "--drives", "??", "--help"}, Command::Help, "", false, nullptr, nullptr, false},
        {{"make", "--output", "-h", "-h"}, Command::Help, "", false, nullptr, nullptr, false},
    };
    for (const auto& c : cases) {
        const Result<Options> parsed = ParseArguments(c.args);
        const std::string where = ::testing::PrintToString(c.args);
        ASSERT_TRUE(parsed) << where << ": " << parsed.failure().message;
        const Options& o = *parsed;
        EXPECT_EQ(o.command, c.command) << where;
        EXPECT_EQ(o.drives.Letters(), c.letters) << where;
        EXPECT_EQ(o.drives.AllBut(), c.allBut) << where;
        EXPECT_EQ(o.source.value_or("(none)"), c.source ? c.source : "(none)") << where;
        EXPECT_EQ(o.output.value_or("(none)"), c.output ? c.output : "(none)") << where;
        EXPECT_EQ(o.force, c.force) << where;
        EXPECT_EQ(o.folder.has_value(), c.command == Command::Admx) << where;
    }
}

TEST(Arguments, UsageErrorsSayWhatIsWrong) {
    const struct {
        std::vector<std::string> args;
        const char* mentions;
    } cases[] = {
        {{}, "no command"},
        {{"build"}, "build"},
        {{"--version", "make"}, "--version"},
        {{"make"}, "--drives"},
        {{"mask", "--all-but"}, "--drives"},
        {{"make", "--drives"}, "--drives"},
        {{"make", "--drives", "--force"}, "--drives"},
        {{"make", "--drives", ""}, "--drives"},
        {{"make", "--drives", "C D"}, "C D"},
        {{"make", "--drives", "C", "--drives", "D"}, "more than once"},
        {{"make", "--drives", "C", "--force", "--force"}, "more than once"},
        {{"make", "--drives", "C", "--force=yes"}, "--force"},
        {{"make", "--drives", "C", "--source"}, "--source"},
        {{"make", "--drives", "C", "--source="}, "--source"},
        {{"make", "--drives", "C", "--output", "a", "--output", "b"}, "more than once"},
        {{"make", "--drives", "C", "--output", " \t"}, "--output"},
        {{"make", "--drives", "C", "--source=\" \""}, "--source"},
        {{"make", "--drives", "C", "extra.adm"}, "extra.adm"},
        {{"make", "--drives", "C", "--verbose"}, "--verbose"},
        {{"mask", "--drives", "C", "--source", "s.adm"}, "--source"},
        {{"mask", "--drives", "C", "--force"}, "--force"},
        {{"admx", "--dir", "d"}, "--drives"},
        {{"admx", "--drives", "C", "--dir"}, "--dir"},
        {{"admx", "--drives", "C", "--output", "o"}, "--output"},
        {{"make", "--drives", "C", "--dir", "d"}, "--dir"},
        // A name that --help lists for a group of options is no option itself.
        {{"make", "--drives", "C", "GPO-OPTIONS"}, "'GPO-OPTIONS' is not an option of make"},
        {{"show", "GPO-OPTIONS", "b"}, "show takes one file, not also 'b'"},
    };
    for (const auto& c : cases) {
        const Result<Options> parsed = ParseArguments(c.args);
        const std::string where = ::testing::PrintToString(c.args);
        ASSERT_FALSE(parsed) << where;
        EXPECT_NE(parsed.failure().message.find(c.mentions), std::string::npos)
            << where << ": " << parsed.failure().message;
    }
}

// Every "--name" in a piece of the usage text.
std::set<std::string> NamedOptions(std::string_view text) {
    std::set<std::string> names;
    for (auto at = text.find("--"); at != std::string_view::npos; at = text.find("--", at + 2)) {
        const auto end = text.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2);
        names.emplace(text.substr(at, end - at));
    }
    return names;
}

// The usage lines promise each command its options (GPO-OPTIONS and the like stand for those on
// their own line below); the parser takes those and refuses every other with "not an option".
TEST(Arguments, EachCommandTakesTheOptionsItsUsageLinesName) {
    const std::string usage = UsageText();
    const auto synopsisEnd = usage.find("\n\n");
    const auto optionsStart = usage.find("\n\n", synopsisEnd + 2) + 2;
    const std::string options = usage.substr(optionsStart, usage.find("\n\n", optionsStart));
    std::map<std::string, std::string> groups;  // "GPO-OPTIONS": its lines
    std::istringstream optionLines(options);
    std::string current;
    for (std::string line; std::getline(optionLines, line);) {
        if (line.rfind("  ", 0) == 0 && line[2] != ' ')
            current = line[2] == '-' ? "" : line.substr(2, line.find(' ', 2) - 2);
        if (!current.empty()) groups[current] += line;
    }
    std::map<std::string, std::string> promised;  // command: its usage lines
    std::istringstream synopsis(usage.substr(0, synopsisEnd));
    std::string command;
    for (std::string line; std::getline(synopsis, line);) {
        if (line.rfind("  tarnwick-cli ", 0) == 0)
            command = line.substr(15, line.find(' ', 15) - 15);
        if (command.empty()) continue;
        for (const auto& [group, text] : groups)
            if (line.find(group) != std::string::npos) line += text;
        promised[command] += line + '\n';
    }
    promised.erase("--help");
    ASSERT_EQ(promised.size(), 9u);
    for (const auto& [name, lines] : promised) {
        const std::set<std::string> taken = NamedOptions(lines);
        for (const std::string& option : NamedOptions(options)) {
            const Result<Options> parsed = ParseArguments({name, option});
            const bool refused = !parsed && parsed.failure().message.find("is not an option of") !=
                                                std::string::npos;
            // gpp takes --output only to say that it writes into --gpo FOLDER.
            const bool expected = !taken.count(option) && !(name == "gpp" && option == "--output");
            EXPECT_EQ(refused, expected) << name << ' ' << option;
        }
    }
}

// gpp's --group and --user without --sid: the name looked up where Windows can answer, refused
// elsewhere, and wherever the name does not do, with the reason.
TEST(Arguments, AGroupOrUserWithoutItsSidIsLookedUpOnWindowsOnly) {
    const struct {
        const char* flag;
        const char* name;
        const char* found;  // the SID, or what the refusal mentions
        bool ok;
    } cases[] = {
#ifdef _WIN32
        {"--group", "Administrators", "S-1-5-32-544", true},
        {"--group", "BUILTIN\\Users", "S-1-5-32-545", true},
        {"--user", "BUILTIN\\Administrators", "a group, not a user", false},
        {"--user", "Administrators", "DOMAIN\\name", false},
        {"--group", "NoSuchGroupOfTarnwick", "no such account", false},
#else
        {"--group", "CONTOSO\\Pupils", "only on Windows", false},
        {"--user", "CONTOSO\\jdoe", "only on Windows", false},
#endif
    };
    for (const auto& c : cases) {
        const Result<Options> parsed =
            ParseArguments({"gpp", "--drives", "C", "--gpo", "g", c.flag, c.name});
        ASSERT_EQ(parsed.ok(), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(parsed->targets.back().sid, c.found) << c.name;
        } else {
            EXPECT_NE(parsed.failure().message.find(c.found), std::string::npos)
                << parsed.failure().message;
        }
    }
}

TEST(DefaultPaths, WindowCutsTheWholePathAtItsFirstDot) {
    const struct {
        const char* windir;
        const char* source;
        const char* newPath;
    } cases[] = {
        {"C:\\WINDOWS", "C:\\WINDOWS\\inf\\system.adm", "C:\\WINDOWS\\inf\\system_TRNW.adm"},
        {"", "\\inf\\system.adm", "\\inf\\system_TRNW.adm"},
        {"C:\\WIN.NT", "C:\\WIN.NT\\inf\\system.adm", "C:\\WIN_TRNW.adm"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DefaultSourcePath(c.windir), c.source);
        EXPECT_EQ(DefaultNewPath(DefaultSourcePath(c.windir)), c.newPath);
    }
    EXPECT_EQ(DefaultNewPath("no-dot"), "no-dot_TRNW.adm");
}

TEST(DefaultPaths, CliReplacesOnlyTheFileNamesExtension) {
    const struct {
        const char* source;
        const char* output;
    } cases[] = {
        {"/x/system.adm", "/x/system_TRNW.adm"},
        {"C:\\WIN.NT\\inf\\system.adm", "C:\\WIN.NT\\inf\\system_TRNW.adm"},
        {"/srv/adm.d/system", "/srv/adm.d/system_TRNW.adm"},
        {"system.old.adm", "system.old_TRNW.adm"},
        {"system", "system_TRNW.adm"},
        {"dir/.adm", "dir/.adm_TRNW.adm"},
        {"a.b\\c", "a.b\\c_TRNW.adm"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DefaultOutputPath(c.source), c.output) << c.source;
}

}  // namespace
}  // namespace tarnwick::cli
