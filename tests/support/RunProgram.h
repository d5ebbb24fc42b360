// Runs a program to its end and collects its exit code, stdout and stderr, for tests that drive
// the built tarnwick-cli the way a script would.
#pragma once

#include <string>
#include <vector>

namespace tarnwick::test {

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// `args` exclude the program; all texts are UTF-8. `scratchDir` receives the two capture files.
// With `unwritableOut` the program's stdout is a file open for reading only, so every write to it
// fails.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& scratchDir, bool unwritableOut = false);

}  // namespace tarnwick::test
