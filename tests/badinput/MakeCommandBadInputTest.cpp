// Every bad input through the Make ADM command, with a form that answers Yes to the prompt.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command/MakeCommand.h"
#include "command/Messages.h"
#include "generate/FormState.h"
#include "tests/badinput/BadInputs.h"

namespace tarnwick::badinput {
namespace {

constexpr const char* kSuccessWords = "was created succesfully";

// Drive C ticked in the following mode, the two paths typed in, every box recorded.
class RecordingForm : public FormView {
  public:
    RecordingForm(std::string source, std::string output)
        : source_(std::move(source)), output_(std::move(output)) {}

    std::int16_t DriveValue(int index) const override { return index == 2 ? kTicked : 0; }
    std::string DriveCaption(int index) const override {
        return std::string(1, static_cast<char>('A' + index)) + ":";
    }
    bool FollowingMode() const override { return true; }
    std::string SourceText() const override { return source_; }
    std::string NewText() const override { return output_; }
    int MsgBox(const std::string& text, int style, const std::string&) override {
        shown.push_back(text);
        return style == kMbYesNo ? kIdYes : 0;
    }
    void Beep() override { ++beeps; }

    std::vector<std::string> shown;
    int beeps = 0;

  private:
    std::string source_;
    std::string output_;
};

class MakeCommandBadInput : public ::testing::TestWithParam<BadInput> {};

TEST_P(MakeCommandBadInput, ClearMessageAndNothingLost) {
    const BadInput& input = GetParam();
    if (const std::string why = input.unavailable(); !why.empty()) GTEST_SKIP() << why;
    test::TempDir dir;
    const Scene scene = input.lay(dir);
    const Snapshot before(scene);
    RecordingForm form(scene.source, scene.output);
    FormState state;

    Guard guard = input.arm(scene);
    Command1_Click(form, state);
    guard.reset();

    // A click whose source cannot be opened ends, with nothing at the new path, in the
    // unspecified error after the reason.
    std::vector<std::string> shown = form.shown;
    if (shown.size() >= 2 && shown.back() == msg::kUnspecifiedError &&
        shown[shown.size() - 2].starts_with("ERROR openning")) {
        shown.pop_back();
    }
    ASSERT_FALSE(shown.empty());
    const std::string& last = shown.back();
    if (input.expect == Expect::Created) {
        EXPECT_EQ(form.beeps, 1);
        EXPECT_TRUE(HoldsWord(last, kSuccessWords) && HoldsWord(last, scene.output)) << last;
        const std::string expected = ExpectedTemplate(scene);
        before.ExpectNothingLost(&expected);
    } else {
        EXPECT_EQ(form.beeps, 0);
        for (const std::string& text : form.shown)
            EXPECT_FALSE(HoldsWord(text, kSuccessWords));
        ExpectClearRefusal(last, input, scene);
        before.ExpectNothingLost(nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(BadInputs, MakeCommandBadInput, ::testing::ValuesIn(AllBadInputs()),
                         [](const ::testing::TestParamInfo<BadInput>& param) {
                             return param.param.name;
                         });

}  // namespace
}  // namespace tarnwick::badinput
