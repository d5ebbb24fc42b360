// Fails each platform call of a whole generation in turn, and checks after every one that nothing
// is lost: the source is unchanged, the new path holds nothing or exactly what it held before (or,
// where the failure was harmless, exactly the new template), and no temporary file remains.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/Selection.h"
#include "fileio/Platform.h"
#include "fileio/mdlAPIFiles.h"
#include "generate/FormState.h"
#include "generate/GenerateADM.h"
#include "tests/support/FaultyPlatform.h"
#include "tests/support/LayoutModel.h"
#include "tests/support/TestFiles.h"

namespace tarnwick {
namespace {

using fileio::Access;
using test::Call;
using test::FaultyPlatform;

constexpr const char* kOldContent = "the template that was here before\r\n";

// C, D and E in the following mode.
class CdeSelection : public Selection {
  public:
    std::int16_t DriveValue(int index) const override { return index >= 2 && index <= 4; }
    std::string DriveCaption(int index) const override {
        return std::string(1, static_cast<char>('A' + index)) + ":";
    }
    bool FollowingMode() const override { return true; }
};
const model::ModelSelection kCde{0b11100, false};

// Whether a failure of this call may pass unreported: it carries none of the new template's bytes
// (an identity or information query, a look at what a path names, closing a file that was only
// read, removing a leftover), so a generation that still succeeds has lost nothing, which the
// exact output then proves. Every other call reads the source or writes the new template, and its
// failure must be reported.
bool Harmless(const test::CallRecord& call) {
    switch (call.kind) {
        case Call::Stat:
        case Call::Lookup:
        case Call::Remove:
            return true;
        case Call::Open:
            return call.access == Access::Query;
        case Call::Close:
            return call.access != Access::Write;
        default:
            return false;
    }
}

std::set<std::string> FolderEntries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(test::FsPath(folder))) {
        names.insert(test::Utf8(entry.path().filename()));
    }
    return names;
}

class GenerateFaults : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        sourceBytes_ = test::ReadAll(std::string(TARNWICK_SOURCE_DIR) + "/samples/system.adm");
        expected_ = model::ModelGenerate(sourceBytes_, kCde);
        ASSERT_TRUE(expected_.ok()) << "the sample must have three marker lines";
        source_ = dir_.File("system.adm");
        target_ = dir_.File("system_TRNW.adm");
        test::WriteAll(source_, sourceBytes_);
    }

    bool HadOutput() const { return GetParam(); }

    // The folder as it is before each run.
    void Reset() {
        std::filesystem::remove(test::FsPath(target_));
        if (HadOutput()) test::WriteAll(target_, kOldContent);
    }

    GenerateResult Generate(fileio::Platform& platform) {
        FormState state;
        state.strSourceADM = source_;
        state.strNewADM = target_;
        state.dblDriveMask = model::ModelMask(kCde);
        const ReplaceConsent consent{fileio::FileIdentity(target_)};
        fileio::ScopedPlatform use(platform);
        return GenerateADM(CdeSelection(), state, consent);
    }

    void ExpectNothingLost(const GenerateResult& result, bool mayPass) {
        EXPECT_EQ(test::ReadAll(source_), sourceBytes_) << "the source changed";
        const bool exists = std::filesystem::exists(test::FsPath(target_));
        std::set<std::string> expectedEntries{"system.adm"};
        if (result) {
            EXPECT_TRUE(mayPass) << "a failure that loses data was reported as success";
            ASSERT_TRUE(exists);
            EXPECT_TRUE(test::ReadAll(target_) == expected_.bytes) << "success with wrong output";
            expectedEntries.insert("system_TRNW.adm");
        } else if (HadOutput()) {
            ASSERT_TRUE(exists) << "the existing output is gone";
            EXPECT_EQ(test::ReadAll(target_), kOldContent) << "the existing output changed";
            expectedEntries.insert("system_TRNW.adm");
        } else {
            EXPECT_FALSE(exists) << "a failed generation left a file at the new path";
        }
        EXPECT_EQ(FolderEntries(dir_.Path()), expectedEntries) << "a temporary file remains";
    }

    test::TempDir dir_;
    std::string sourceBytes_;
    model::ModelOutcome expected_;
    std::string source_;
    std::string target_;
};

TEST_P(GenerateFaults, EveryFailedCallLosesNothing) {
    Reset();
    FaultyPlatform clean;
    const GenerateResult cleanResult = Generate(clean);
    ASSERT_TRUE(cleanResult) << cleanResult.failure().message;
    ExpectNothingLost(cleanResult, true);
    ASSERT_EQ(clean.OpenHandles(), 0);

    std::map<Call, std::vector<bool>> harmlessByKind;
    for (const test::CallRecord& call : clean.Log())
        harmlessByKind[call.kind].push_back(Harmless(call));
    const Call finalStep = HadOutput() ? Call::Replace : Call::MoveNew;
    for (Call kind : {Call::Lookup, Call::Random, Call::Open, Call::Size, Call::Read, Call::Write,
                      Call::Flush, Call::Close, finalStep}) {
        EXPECT_GT(harmlessByKind[kind].size(), 0u) << "a generation makes " << test::CallName(kind)
                                                   << " calls; the fault plan would miss them";
    }

    int injected = 0;
    for (const auto& [kind, harmless] : harmlessByKind) {
        for (std::size_t k = 1; k <= harmless.size(); ++k) {
            SCOPED_TRACE(std::string("failing ") + test::CallName(kind) + " call " +
                         std::to_string(k) + " of " + std::to_string(harmless.size()));
            Reset();
            FaultyPlatform faulty;
            faulty.FailAt(kind, k);
            const GenerateResult result = Generate(faulty);

            ASSERT_TRUE(faulty.Injected());
            ++injected;
            EXPECT_EQ(faulty.OpenHandles(), 0) << "a handle was left open";
            ExpectNothingLost(result, harmless[k - 1]);
            if (!result) {
                const GenerateFailure& failure = result.failure();
                EXPECT_NE(failure.message.find(test::kInjectedText), std::string::npos)
                    << "the system's reason is missing from: " << failure.message;
                EXPECT_EQ(failure.code, test::kInjectedCode);
            }
            if (HasFatalFailure()) return;
        }
    }
    EXPECT_EQ(injected, static_cast<int>(clean.Log().size()));
}

INSTANTIATE_TEST_SUITE_P(NewPath, GenerateFaults, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "Existing" : "Missing";
                         });

}  // namespace
}  // namespace tarnwick
