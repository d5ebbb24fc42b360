// The policy-definition pair: a sequence of runs grows it by one item per new set and leaves it
// alone for a set already offered; the bytes are the same in every build; a pair that is not
// whole, not Tarnwick's or not well-formed is refused with both files kept; and no failed platform
// call loses anything.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

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

struct PolicyRun {
    const char* letters;
    bool following;
    PolicyStatus status;
    const char* item;  // the set's item, or the one that already offers its mask
};

// Three new sets, then a set in the other mode that restricts what ABOnly restricts.
const PolicyRun kRuns[] = {
    {"CDE", true, PolicyStatus::Created, "CDEOnly"},
    {"C", false, PolicyStatus::Added, "ALLBUTC"},
    {"AB", true, PolicyStatus::Added, "ABOnly"},
    {"CDEFGHIJKLMNOPQRSTUVWXYZ", false, PolicyStatus::AlreadyOffered, "ABOnly"},
};
const std::vector<test::ExpectedItem> kItems = {
    {"CDEOnly", "Restrict C, D and E only", 28},
    {"ALLBUTC", "Restrict all drives but C only", 67108859},
    {"ABOnly", "Restrict A and B only", 3},
};

class PolicyFolder : public ::testing::Test {
  protected:
    std::string Admx() const { return dir_.File(kAdmxName); }
    std::string Adml() const { return dir_.File(std::string(kCulture) + "/" + kAdmlName); }
    std::string Read(const std::string& path) const {
        return std::filesystem::exists(test::FsPath(path)) ? test::ReadAll(path) : "<none>";
    }
    PolicyResult Make(const PolicyRun& run, fileio::Platform& platform = fileio::NativePlatform()) {
        fileio::ScopedPlatform use(platform);
        return MakePolicyDefinitions(
            ReadDriveSet(test::TestSelection::Of(run.letters, run.following)), dir_.Path());
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
    for (std::size_t i = 0; i < std::size(kRuns); ++i) {
        const PolicyRun& run = kRuns[i];
        SCOPED_TRACE(run.letters);
        const std::string admxBefore = Read(Admx()), admlBefore = Read(Adml());
        const PolicyResult result = Make(run);
        ASSERT_EQ(result.status, run.status) << result.message;
        EXPECT_EQ(run.status == PolicyStatus::AlreadyOffered ? result.offeredBy : result.entryName,
                  run.item);
        EXPECT_NE(result.message.find(run.item), std::string::npos) << result.message;
        if (run.status == PolicyStatus::AlreadyOffered) {
            EXPECT_EQ(Read(Admx()), admxBefore);
            EXPECT_EQ(Read(Adml()), admlBefore);
        }
        const std::vector<test::ExpectedItem> items(
            kItems.begin(), kItems.begin() + std::min(i + 1, kItems.size()));
        EXPECT_EQ(test::CheckPolicyPair(Read(Admx()), Read(Adml()), items),
                  std::vector<std::string>{});
    }
    EXPECT_EQ(Entries(), (std::set<std::string>{kAdmxName, kCulture,
                                                std::string(kCulture) + "/" + kAdmlName}));
}

// The files checked in were written by the native build: every build must write the same bytes.
TEST_F(PolicyFolder, SameBytesInEveryBuild) {
    MakeAll(3);
    EXPECT_TRUE(Read(Admx()) == Expected(kAdmxName));
    EXPECT_TRUE(Read(Adml()) == Expected(kAdmlName));
}

struct Refusal {
    const char* name;
    const char* admx;  // nullptr: no file; "" keeps the one two runs made
    const char* adml;
    PolicyStatus status;
    const char* cause;  // a fragment the message must hold
};

const Refusal kRefusals[] = {
    {"AdmxNotWellFormed", "<policyDefinitions>", "", PolicyStatus::Refused, "line 1"},
    {"AdmlNotWellFormed", "", "<a><b></a>", PolicyStatus::Refused, kAdmlName},
    {"ForeignTarget",
     "<policyDefinitions "
     "xmlns='http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions'>"
     "<policyNamespaces><target prefix='w' namespace='Contoso.Drives'/></policyNamespaces>"
     "</policyDefinitions>",
     "", PolicyStatus::Refused, "Contoso.Drives"},
    {"ItemWithoutString", "",
     "<policyDefinitionResources "
     "xmlns='http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions'><resources>"
     "<stringTable><string id='CDEOnly'>x</string></stringTable></resources>"
     "</policyDefinitionResources>",
     PolicyStatus::Refused, "ALLBUTC"},
    {"AdmlMissing", "", nullptr, PolicyStatus::Refused, "missing"},
    {"ForeignLanguageFileAlone", nullptr, "<doc/>", PolicyStatus::Refused, kAdmlName},
    {"WithDtd", "<!DOCTYPE x [<!ENTITY e SYSTEM 'file:///etc/passwd'>]><x>&e;</x>", "",
     PolicyStatus::Refused, "DTD"},
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
    const std::string admxBefore = Read(Admx()), admlBefore = Read(Adml());
    const std::set<std::string> entriesBefore = Entries();

    const PolicyResult result = Make({"F", true, PolicyStatus::Added, "FOnly"});
    EXPECT_EQ(result.status, refusal.status) << result.message;
    EXPECT_NE(result.message.find(refusal.cause), std::string::npos) << result.message;
    EXPECT_NE(result.message.find("TarnwickDrives.adm"), std::string::npos) << result.message;
    EXPECT_EQ(Read(Admx()), admxBefore);
    EXPECT_EQ(Read(Adml()), admlBefore);
    EXPECT_EQ(Entries(), entriesBefore);
}

INSTANTIATE_TEST_SUITE_P(ExistingPairs, PolicyRefusals, ::testing::ValuesIn(kRefusals),
                         [](const auto& param) { return std::string(param.param.name); });

// What the command itself refuses before it reads anything.
TEST_F(PolicyFolder, NoDriveOrNoFolderWritesNothing) {
    EXPECT_EQ(Make({"", true, PolicyStatus::InvalidInput, ""}).message,
              "Please select one or more drives.");
    EXPECT_EQ(
        MakePolicyDefinitions(ReadDriveSet(test::TestSelection::Of("C")), dir_.File("none")).status,
        PolicyStatus::InvalidInput);
    test::WriteAll(dir_.File(kCulture), "a file where the language folder belongs");
    EXPECT_EQ(Make(kRuns[0]).status, PolicyStatus::Failed);
    EXPECT_EQ(Entries(), std::set<std::string>{kCulture});
}

// Fails each platform call of a run in turn, with and without an existing pair: the pair is as it
// was, or the language file alone holds the new string, or the run succeeded with the exact files.
class PolicyFaults : public PolicyFolder, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(PolicyFaults, EveryFailedCallLosesNothing) {
    const std::size_t earlier = GetParam();
    const PolicyRun& run = kRuns[earlier];
    MakeAll(earlier);
    const std::string admxBefore = Read(Admx()), admlBefore = Read(Adml());
    const std::set<std::string> entriesBefore = Entries();
    test::FaultyPlatform clean;
    ASSERT_TRUE(Make(run, clean).ok());
    const std::string admxAfter = Read(Admx()), admlAfter = Read(Adml());
    const std::set<std::string> entriesAfter = Entries();

    for (std::size_t k = 1; k <= clean.Total(); ++k) {
        SCOPED_TRACE("failing call " + std::to_string(k) + ", " +
                     test::CallName(clean.Log()[k - 1].kind));
        std::filesystem::remove_all(test::FsPath(dir_.Path()));
        std::filesystem::create_directory(test::FsPath(dir_.Path()));
        MakeAll(earlier);
        test::FaultyPlatform faulty;
        faulty.FailAt(k);
        const PolicyResult result = Make(run, faulty);
        ASSERT_TRUE(faulty.Injected());
        EXPECT_EQ(faulty.OpenHandles(), 0);
        if (result.ok()) {
            EXPECT_EQ(Read(Admx()), admxAfter);
            EXPECT_EQ(Read(Adml()), admlAfter);
            EXPECT_EQ(Entries(), entriesAfter);
            continue;
        }
        EXPECT_NE(result.message.find(test::kInjectedText), std::string::npos) << result.message;
        EXPECT_EQ(Read(Admx()), admxBefore);
        const std::string adml = Read(Adml());
        EXPECT_TRUE(adml == admlBefore || adml == admlAfter) << "the language file is damaged";
        std::set<std::string> entries = Entries();
        entries.insert(entriesAfter.begin(), entriesAfter.end());
        EXPECT_EQ(entries, entriesAfter) << "a temporary file remains";
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, PolicyFaults, ::testing::Values(0, 2),
                         [](const auto& param) { return param.param ? "PairExists" : "NoPair"; });

}  // namespace
}  // namespace tarnwick::policy
