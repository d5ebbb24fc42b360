// What may happen at the new path while a template is written, changed at exact points through
// the fault injector's hooks rather than by timing; and what may stand there (or at the source)
// that is no regular file. Nothing the administrator did not agree to is ever replaced.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iterator>
#include <set>
#include <string>

#include "fileio/TempFiles.h"
#include "fileio/mdlAPIFiles.h"
#include "generate/EntryText.h"
#include "generate/GenerateADM.h"
#include "tests/generate/TestSelection.h"
#include "tests/support/FaultyPlatform.h"
#include "tests/support/LayoutModel.h"
#include "tests/support/TestFiles.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using test::Call;
using test::FsPath;
using test::ReadAll;
using test::WriteAll;

const std::string kSource = test::Utf16("abcdonly\r\nabcdonly\r\nabcdonly\r\nxyz\r\n");
const std::string kOld = "the administrator's template\r\n";
const std::string kTheirs = "another program's file\r\n";

// Public, so that the cases' actions can reach the paths.
class NewPathTest : public ::testing::Test {
  public:
    void SetUp() override { WriteAll(source, kSource); }

    // Generates with consent (as given now) or without, through `platform`.
    GenerateResult Generate(bool agreed, fileio::Platform& platform,
                            const test::TestSelection& selection = test::TestSelection::Of("CDE")) {
        FormState state;
        state.strSourceADM = source;
        state.strNewADM = target;
        state.dblDriveMask = GetDriveMask(selection);
        ReplaceConsent consent;
        if (agreed) consent.file = fileio::FileIdentity(target);
        fileio::ScopedPlatform use(platform);
        return GenerateADM(selection, state, consent);
    }
    GenerateResult Generate(bool agreed) { return Generate(agreed, fileio::NativePlatform()); }

    static std::string Template() {
        return model::ModelGenerate(kSource, model::ModelSelection{0b11100, false}).bytes;
    }

    std::set<std::string> Entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(FsPath(dir.Path())))
            names.insert(test::Utf8(entry.path().filename()));
        return names;
    }

    test::TempDir dir;
    std::string source = dir.File("system.adm");
    std::string target = dir.File("new.adm");
};

// The world changes just before the final step (the first Flush is the last call before it), or
// before the write begins.
TEST_F(NewPathTest, OnlyAFreePathOrTheAgreedFileTakesTheTemplate) {
    struct Case {
        const char* name;
        bool fileBefore;
        bool agreed;
        std::function<void(NewPathTest&)> meanwhile;  // none: nothing changes
        const char* phrase;                           // in the message; none: success
        Call when = Call::Flush;                      // the change comes before the first
    };
    const auto swap = [](NewPathTest& t) {
        WriteAll(t.dir.File("theirs"), kTheirs);
        fs::rename(FsPath(t.dir.File("theirs")), FsPath(t.target));
    };
    const Case cases[] = {
        {"free path", false, false, nullptr, nullptr},
        {"agreed file", true, true, nullptr, nullptr},
        {"file there without consent", true, false, nullptr, "not agreed"},
        {"a file appears meanwhile", false, false,
         [](NewPathTest& t) { WriteAll(t.target, kTheirs); }, "appeared"},
        {"a second run writes the path meanwhile", false, false,
         [](NewPathTest& t) {
             ASSERT_TRUE(
                 t.Generate(false, fileio::NativePlatform(), test::TestSelection::Of("A")).ok());
         },
         "appeared"},
        {"the agreed file is swapped for another meanwhile", true, true, swap, "changed"},
        {"the agreed file is swapped before the write", true, true, swap, "no longer",
         Call::Lookup},
        {"the agreed file is removed meanwhile", true, true,
         [](NewPathTest& t) { fs::remove(FsPath(t.target)); }, "changed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(FsPath(target));
        if (c.fileBefore) WriteAll(target, kOld);
        std::string left = c.fileBefore ? kOld : "";  // what the new path holds when refused
        test::FaultyPlatform faulty;
        if (c.meanwhile) {
            faulty.Before(c.when, 1, [&] {
                c.meanwhile(*this);
                left = fs::exists(FsPath(target)) ? ReadAll(target) : "";
            });
        }
        const GenerateResult result = Generate(c.agreed, faulty);

        if (c.phrase == nullptr) {
            EXPECT_TRUE(result) << result.failure().message;
            EXPECT_TRUE(ReadAll(target) == Template());
        } else {
            ASSERT_FALSE(result);
            const GenerateFailure& failure = result.failure();
            EXPECT_EQ(failure.fault, GenerateFault::NotReplaced) << failure.message;
            EXPECT_NE(failure.message.find(c.phrase), std::string::npos) << failure.message;
            // The new path named once, the temporary file never, "unchanged" only of a file.
            const std::string& text = failure.message;
            EXPECT_EQ(text.find(target), text.rfind(target)) << text;
            EXPECT_EQ(text.find(fileio::kTempSuffix), std::string::npos) << text;
            EXPECT_TRUE(c.fileBefore || text.find("unchanged") == std::string::npos) << text;
            EXPECT_EQ(fs::exists(FsPath(target)) ? ReadAll(target) : "", left);
        }
        std::set<std::string> expected{"system.adm"};
        if (fs::exists(FsPath(target))) expected.insert("new.adm");
        EXPECT_EQ(Entries(), expected) << "a temporary file remains";
    }
}

// What the handlers do on an interrupt, done mid-write: the temporary file (still open, on
// Windows) goes, and nothing takes the new path.
TEST_F(NewPathTest, AnInterruptMidWriteLeavesNoTemporaryFile) {
    test::FaultyPlatform faulty;
    faulty.Before(Call::Flush, 1, [] { fileio::RemoveTrackedTempFiles(); });
    const GenerateResult result = Generate(false, faulty);
    EXPECT_FALSE(result);
    EXPECT_EQ(Entries(), std::set<std::string>{"system.adm"});
}

// Makes what a case names (a folder, a pipe, a link to nothing) in the folder, or gives a device.
std::string Make(const test::TempDir& dir, const std::string& what) {
    if (what.starts_with("/dev/") || what == "NUL") return what;
    const std::string path = dir.File(what);
    if (what == "folder") fs::create_directory(FsPath(path));
#ifndef _WIN32
    if (what == "pipe") mkfifo(path.c_str(), 0600);
    if (what == "link") fs::create_symlink(FsPath(dir.File("nowhere")), FsPath(path));
#endif
    return path;
}

// Only regular files are read or replaced, whatever was agreed. Opening a pipe with no writer
// would wait for one: it is refused at once instead.
TEST_F(NewPathTest, OnlyRegularFilesAreReadOrReplaced) {
    const struct {
        const char* what;
        bool asSource;
        const char* phrase;
    } cases[] = {
        {"folder", false, "folder"},
#ifdef _WIN32
        {"NUL", false, "not a regular file"},
        {"NUL", true, "not a regular file"},
#else
        {"/dev/null", false, "not a regular file"},
        {"/dev/zero", true, "not a regular file"},
        {"pipe", false, "not a regular file"},
        {"pipe", true, "not a regular file"},
        {"link", false, "does not exist"},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.what) + (c.asSource ? " as the source" : ""));
        const std::string path = Make(dir, c.what);
        const auto kind = fs::symlink_status(FsPath(path)).type();
        (c.asSource ? source : target) = path;
        const GenerateResult result = Generate(true);
        source = dir.File("system.adm");
        target = dir.File("new.adm");

        ASSERT_FALSE(result);
        const GenerateFailure& failure = result.failure();
        EXPECT_EQ(failure.fault,
                  c.asSource ? GenerateFault::SourceOpenFailed : GenerateFault::NotReplaced)
            << failure.message;
        EXPECT_NE(failure.message.find(c.phrase), std::string::npos) << failure.message;
        EXPECT_EQ(fs::symlink_status(FsPath(path)).type(), kind);
        EXPECT_EQ(Entries().count("new.adm"), 0u);
    }
}

#ifndef _WIN32
// The administrator's link stays a link and its file receives the template, keeping its mode.
TEST_F(NewPathTest, ALinkStaysALinkAndItsFileKeepsItsMode) {
    fs::create_directory(FsPath(dir.File("real")));
    const std::string file = dir.File("real/file.adm");
    WriteAll(file, kOld);
    chmod(file.c_str(), 0640);
    fs::create_symlink(FsPath(file), FsPath(target));

    const GenerateResult result = Generate(true);
    ASSERT_TRUE(result) << result.failure().message;
    EXPECT_TRUE(fs::is_symlink(FsPath(target)));
    EXPECT_TRUE(ReadAll(file) == Template());
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(
        std::distance(fs::directory_iterator(FsPath(dir.File("real"))), fs::directory_iterator()),
        1);
}
#endif

}  // namespace
}  // namespace tarnwick
