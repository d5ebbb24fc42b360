// Fails each platform call of a whole generation in turn, and checks after every one that nothing
// is lost: the source is unchanged, the new path holds nothing or exactly what it held before (or,
// where the failure was harmless, exactly the new template), and no temporary file remains.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fileio/Platform.h"
#include "generate/FormState.h"
#include "generate/GenerateADM.h"
#include "generate/Selection.h"
#include "tests/support/FaultyPlatform.h"
#include "tests/support/LayoutModel.h"
#include "tests/support/TestFiles.h"

namespace tarnwick {
namespace {

using fileio::Access;
using fileio::Handle;
using fileio::SysError;
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
// (an identity or information query, closing a file that was only read, removing a leftover),
// so a generation that still succeeds has lost nothing, which the exact output then proves.
// Every other call reads the source or writes the new template, and its failure must be reported.
struct CallNote {
    Call kind;
    bool harmless;
};

// Sits between the generator and the fault injector and notes each call in order, with what the
// handle it uses was opened for.
class CallLog : public fileio::Platform {
  public:
    explicit CallLog(fileio::Platform& inner) : inner_(inner) {}
    const std::vector<CallNote>& Notes() const { return notes_; }

    bool Attributes(const std::string& path, std::uint32_t& attributes) override {
        return inner_.Attributes(path, attributes);
    }
    bool Open(const std::string& path, Access access, fileio::Disposition disposition,
              Handle& handle, SysError& error) override {
        Note(Call::Open, access == Access::Query);
        if (!inner_.Open(path, access, disposition, handle, error)) return false;
        accessOf_[handle] = access;
        return true;
    }
    bool Size(Handle handle, std::uint64_t& size, SysError& error) override {
        Note(Call::Size, false);
        return inner_.Size(handle, size, error);
    }
    bool Seek(Handle handle, std::uint64_t offset, SysError& error) override {
        Note(Call::Seek, false);
        return inner_.Seek(handle, offset, error);
    }
    bool Read(Handle handle, void* buffer, std::size_t size, std::size_t& got,
              SysError& error) override {
        Note(Call::Read, false);
        return inner_.Read(handle, buffer, size, got, error);
    }
    bool Write(Handle handle, const void* buffer, std::size_t size, SysError& error) override {
        Note(Call::Write, false);
        return inner_.Write(handle, buffer, size, error);
    }
    bool Stat(Handle handle, fileio::FileStat& stat, SysError& error) override {
        Note(Call::Stat, true);
        return inner_.Stat(handle, stat, error);
    }
    bool Close(Handle handle, SysError& error) override {
        Note(Call::Close, !Wrote(handle));
        accessOf_.erase(handle);
        return inner_.Close(handle, error);
    }
    bool Replace(const std::string& from, const std::string& to, SysError& error) override {
        Note(Call::Replace, false);
        return inner_.Replace(from, to, error);
    }
    bool Remove(const std::string& path, SysError& error) override {
        Note(Call::Remove, true);
        return inner_.Remove(path, error);
    }

  private:
    void Note(Call kind, bool harmless) { notes_.push_back({kind, harmless}); }
    bool Wrote(Handle handle) const {
        const auto found = accessOf_.find(handle);
        return found == accessOf_.end() || found->second == Access::Write;
    }

    fileio::Platform& inner_;
    std::vector<CallNote> notes_;
    std::map<Handle, Access> accessOf_;
};

const char* KindName(Call kind) {
    switch (kind) {
        case Call::Attributes:
            return "attributes";
        case Call::Open:
            return "open";
        case Call::Size:
            return "size";
        case Call::Seek:
            return "seek";
        case Call::Read:
            return "read";
        case Call::Write:
            return "write";
        case Call::Stat:
            return "stat";
        case Call::Close:
            return "close";
        case Call::Replace:
            return "replace";
        case Call::Remove:
            return "remove";
    }
    return "?";
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
        fileio::ScopedPlatform use(platform);
        return GenerateADM(CdeSelection(), state);
    }

    void ExpectNothingLost(const GenerateResult& result, bool mayPass) {
        EXPECT_EQ(test::ReadAll(source_), sourceBytes_) << "the source changed";
        const bool exists = std::filesystem::exists(test::FsPath(target_));
        std::set<std::string> expectedEntries{"system.adm"};
        if (result.ok()) {
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
    FaultyPlatform counting;
    CallLog clean(counting);
    const GenerateResult cleanResult = Generate(clean);
    ASSERT_TRUE(cleanResult.ok()) << cleanResult.message;
    ExpectNothingLost(cleanResult, true);
    ASSERT_EQ(counting.OpenHandles(), 0);

    std::map<Call, std::vector<bool>> harmlessByKind;
    for (const CallNote& note : clean.Notes())
        harmlessByKind[note.kind].push_back(note.harmless);
    for (Call kind :
         {Call::Open, Call::Size, Call::Read, Call::Write, Call::Close, Call::Replace}) {
        EXPECT_GT(harmlessByKind[kind].size(), 0u)
            << "a generation makes " << KindName(kind) << " calls; the fault plan would miss them";
    }

    int injected = 0;
    for (const auto& [kind, harmless] : harmlessByKind) {
        for (std::size_t k = 1; k <= harmless.size(); ++k) {
            SCOPED_TRACE(std::string("failing ") + KindName(kind) + " call " + std::to_string(k) +
                         " of " + std::to_string(harmless.size()));
            Reset();
            FaultyPlatform faulty;
            faulty.FailAt(kind, k);
            const GenerateResult result = Generate(faulty);

            ASSERT_TRUE(faulty.Injected());
            ++injected;
            EXPECT_EQ(faulty.OpenHandles(), 0) << "a handle was left open";
            ExpectNothingLost(result, harmless[k - 1]);
            if (!result.ok()) {
                EXPECT_NE(result.message.find(test::kInjectedText), std::string::npos)
                    << "the system's reason is missing from: " << result.message;
                EXPECT_EQ(result.error.code, test::kInjectedCode);
            }
            if (HasFatalFailure()) return;
        }
    }
    EXPECT_EQ(injected, static_cast<int>(clean.Notes().size()));
}

INSTANTIATE_TEST_SUITE_P(NewPath, GenerateFaults, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "Existing" : "Missing";
                         });

}  // namespace
}  // namespace tarnwick
