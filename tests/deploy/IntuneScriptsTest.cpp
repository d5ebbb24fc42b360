// What the Intune scripts decide (the tables they are written from, evaluated as PowerShell does)
// against a device's HKEY_USERS subkeys and ProfileList entries and the values found there.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <span>
#include <string>
#include <vector>

#include "deploy/IntuneScripts.h"

namespace tarnwick {
namespace {

// Each variable's value: none ($null), one item, or a list.
using Bindings = std::map<std::string, std::vector<std::string>, std::less<>>;

// As PowerShell evaluates them: -eq converts the right side to the left's type (text here), -match
// searches with a regular expression, case-insensitive, -contains looks through a list.
bool Holds(std::span<const deploy::Comparison> all, const Bindings& vars) {
    const auto operand = [&](std::string_view text) -> std::vector<std::string> {
        if (text == "$null") return {};
        if (text.front() == '\'') return {std::string(text.substr(1, text.size() - 2))};
        return vars.find(text)->second;
    };
    return std::all_of(all.begin(), all.end(), [&](const deploy::Comparison& c) {
        const std::vector<std::string> left = operand(c.left), right = operand(c.right);
        const bool equal = left.size() == right.size() && (left.empty() || left[0] == right[0]);
        if (c.op == "-eq" || c.op == "-ne") return equal == (c.op == "-eq");
        if (c.op == "-contains" || c.op == "-notcontains")
            return (std::find(left.begin(), left.end(), right.at(0)) != left.end()) ==
                   (c.op == "-contains");
        EXPECT_EQ(c.op, "-match");
        return std::regex_search(left.at(0), std::regex(right.at(0), std::regex::icase));
    });
}

TEST(IntuneScripts, ActOnEveryUsersHiveAndLoadOnlyProfilesNotSignedIn) {
    const struct {
        std::string sid;
        bool loaded, profile, acted, load;  // in HKEY_USERS, ProfileList; acted on, loaded
    } keys[] = {
        {"S-1-5-18", true, true, false, false},
        {"S-1-5-21-1004336348-1177238915-682003330-1001", true, true, true, false},
        {"S-1-5-21-1004336348-1177238915-682003330-1001_Classes", true, false, false, false},
        {"S-1-5-21-1004336348-1177238915-682003330-1001.bak", false, true, false, false},
        {"S-1-5-21-2227168093-1867564385-1432471236-1107", false, true, false, true},
        {"S-1-12-1-3772843552-1243050329-2680718521-4134258740", true, true, true, false},
        {"S-1-12-1-3772843552-1243050329-2680718521-4134258740_Classes", true, false, false, false},
        {"S-1-12-1-1943430372-1249052806-2496021943-3034400218", false, true, false, true},
        {"S-1-5-80-3139157870-2983391045-3678747466-658725712", false, true, false, false},
        {"S-1-5-82-3006700770-424185619-1745488364-794895919", false, true, false, false},
    };
    Bindings vars{{"$userSid", {std::string(deploy::kUserSidPattern)}}};
    for (const auto& k : keys)
        if (k.loaded) vars["$signedIn"].push_back(k.sid);
    for (const auto& k : keys) {
        vars["$sid"] = {k.sid};
        EXPECT_EQ(k.loaded && Holds(deploy::kUserHive, vars), k.acted) << k.sid;
        EXPECT_EQ(k.profile && Holds(deploy::kProfileToLoad, vars), k.load) << k.sid;
    }
}

TEST(IntuneScripts, OnlyTheWantedDwordIsInPlaceAndOnlyAMissingValueIsGone) {
    const struct {
        std::vector<std::string> kind, value;  // as found; none: missing
        bool inPlace, gone;
    } values[] = {
        {{}, {}, false, true},
        {{"DWord"}, {"28"}, true, false},
        {{"DWord"}, {"4"}, false, false},
        {{"String"}, {"28"}, false, false},  // PowerShell's "28" -eq 28 holds: the kind decides
        {{"QWord"}, {"28"}, false, false},
    };
    for (const auto& v : values) {
        const Bindings vars{{"$kind", v.kind}, {"$value", v.value}, {"$want", {"28"}}};
        EXPECT_EQ(Holds(deploy::kValueInPlace, vars), v.inPlace) << v.kind.size();
        EXPECT_EQ(Holds(deploy::kValueGone, vars), v.gone) << v.kind.size();
    }
}

TEST(IntuneScripts, FilesAreAsciiUtf8WithByteOrderMarkAndCrLf) {
    const std::string text = deploy::RemoveScript(DrivePolicy::Both, {true, false});
    EXPECT_TRUE(std::all_of(text.begin(), text.end(),
                            [](char ch) { return ch == '\n' || (ch >= ' ' && ch <= '~'); }));
    EXPECT_EQ(deploy::ScriptFileBytes(text),
              "\xEF\xBB\xBF" + std::regex_replace(text, std::regex("\n"), "\r\n"));
}

}  // namespace
}  // namespace tarnwick
