// What the Intune scripts decide, run against what a device holds: which hives they act on and
// which profiles they load, among the HKEY_USERS subkeys and ProfileList entries of a device with
// local, domain and Microsoft Entra ID users (recorded from Windows 11), and which values count as
// in place or gone. The conditions are the tables the scripts are written from, evaluated as
// PowerShell evaluates them; the scripts' grammar is checked by tests/regpol/intune_grammar.sh.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <regex>
#include <span>
#include <string>
#include <vector>

#include "deploy/IntuneScripts.h"

namespace tarnwick {
namespace {

// A variable's value: none ($null), one string, or a list.
struct Bound {
    std::optional<std::string> one;
    std::vector<std::string> list;
};
using Bindings = std::map<std::string, Bound, std::less<>>;

bool SameText(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

// PowerShell's operators, case-insensitive as they are: -eq converts the right side to the left's
// type (here text), -match is a regular expression, -contains looks through a list.
bool Holds(std::span<const deploy::Comparison> all, const Bindings& vars) {
    const auto operand = [&](std::string_view text) {
        if (text == "$null") return Bound{};
        if (text.front() == '\'') return Bound{std::string(text.substr(1, text.size() - 2)), {}};
        return vars.find(text)->second;
    };
    return std::all_of(all.begin(), all.end(), [&](const deploy::Comparison& c) {
        const Bound left = operand(c.left), right = operand(c.right);
        const auto has = [&] {
            return std::any_of(left.list.begin(), left.list.end(),
                               [&](const std::string& s) { return SameText(s, *right.one); });
        };
        const bool same =
            left.one && right.one ? SameText(*left.one, *right.one) : !left.one && !right.one;
        if (c.op == "-eq" || c.op == "-ne") return same == (c.op == "-eq");
        if (c.op == "-match")
            return std::regex_search(*left.one, std::regex(*right.one, std::regex::icase));
        if (c.op == "-contains") return has();
        if (c.op == "-notcontains") return !has();
        ADD_FAILURE() << "an operator the test does not know: " << c.op;
        return false;
    });
}

TEST(IntuneScripts, ActOnEveryUsersHiveAndLoadOnlyProfilesNotSignedIn) {
    const struct {
        std::string sid;
        bool loaded, profile;  // under HKEY_USERS; in the ProfileList
        bool acted, load;      // a hive the scripts act on; a profile they load
    } keys[] = {
        {".DEFAULT", true, false, false, false},
        {"S-1-5-18", true, true, false, false},  // SYSTEM, LocalService, NetworkService
        {"S-1-5-19", true, true, false, false},
        {"S-1-5-20", true, true, false, false},
        {"S-1-5-21-1004336348-1177238915-682003330-1001", true, true, true, false},  // local
        {"S-1-5-21-1004336348-1177238915-682003330-1001_Classes", true, false, false, false},
        {"S-1-5-21-1004336348-1177238915-682003330-1001.bak", false, true, false, false},
        {"S-1-5-21-2227168093-1867564385-1432471236-1107", false, true, false, true},  // domain
        {"S-1-12-1-3772843552-1243050329-2680718521-4134258740", true, true, true, false},  // Entra
        {"S-1-12-1-3772843552-1243050329-2680718521-4134258740_Classes", true, false, false, false},
        {"S-1-12-1-1943430372-1249052806-2496021943-3034400218", false, true, false, true},
        {"S-1-5-90-0-1", true, false, false, false},  // Window Manager\DWM-1
        {"S-1-5-80-3139157870-2983391045-3678747466-658725712-1809340420", false, true, false,
         false},
        {"S-1-5-82-3006700770-424185619-1745488364-794895919-4004696415", false, true, false,
         false},
    };
    Bindings vars{{"$userSid", {std::string(deploy::kUserSidPattern), {}}}};
    for (const auto& k : keys)
        if (k.loaded) vars["$signedIn"].list.push_back(k.sid);
    for (const auto& k : keys) {
        vars["$sid"] = {k.sid, {}};
        EXPECT_EQ(k.loaded && Holds(deploy::kUserHive, vars), k.acted) << k.sid;
        EXPECT_EQ(k.profile && Holds(deploy::kProfileToLoad, vars), k.load) << k.sid;
    }
}

TEST(IntuneScripts, OnlyTheWantedDwordIsInPlaceAndOnlyAMissingValueIsGone) {
    const struct {
        std::optional<std::string> kind, value;  // as found; none: missing
        bool inPlace, gone;
    } values[] = {
        {std::nullopt, std::nullopt, false, true},
        {"DWord", "28", true, false},
        {"DWord", "4", false, false},
        {"String", "28", false, false},  // PowerShell's "28" -eq 28 holds: the kind decides
        {"QWord", "28", false, false},
        {"DWord", "0", false, false},
    };
    for (const auto& v : values) {
        const Bindings vars{
            {"$kind", {v.kind, {}}}, {"$value", {v.value, {}}}, {"$want", {"28", {}}}};
        EXPECT_EQ(Holds(deploy::kValueInPlace, vars), v.inPlace) << v.kind.value_or("missing");
        EXPECT_EQ(Holds(deploy::kValueGone, vars), v.gone) << v.kind.value_or("missing");
    }
}

TEST(IntuneScripts, FilesAreUtf8WithByteOrderMarkAndCrLf) {
    for (const std::string& text :
         {deploy::DetectScript(DriveSet(4, DriveMode::Following), DrivePolicy::Both),
          deploy::RemoveScript(DrivePolicy::Hide, {true, false})}) {
        EXPECT_TRUE(std::none_of(text.begin(), text.end(), [](char ch) {
            return ch == '\r' || static_cast<unsigned char>(ch) > 0x7E;
        }));
        const std::string bytes = deploy::ScriptFileBytes(text);
        EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
        EXPECT_EQ(bytes.size(), 3 + text.size() + std::count(text.begin(), text.end(), '\n'));
        for (std::size_t i = bytes.find('\n'); i != std::string::npos; i = bytes.find('\n', i + 1))
            ASSERT_EQ(bytes[i - 1], '\r') << "a bare LF at byte " << i;
    }
}

}  // namespace
}  // namespace tarnwick
