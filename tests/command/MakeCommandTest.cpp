// Command1_Click against a recording window and real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "command/MakeCommand.h"
#include "command/Messages.h"
#include "generate/FormState.h"
#include "tests/command/RecordingView.h"
#include "tests/command/TemplateFiles.h"
#include "tests/support/FaultyPlatform.h"

namespace tarnwick::test {
namespace {

const Shown& Last(const RecordingView& view) {
    return view.shown.back();
}

class MakeCommandTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::string source = dir.File("system.adm");
    std::string target = dir.File("system_TRNW.adm");
    RecordingView view;
    FormState state;

    void SetUp() override {
        WriteAll(source, kFourLineTemplate);
        view.sourceText = source;
        view.newText = target;
    }

    void Click() { Command1_Click(view, state); }

    Shown Success() const { return {msg::CreatedSuccessfully(target), kMbOk, msg::kAppTitle}; }
};

TEST_F(MakeCommandTest, TriggerWordThanksBeforeAnyCheckAndTouchesNothing) {
    view.newText = "brisk";
    view.sourceText = "";
    Click();
    EXPECT_EQ(view.shown, (std::vector<Shown>{{msg::kAcknowledgement, kMbOk, ""}}));
    EXPECT_EQ(view.sourceReads, 0);
    EXPECT_EQ(state.strNewADM, "");
    EXPECT_EQ(std::string(msg::kAcknowledgement).find_first_of("\r\n"), std::string::npos);
}

TEST_F(MakeCommandTest, TriggerWordIsExactOtherwiseItIsAPath) {
    for (const char* text : {"Brisk", "BRISK", " brisk", "brisk ", "brisk.adm"}) {
        view.shown.clear();
        view.newText = text;
        Click();  // nothing ticked: the selection check answers
        ASSERT_EQ(view.shown.size(), 1u) << text;
        EXPECT_EQ(Last(view), (Shown{msg::kSelectDrives, kMbCritical, "Tarnwick"})) << text;
    }
}

TEST_F(MakeCommandTest, NoTickedDriveStopsBeforeTheSourceIsRead) {
    view.following = false;  // the mode plays no part: ticks are counted
    view.values[3] = 2;      // only the value 1 ticks a box
    view.values[4] = -1;
    Click();
    EXPECT_EQ(view.shown,
              (std::vector<Shown>{{"Please select one or more drives.", 16, "Tarnwick"}}));
    EXPECT_EQ(view.sourceReads, 0);
    EXPECT_FALSE(std::filesystem::exists(FsPath(target)));
}

TEST_F(MakeCommandTest, MissingSourceNamesThePathInM3) {
    view.Tick({'C'});
    for (const std::string& missing : {dir.File("nothing.adm"), std::string()}) {
        view.shown.clear();
        view.sourceText = missing;
        Click();
        EXPECT_EQ(view.shown, (std::vector<Shown>{{"Default ADM file '" + missing +
                                                       "' not found.\r\nPlease specify a valid "
                                                       "path to default adm (system.adm)",
                                                   16, "Tarnwick"}}));
        EXPECT_EQ(state.strSourceADM, missing);
    }
}

TEST_F(MakeCommandTest, NewPathNamingTheSourceGetsM4AndTheSourceStaysAsItWas) {
    view.Tick({'C', 'D', 'E'});
    std::filesystem::create_directory(FsPath(dir.File("sub")));
    std::vector<std::string> sameFile = {source, dir.File("sub") + "/../system.adm"};
#ifdef _WIN32
    sameFile.push_back(dir.File("SYSTEM.ADM"));  // Windows names ignore letter case
#else
    std::filesystem::create_hard_link(FsPath(source), FsPath(dir.File("link.adm")));
    sameFile.push_back(dir.File("link.adm"));  // a second name of the same file
#endif
    for (const std::string& text : sameFile) {
        view.shown.clear();
        view.newText = text;
        Click();
        EXPECT_EQ(view.shown, (std::vector<Shown>{{"Please specify a different ADM file.", 0, ""}}))
            << text;
    }
    EXPECT_EQ(ReadAll(source), kFourLineTemplate);
}

TEST_F(MakeCommandTest, SourceCheckComesBeforeTheDistinctTargetCheck) {
    view.Tick({'C'});
    view.sourceText = view.newText = dir.File("absent.adm");
    Click();
    ASSERT_EQ(view.shown.size(), 1u);
    EXPECT_EQ(Last(view).text.rfind("Default ADM file '", 0), 0u);
}

TEST_F(MakeCommandTest, FreshTargetIsWrittenThenOneBeepAndM6) {
    view.Tick({'C', 'D', 'E'});
    FaultyPlatform counted;
    (fileio::ScopedPlatform(counted), Click());
    EXPECT_EQ(view.shown, (std::vector<Shown>{kBeep, Success()}));
    EXPECT_EQ(Success().text,
              "'" + target + "' was created succesfully\r\nThe source file was not changed.");
    EXPECT_EQ(ReadAll(target), FourLineTemplateForCDE());
    EXPECT_EQ(ReadAll(source), kFourLineTemplate);
    EXPECT_EQ(state.dblDriveMask, 28.0);
    EXPECT_EQ(state.strSourceADM, source);
    EXPECT_EQ(state.strNewADM, target);
    // Gone as soon as it was written (someone removed it): no success is claimed.
    std::filesystem::remove(FsPath(target));
    view.shown.clear();
    FaultyPlatform faulty;
    faulty.Before(Call::Attributes, counted.Count(Call::Attributes),
                  [&] { std::filesystem::remove(FsPath(target)); });
    (fileio::ScopedPlatform(faulty), Click());
    EXPECT_EQ(view.shown, (std::vector<Shown>{{msg::kUnspecifiedError, kMbOk, ""}}));
}

TEST_F(MakeCommandTest, ExistingTargetIsKeptOnNoAndReplacedOnYes) {
    view.Tick({'C', 'D', 'E'});
    const std::string old(500, 'A');  // longer than the result, so a leftover tail would show
    const Shown prompt{"'" + target + "' already exists. Overwrite?", 4, "Tarnwick"};

    WriteAll(target, old);
    view.answers = {kIdNo};
    Click();
    EXPECT_EQ(view.shown, (std::vector<Shown>{prompt}));
    EXPECT_EQ(ReadAll(target), old);

    view.shown.clear();
    view.answers = {kIdYes};
    Click();
    EXPECT_EQ(view.shown, (std::vector<Shown>{prompt, kBeep, Success()}));
    EXPECT_EQ(ReadAll(target), FourLineTemplateForCDE());
}

TEST_F(MakeCommandTest, PromptThatCannotBeAnsweredReplacesNothing) {
    view.Tick({'C'});
    WriteAll(target, std::string("\1\2\3"));
    view.answers.clear();  // the box fails
    Click();
    ASSERT_EQ(view.shown.size(), 1u);
    EXPECT_EQ(ReadAll(target), (std::string("\1\2\3")));
}

// A folder passes the existence check; as the source or the new path it is refused with that
// cause, before the overwrite prompt could ask about it (a file at the new path included).
TEST_F(MakeCommandTest, FolderAsSourceOrNewPathIsRefusedBeforeAnyPrompt) {
    view.Tick({'C'});
    const std::string folder = dir.File("folder.adm");
    std::filesystem::create_directory(FsPath(folder));
    WriteAll(target, std::string("\11\11"));
    const struct {
        std::string sourceText, newText;
        Shown refusal;
    } cases[] = {
        {folder, target, {msg::SourceIsFolder(folder), kMbCritical, msg::kAppTitle}},
        {source, folder, {msg::NewPathIsFolder(folder), kMbCritical, msg::kAppTitle}},
    };
    for (const auto& c : cases) {
        view.shown.clear();
        view.answers = {kIdYes};
        view.sourceText = c.sourceText;
        view.newText = c.newText;
        Click();
        EXPECT_EQ(view.shown, (std::vector<Shown>{c.refusal}));
        EXPECT_EQ(c.refusal.text.find(folder + "' is a folder, not a file.\r\n"),
                  c.refusal.text.find('\'') + 1);
    }
    EXPECT_EQ(ReadAll(target), (std::string("\11\11")));
    EXPECT_TRUE(std::filesystem::is_empty(FsPath(folder)));
}

// Path texts as typed or pasted: blanks and one pair of quotes around them go, a relative path is
// taken against the current folder, and the messages show where the template went. A new path
// that is empty once cleaned writes nothing and ends the click with the unspecified error.
TEST_F(MakeCommandTest, PathTextsAreCleanedAndMadeAbsoluteBeforeUse) {
    view.Tick({'C', 'D', 'E'});
    const CurrentFolder here(dir.Path());
    const std::string longName(120, 'n');
    std::filesystem::create_directories(FsPath(dir.File(longName)));
    const struct {
        std::string sourceText;
        std::string newText;
        std::string written;  // the absolute new path, or empty: nothing is written
    } cases[] = {
        {"\"" + source + "\"", "  \"" + target + "\"\t", target},
        {" system.adm ", "\" rel.adm \"", dir.File("rel.adm")},
        {"./system.adm", longName + "/" + longName + ".adm",
         Utf8(FsPath(dir.File(longName)) / FsPath(longName + ".adm"))},
        {source, "", ""},
        {source, " \t ", ""},
        {source, "\"  \"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sourceText + " | " + c.newText);
        view.shown.clear();
        view.sourceText = c.sourceText;
        view.newText = c.newText;
        Click();
        EXPECT_EQ(state.strSourceADM, source);
        if (c.written.empty()) {
            EXPECT_EQ(view.shown, (std::vector<Shown>{{msg::kUnspecifiedError, kMbOk, ""}}));
            continue;
        }
        EXPECT_EQ(state.strNewADM, c.written);
        EXPECT_EQ(view.shown,
                  (std::vector<Shown>{
                      kBeep, {msg::CreatedSuccessfully(c.written), kMbOk, msg::kAppTitle}}));
        EXPECT_EQ(ReadAll(c.written), FourLineTemplateForCDE());
        std::filesystem::remove(FsPath(c.written));
    }
    // The source and the two folders: the empty paths left nothing behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(FsPath(dir.Path())),
                            std::filesystem::directory_iterator()),
              2);
}

TEST_F(MakeCommandTest, FailingBoxReadsAddNothingToTheCount) {
    view.values[2] = 1;
    view.failingDrives = {2};
    Click();
    EXPECT_EQ(view.shown, (std::vector<Shown>{{msg::kSelectDrives, kMbCritical, "Tarnwick"}}));
}

TEST_F(MakeCommandTest, FailingMaskLeavesTheOldMaskAndNeverClaimsSuccess) {
    view.Tick({'C'});
    view.failingDrives = {5};  // counted as nothing, but the mask and the entry need every box
    state.dblDriveMask = 99;
    Click();
    EXPECT_EQ(state.dblDriveMask, 99);
    EXPECT_EQ(std::count(view.shown.begin(), view.shown.end(), kBeep), 0);
    ASSERT_FALSE(view.shown.empty());
    EXPECT_EQ(Last(view).text.find("succesfully"), std::string::npos);
}

TEST_F(MakeCommandTest, FailingPathReadsKeepTheEarlierValues) {
    view.Tick({'C', 'D', 'E'});
    // The first read is the trigger test: failing, its message runs.
    view.failingNewTextReads = {1};
    Click();
    EXPECT_EQ(view.shown, (std::vector<Shown>{{msg::kAcknowledgement, kMbOk, ""}}));

    // The second read fails: strNewADM keeps the path it held, and the command writes there.
    view.shown.clear();
    view.newTextReads = 0;
    view.failingNewTextReads = {2};
    view.newText = dir.File("typed.adm");
    state.strNewADM = target;
    Click();
    EXPECT_EQ(view.shown, (std::vector<Shown>{kBeep, Success()}));
    EXPECT_EQ(ReadAll(target), FourLineTemplateForCDE());
    EXPECT_FALSE(std::filesystem::exists(FsPath(dir.File("typed.adm"))));
}

}  // namespace
}  // namespace tarnwick::test
