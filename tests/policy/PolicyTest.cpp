// The policy-definition pair: a sequence of runs grows it by one item per new set and leaves it
// alone for a set already offered; the bytes are the same in every build; a hand-edited pair grows
// by insertions only, in every language; a pair that is not whole, not Tarnwick's or not
// well-formed is refused with every file kept; one run at a time holds the store; and no failed
// platform call changes any file.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/Limits.h"
#include "fileio/FileLock.h"
#include "fileio/Platform.h"
#include "policy/MakePolicy.h"
#include "policy/PolicyText.h"
#include "tests/generate/TestSelection.h"
#include "tests/support/FaultyPlatform.h"
#include "tests/support/PolicyCheck.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::policy {
namespace {

using test::Call;

// The status a run must end with; Failed for a refusal.
enum class Expect { Created, Added, AlreadyOffered, Failed };

struct PolicyRun {
    const char* letters;
    bool following;
    Expect status;
    const char* item;  // the set's item, or the one that already offers its mask
};

Expect StatusOf(const Result<PolicyOutcome>& result) {
    if (!result) return Expect::Failed;
    return static_cast<Expect>(static_cast<int>(result->status));
}

std::string MessageOf(const Result<PolicyOutcome>& result) {
    return result ? result->message : result.failure().message;
}

// Three new sets, then a set in the other mode that restricts what ABOnly restricts.
const PolicyRun kRuns[] = {
    {"CDE", true, Expect::Created, "CDEOnly"},
    {"C", false, Expect::Added, "ALLBUTC"},
    {"AB", true, Expect::Added, "ABOnly"},
    {"CDEFGHIJKLMNOPQRSTUVWXYZ", false, Expect::AlreadyOffered, "ABOnly"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", true, Expect::Added, "ABCDEFGHIJKLMNOPQRSTUVWXYZOnly"},
    {"F", true, Expect::Added, "FOnly"},  // a store offering every drive still grows
};
const std::vector<test::ExpectedItem> kItems = {
    {"CDEOnly", "Restrict C, D and E only", 28},
    {"ALLBUTC", "Restrict all drives but C only", 67108859},
    {"ABOnly", "Restrict A and B only", 3},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZOnly",
     "Restrict A, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, V, W, X, Y and Z "
     "only",
     67108863},
    {"FOnly", "Restrict F only", 32},
};

class PolicyFolder : public ::testing::Test {
  protected:
    std::string Admx() const { return dir_.File(kAdmxName); }
    std::string Adml() const { return dir_.File(std::string(kCulture) + "/" + kAdmlName); }
    std::string Read(const std::string& path) const {
        return std::filesystem::exists(test::FsPath(path)) ? test::ReadAll(path) : "<none>";
    }
    std::string German() const { return dir_.File(std::string("de-DE/") + kAdmlName); }
    Result<PolicyOutcome> Make(const PolicyRun& run,
                               fileio::Platform& platform = fileio::NativePlatform(),
                               std::chrono::milliseconds lockWait = fileio::kLockWait) {
        fileio::ScopedPlatform use(platform);
        fileio::Waiter waiter(lockWait);
        return MakePolicyDefinitions(
            ReadDriveSet(test::TestSelection::Of(run.letters, run.following)), dir_.Path(),
            {&waiter});
    }
    void Put(const std::string& path, const std::string& bytes) {
        std::filesystem::create_directories(test::FsPath(path).parent_path());
        test::WriteAll(path, bytes);
    }
    // Every entry under the folder, to see that no temporary file stays.
    std::set<std::string> Entries() const {
        std::set<std::string> names;
        const std::filesystem::path root = test::FsPath(dir_.Path());
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            const std::u8string name = entry.path().lexically_relative(root).generic_u8string();
            names.insert(std::string(name.begin(), name.end()));
        }
        return names;
    }
    void MakeAll(std::size_t count) {
        for (std::size_t i = 0; i < count; ++i)
            ASSERT_TRUE(Make(kRuns[i]).ok());
    }
    std::string Expected(const char* name) const {
        return test::ReadAll(std::string(TARNWICK_SOURCE_DIR) + "/tests/policy/expected/" + name);
    }

    test::TempDir dir_;
};

TEST_F(PolicyFolder, RunsGrowThePairAndARepeatChangesNothing) {
    std::size_t offered = 0;
    for (std::size_t i = 0; i < std::size(kRuns); ++i) {
        const PolicyRun& run = kRuns[i];
        SCOPED_TRACE(run.letters);
        const std::string admxBefore = Read(Admx()), admlBefore = Read(Adml());
        const Result<PolicyOutcome> result = Make(run);
        ASSERT_EQ(StatusOf(result), run.status) << MessageOf(result);
        EXPECT_EQ(run.status == Expect::AlreadyOffered ? result->offeredBy : result->entryName,
                  run.item);
        EXPECT_NE(result->message.find(run.item), std::string::npos) << result->message;
        if (run.status == Expect::AlreadyOffered) {
            EXPECT_EQ(Read(Admx()), admxBefore);
            EXPECT_EQ(Read(Adml()), admlBefore);
        }
        offered += run.status != Expect::AlreadyOffered;
        const std::vector<test::ExpectedItem> items(kItems.begin(), kItems.begin() + offered);
        EXPECT_EQ(test::CheckPolicyPair(Read(Admx()), Read(Adml()), items),
                  std::vector<std::string>{});
    }
    EXPECT_EQ(Entries(), (std::set<std::string>{kAdmxName, kLockName, kCulture,
                                                std::string(kCulture) + "/" + kAdmlName}));
}

// The files checked in were written by the native build: every build must write the same bytes.
TEST_F(PolicyFolder, SameBytesInEveryBuild) {
    MakeAll(3);
    EXPECT_TRUE(Read(Admx()) == Expected(kAdmxName));
    EXPECT_TRUE(Read(Adml()) == Expected(kAdmlName));
}

void Replace(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
}

struct Refusal {
    const char* name;
    const char* admx;  // nullptr: no file; "" keeps the one two runs made
    const char* adml;
    const char* cause;  // a fragment the message must hold
};

const Refusal kRefusals[] = {
    {"AdmxNotWellFormed", "<policyDefinitions>", "", "line 1"},
    {"AdmlNotWellFormed", "", "<a><b></a>", kAdmlName},
    {"ForeignTarget",
     "<policyDefinitions "
     "xmlns='http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions'>"
     "<policyNamespaces><target prefix='w' namespace='Contoso.Drives'/></policyNamespaces>"
     "</policyDefinitions>",
     "", "Contoso.Drives"},
    {"ItemWithoutString", "",
     "<policyDefinitionResources "
     "xmlns='http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions'><resources>"
     "<stringTable><string id='CDEOnly'>x</string></stringTable></resources>"
     "</policyDefinitionResources>",
     "ALLBUTC"},
    {"AdmlMissing", "", nullptr, "missing"},
    {"ForeignLanguageFileAlone", nullptr, "<doc/>", kAdmlName},
    {"WithDtd", "<!DOCTYPE x [<!ENTITY e SYSTEM 'file:///etc/passwd'>]><x>&e;</x>", "", "DTD"},
    {"ListWithoutEndTag", "", "", "empty-element tag"},
#ifdef _WIN32
    // Wine's reader knows no windows-1252 and refuses the file itself.
    {"OtherEncoding", "", "", "cannot be extended"},
#else
    {"OtherEncoding", "", "", "neither UTF-8 nor UTF-16"},
#endif
    {"HugeForeignNamespace", "", "", "'XXXXXXXX"},
    {"LargerThanTheLimit", "", "", "larger than 64 MiB"},
    // Hand edits of the items that would make the two policies or the two files disagree.
    {"ListsDiffer", "", "", "do not offer the same drive sets"},
    {"ItemTwice", "", "", "lists the item CDEOnly twice"},
    {"NameWithAnotherMask", "", "", "its item FOnly has another mask than 32"},
    {"FixedStringId", "", "", "uses the id of a fixed string"},
    {"MaskAboveZ", "", "", "is not a drive set with a string and a mask"},
};

class PolicyRefusals : public PolicyFolder, public ::testing::WithParamInterface<Refusal> {};

TEST_P(PolicyRefusals, NameTheFileAndTheCauseAndKeepBothFiles) {
    const Refusal& refusal = GetParam();
    MakeAll(2);
    for (const auto& [path, text] : {std::pair{Admx(), refusal.admx}, {Adml(), refusal.adml}}) {
        if (!text)
            std::filesystem::remove(test::FsPath(path));
        else if (*text)
            test::WriteAll(path, text);
    }
    // Edits of the pair two runs made, where a literal file would not show the point.
    const std::string name = refusal.name;
    std::string admx = Read(Admx());
    if (name == "ListWithoutEndTag") {
        const std::size_t list = admx.find("<enum ");
        admx.replace(list, admx.find("</enum>") + 7 - list,
                     "<enum id=\"x\" valueName=\"NoDrives\"/>");
    } else if (name == "OtherEncoding") {
        admx.replace(admx.find("utf-8"), 5, "windows-1252");
    } else if (name == "HugeForeignNamespace") {
        admx.replace(admx.find("Tarnwick.Policies.Drives"), 24, std::string(100000, 'X'));
    } else if (name == "ListsDiffer") {
        admx.replace(admx.rfind("value=\"28\""), 11, "value=\"29\"");
    } else if (name == "ItemTwice") {
        Replace(admx, "string.ALLBUTC", "string.CDEOnly");
    } else if (name == "MaskAboveZ") {
        Replace(admx, "value=\"28\"", "value=\"67108864\"");
    }
    const char* renamed = name == "NameWithAnotherMask" ? "FOnly"
                          : name == "FixedStringId"     ? "TarnwickNoDrives_Help"
                                                        : nullptr;
    if (renamed) Replace(admx, "string.ALLBUTC", std::string("string.") + renamed);
    if (name == "NameWithAnotherMask") {
        std::string adml = Read(Adml());
        Replace(adml, "id=\"ALLBUTC\"", "id=\"FOnly\"");
        test::WriteAll(Adml(), adml);
    }
    if (admx != Read(Admx())) test::WriteAll(Admx(), admx);
    if (name == "LargerThanTheLimit") {
        std::filesystem::resize_file(test::FsPath(Admx()), kMaxInputBytes + 1);  // sparse
    }
    const std::string admxBefore = Read(Admx()), admlBefore = Read(Adml());
    const std::set<std::string> entriesBefore = Entries();

    const Result<PolicyOutcome> result = Make({"F", true, Expect::Added, "FOnly"});
    ASSERT_FALSE(result) << result->message;
    const std::string& message = result.failure().message;
    EXPECT_NE(message.find(refusal.cause), std::string::npos) << message;
    EXPECT_NE(message.find("TarnwickDrives.adm"), std::string::npos) << message;
    EXPECT_LT(message.size(), 400u) << "a message quotes at most a little of the file";
    EXPECT_EQ(Read(Admx()), admxBefore);
    EXPECT_EQ(Read(Adml()), admlBefore);
    EXPECT_EQ(Entries(), entriesBefore);
}

INSTANTIATE_TEST_SUITE_P(ExistingPairs, PolicyRefusals, ::testing::ValuesIn(kRefusals),
                         [](const auto& param) { return std::string(param.param.name); });

// What the command itself refuses before it reads anything, each with the true cause.
TEST_F(PolicyFolder, NoDriveOrNoFolderWritesNothing) {
    EXPECT_EQ(MessageOf(Make({"", true, Expect::Failed, ""})), "Please select one or more drives.");
    const auto at = [](const std::string& folder) {
        return MessageOf(MakePolicyDefinitions(ReadDriveSet(test::TestSelection::Of("C")), folder));
    };
    EXPECT_NE(at(dir_.File("none")).find("does not exist"), std::string::npos);
    test::WriteAll(dir_.File("file"), "");
    EXPECT_NE(at(dir_.File("file")).find("is a file, not a folder"), std::string::npos);
    test::WriteAll(dir_.File(kCulture), "a file where the language folder belongs");
    EXPECT_NE(MessageOf(Make(kRuns[0])).find("is a file, not a folder"), std::string::npos);
#ifndef _WIN32
    std::filesystem::remove(test::FsPath(dir_.File(kCulture)));
    std::filesystem::create_directory_symlink(test::FsPath(dir_.File("gone")),
                                              test::FsPath(dir_.File(kCulture)));
    EXPECT_NE(MessageOf(Make(kRuns[0])).find("link to a folder that does not exist"),
              std::string::npos);
#endif
    EXPECT_EQ(Entries().count(kAdmxName), 0u);
}

// The text of a UTF-16LE file, ASCII only, as single bytes: enough to see its line ends.
std::string Narrow(const std::string& bytes) {
    if (bytes.rfind("\xFF\xFE", 0) != 0) return bytes;
    std::string out;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        out += bytes[i];
    return out;
}

// "crlf", "lf" or "mixed".
std::string LineEnds(const std::string& text) {
    const std::size_t lf = std::count(text.begin(), text.end(), '\n');
    const std::size_t crlf = [&] {
        std::size_t n = 0;
        for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2)
            ++n;
        return n;
    }();
    return crlf == lf ? "crlf" : crlf == 0 ? "lf" : "mixed";
}

// Whether `after` is `before` with at most `runs` runs of bytes inserted.
bool InsertionsOnly(std::string_view before, std::string_view after, int runs) {
    if (after.size() < before.size()) return false;
    std::size_t same = 0;
    while (same < before.size() && before[same] == after[same])
        ++same;
    if (same == before.size() || runs == 0) return same == before.size();
    const std::size_t extra = after.size() - before.size();
    for (std::size_t run = 1; run <= extra; ++run) {
        if (InsertionsOnly(before.substr(same), after.substr(same + run), runs - 1)) return true;
    }
    return false;
}

// An administrator's edits of a pair that two runs made; `german`: a de-DE language file too.
struct HandEdit {
    const char* name;
    void (*edit)(std::string& admx, std::string& adml);
    bool german;
    const char* grownWith = "";  // what the new item's text in the ADMX starts with
};

const HandEdit kHandEdits[] = {
    {"CommentsRenamedTextsExtraPolicyAndString",
     [](std::string& admx, std::string& adml) {
         Replace(admx, "?>\r\n", "?>\r\n<!-- kept: <item> -->\r\n<?note kept?>\r\n");
         Replace(admx, "SUPPORTED_Win2k", "SUPPORTED_WindowsVista");
         Replace(admx, "  </policies>",
                 "    <policy name='Extra' class='Both' displayName='$(string.Extra)' "
                 "key='Software\\Extra' valueName='Extra'><parentCategory ref='TarnwickDrives'/>"
                 "</policy>\r\n  </policies>");
         Replace(adml, ">Tarnwick drive restrictions<", ">Drives, as we call them<");
         // A string the next run's item would add is there already (an earlier run stopped).
         Replace(adml, "<stringTable>\r\n",
                 "<stringTable>\r\n      <string id='Extra'>x</string>\r\n"
                 "      <string id='ABOnly'>Restrict A and B only</string>\r\n");
     },
     true},
    {"LineFeedsTabsAndByteOrderMark",
     [](std::string& admx, std::string& adml) {
         for (std::string* text : {&admx, &adml}) {
             Replace(*text, "\r\n", "\n");
             Replace(*text, "utf-8", "UTF-8");
             Replace(*text, "  ", "\t");
         }
         admx.insert(0, "\xEF\xBB\xBF");
     },
     true},
    {"NamespacePrefixes",
     [](std::string& admx, std::string& adml) {
         (void)adml;
         Replace(admx, "</", "\x01");
         Replace(admx, "<", "<p:");
         Replace(admx, "<p:?", "<?");
         Replace(admx, "\x01", "</p:");
         Replace(admx, "xmlns=", "xmlns:p=");
     },
     false, "<p:item displayName=\"$(string.ABOnly)\">"},
    {"EmptyLists",
     [](std::string& admx, std::string& adml) {
         (void)adml;
         for (std::size_t at; (at = admx.find("          <item ")) != std::string::npos;)
             admx.erase(at, admx.find("</item>\r\n", at) + 9 - at);
     },
     false, "\r\n          <item displayName=\"$(string.ABOnly)\">"},
    {"Utf16LanguageFile",
     [](std::string& admx, std::string& adml) {
         (void)admx;
         Replace(adml, "utf-8", "utf-16");
         adml = "\xFF\xFE" + test::Utf16(adml);
     },
     false},
};

class HandEditedPair : public PolicyFolder, public ::testing::WithParamInterface<HandEdit> {};

TEST_P(HandEditedPair, GrowsByInsertionsOnlyInEveryLanguage) {
    MakeAll(2);
    std::string admx = Read(Admx()), adml = Read(Adml());
    GetParam().edit(admx, adml);
    test::WriteAll(Admx(), admx);
    test::WriteAll(Adml(), adml);
    std::string german = adml;
    Replace(german, "Restrict", "Sperre");
    if (GetParam().german) Put(German(), german);

    const Result<PolicyOutcome> result = Make(kRuns[2]);
    ASSERT_TRUE(result) << MessageOf(result);
    for (const auto& [path, before, runs] :
         {std::tuple{Admx(), admx, 2}, {Adml(), adml, 1}, {German(), german, 1}}) {
        if (path == German() && !GetParam().german) continue;
        SCOPED_TRACE(path);
        const std::string after = Read(path);
        EXPECT_TRUE(InsertionsOnly(before, after, runs)) << after;
        EXPECT_EQ(LineEnds(Narrow(after)), LineEnds(Narrow(before)));
        EXPECT_NE(Narrow(after).find("ABOnly"), std::string::npos);
        if (path != Admx()) {
            EXPECT_EQ(Narrow(after).find("ABOnly"), Narrow(after).rfind("ABOnly"));
        }
    }
    EXPECT_NE(Read(Admx()).find(GetParam().grownWith), std::string::npos);
    const auto read = ReadPair(Read(Admx()), Read(Adml()));
    ASSERT_TRUE(read) << read.failure().message;
    EXPECT_EQ(read->items.back(), (DriveItem{"ABOnly", "Restrict A and B only", 3}));
}

INSTANTIATE_TEST_SUITE_P(Edits, HandEditedPair, ::testing::ValuesIn(kHandEdits),
                         [](const auto& param) { return std::string(param.param.name); });

// A run that finds the store held waits, then gives up naming it; a lock file that no run holds
// stops nothing, and stays as it was for the next writer.
TEST_F(PolicyFolder, OneWriterAtATime) {
    MakeAll(1);
    const std::string admx = Read(Admx()), lockPath = dir_.File(kLockName);
    {
        fileio::FileLock held;
        ASSERT_TRUE(held.Take(lockPath, std::chrono::milliseconds(0)).ok());
        const Result<PolicyOutcome> waited =
            Make(kRuns[1], fileio::NativePlatform(), std::chrono::milliseconds(300));
        ASSERT_FALSE(waited);
        EXPECT_NE(waited.failure().message.find("Another run"), std::string::npos);
        EXPECT_NE(waited.failure().message.find(dir_.Path()), std::string::npos);
        EXPECT_EQ(Read(Admx()), admx);
        // The window's wait: its pause runs between the tries, and stopping it stops the run.
        struct Stopping : fileio::Waiter {
            int pauses = 0;
            bool Pause(std::string_view, std::uint32_t) override { return ++pauses < 3; }
        } stopping;
        const Result<PolicyOutcome> stopped = MakePolicyDefinitions(
            ReadDriveSet(test::TestSelection::Of("C", false)), dir_.Path(), {&stopping});
        ASSERT_FALSE(stopped);
        EXPECT_EQ(stopping.pauses, 3);
        EXPECT_EQ(stopped.failure().message.rfind("Stopped waiting", 0), 0u);
        EXPECT_EQ(Read(Admx()), admx);
    }
    test::WriteAll(lockPath, "left behind");
    // What killed runs left beside the pair goes with the next run, whoever wrote it.
    const std::string leftovers[] = {
        ".TarnwickDrives.admx.0123456789abcdef.trnw-tmp",
        "en-US/.TarnwickDrives.adml.elsewhere.w8.0123456789abcdef.trnw-tmp-old"};
    for (const std::string& name : leftovers)
        test::WriteAll(dir_.File(name), "left");
    EXPECT_TRUE(Make(kRuns[1], fileio::NativePlatform(), std::chrono::milliseconds(0)));
    EXPECT_EQ(Read(lockPath), "left behind");
    for (const std::string& name : leftovers)
        EXPECT_EQ(Entries().count(name), 0u) << name;
}

// A language file reached by two names through a link is one file: it gains the string once, and
// counts once among the other languages. A hard link, which a new file would split, is refused
// by both names before anything is written.
TEST_F(PolicyFolder, ALanguageFileWithTwoNamesIsWrittenOnceOrRefused) {
    namespace fs = std::filesystem;
    const struct {
        const char* name;
        void (*alias)(const fs::path& root);
        const char* other;  // the second name, of a hard link
    } cases[] = {
        {"hard link of en-US",
         [](const fs::path& root) {
             fs::remove(root / "de-DE" / kAdmlName);
             fs::create_hard_link(root / kCulture / kAdmlName, root / "de-DE" / kAdmlName);
         },
         "de-DE"},
#ifndef _WIN32
        {"linked language folder",
         [](const fs::path& root) { fs::create_directory_symlink("en-US", root / "en-GB"); },
         nullptr},
#endif
    };
    for (const auto& one : cases) {
        SCOPED_TRACE(one.name);
        fs::remove_all(test::FsPath(dir_.Path()));
        fs::create_directory(test::FsPath(dir_.Path()));
        MakeAll(1);
        Put(German(), Read(Adml()));
        one.alias(test::FsPath(dir_.Path()));
        const std::string adml = Read(Adml());
        const Result<PolicyOutcome> added = Make(kRuns[1]);
        if (one.other) {
            ASSERT_FALSE(added);
            const std::string message = MessageOf(added);
            EXPECT_NE(message.find(one.other), std::string::npos) << message;
            EXPECT_NE(message.find("\" are one file under two names"), std::string::npos);
            EXPECT_EQ(Read(Adml()), adml);
            continue;
        }
        ASSERT_TRUE(added) << MessageOf(added);
        ASSERT_EQ(added->otherLanguages.size(), 1u);
        EXPECT_EQ(test::FsPath(added->otherLanguages[0]), test::FsPath(German()));
        const std::string text = Read(German());
        EXPECT_EQ(text.find("ALLBUTC"), text.rfind("ALLBUTC"));
        EXPECT_NE(text.find("ALLBUTC"), std::string::npos);
    }
}

// A file that would grow past 64 MiB, which no reader takes, is refused: the store stays
// growable and readable. Natively only: Wine's XmlLite takes minutes over 64 MiB, and the check
// is the same code in both builds.
#ifndef _WIN32
TEST_F(PolicyFolder, AStoreIsNeverGrownPast64MiB) {
    MakeAll(1);
    const std::string admx = Read(Admx()), adml = Read(Adml());
    ASSERT_TRUE(Make(kRuns[1]));
    const std::size_t growth = Read(Admx()).size() - admx.size();
    // Grown to exactly 64 MiB it is written; one byte more, and every file stays.
    for (const std::size_t over : {0, 1}) {
        std::string padded = admx;
        padded.insert(
            admx.find("?>") + 2,
            "<!--" + std::string(kMaxInputBytes - admx.size() - growth - 7 + over, 'x') + "-->");
        test::WriteAll(Admx(), padded);
        test::WriteAll(Adml(), adml);
        const Result<PolicyOutcome> made = Make(kRuns[1]);
        ASSERT_EQ(made.ok(), over == 0) << MessageOf(made);
        EXPECT_EQ(Read(Admx()).size(), over == 0 ? kMaxInputBytes : padded.size());
        if (over) {
            EXPECT_NE(made.failure().message.find("64 MiB"), std::string::npos);
            EXPECT_EQ(Read(Adml()), adml);
        }
    }
}
#endif

// Fails each platform call of a run in turn, with and without an existing pair (and a second
// language): every file is as it was, or the run succeeded with the exact files.
class PolicyFaults : public PolicyFolder, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(PolicyFaults, EveryFailedCallChangesNoFile) {
    const std::size_t earlier = GetParam();
    const PolicyRun& run = kRuns[earlier];
    const auto setUp = [&] {
        std::filesystem::remove_all(test::FsPath(dir_.Path()));
        std::filesystem::create_directory(test::FsPath(dir_.Path()));
        MakeAll(earlier);
        if (earlier > 0) Put(German(), Read(Adml()));
    };
    const auto files = [&] {
        std::map<std::string, std::string> all;
        for (const std::string& name : Entries()) {
            const bool folder = std::filesystem::is_directory(test::FsPath(dir_.File(name)));
            all[name] = folder ? "<folder>" : Read(dir_.File(name));
        }
        return all;
    };
    // The names of the entries that differ, rather than whole files.
    const auto differing = [](const auto& a, const auto& b) {
        std::string names;
        for (const auto& [name, bytes] : a) {
            if (!b.count(name) || b.at(name) != bytes) names += name + " ";
        }
        for (const auto& [name, bytes] : b) {
            if (!a.count(name)) names += name + " ";
        }
        return names;
    };
    setUp();
    const auto before = files();
    test::FaultyPlatform clean;
    ASSERT_TRUE(Make(run, clean));
    const auto after = files();

    for (std::size_t k = 1; k <= clean.Total(); ++k) {
        SCOPED_TRACE("failing call " + std::to_string(k) + ", " +
                     test::CallName(clean.Log()[k - 1].kind));
        setUp();
        test::FaultyPlatform faulty;
        faulty.FailAt(k);
        const Result<PolicyOutcome> result = Make(run, faulty);
        ASSERT_TRUE(faulty.Injected());
        EXPECT_EQ(faulty.OpenHandles(), 0);
        if (result) {
            auto now = files();
            // The replaced file's second name, when its removal failed, stays for a later run to
            // clear as a leftover (fileio/Leftovers).
            if (clean.Log()[k - 1].kind == test::Call::Remove) {
                std::erase_if(
                    now, [](const auto& entry) { return entry.first.ends_with(".trnw-tmp-old"); });
            }
            EXPECT_EQ(differing(now, after), "");
            continue;
        }
        EXPECT_NE(result.failure().message.find(test::kInjectedText), std::string::npos)
            << result.failure().message;
        auto now = files();
        // A language folder made for a new pair may stay, empty, and so does the lock file.
        if (!before.count(kCulture)) now.erase(kCulture);
        if (!before.count(kLockName)) now.erase(kLockName);
        EXPECT_EQ(differing(now, before), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, PolicyFaults, ::testing::Values(0, 2),
                         [](const auto& param) { return param.param ? "PairExists" : "NoPair"; });

}  // namespace
}  // namespace tarnwick::policy
