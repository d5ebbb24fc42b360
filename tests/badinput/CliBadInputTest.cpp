// Every bad input through tarnwick-cli, spawned as a script would run it.
#include <gtest/gtest.h>

#include "tests/badinput/BadInputs.h"
#include "tests/support/RunProgram.h"

namespace tarnwick::badinput {
namespace {

class CliBadInput : public ::testing::TestWithParam<BadInput> {};

TEST_P(CliBadInput, ClearMessageAndNothingLost) {
    const BadInput& input = GetParam();
    if (const std::string why = input.unavailable(); !why.empty()) GTEST_SKIP() << why;
    test::TempDir dir;
    test::TempDir scratch;
    const Scene scene = input.lay(dir);
    const Snapshot before(scene);
    const bool outputExists = Capture(scene.output).kind != PathState::Missing;
    std::vector<std::string> arguments = {"make",       "--drives", "C",         "--source",
                                          scene.source, "--output", scene.output};
    if (outputExists) arguments.push_back("--force");

    Guard guard = input.arm(scene);
    const test::ProgramRun run = test::RunProgram(TARNWICK_CLI, arguments, scratch.Path());
    guard.reset();

    if (input.expect == Expect::Created) {
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(HoldsWord(run.out, scene.output)) << run.out;
        const std::string expected = ExpectedTemplate(scene);
        before.ExpectNothingLost(&expected);
    } else {
        EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
        ExpectClearRefusal(run.err, input, scene);
        before.ExpectNothingLost(nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(BadInputs, CliBadInput, ::testing::ValuesIn(AllBadInputs()),
                         [](const ::testing::TestParamInfo<BadInput>& param) {
                             return param.param.name;
                         });

}  // namespace
}  // namespace tarnwick::badinput
