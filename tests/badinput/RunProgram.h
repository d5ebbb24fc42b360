// Runs another program to its end and collects what it printed, so the bad-input suite can drive
// tarnwick-cli as a user's script would. Text is UTF-8 throughout.
#pragma once

#include <string>
#include <vector>

namespace tarnwick::testing {

struct ProgramResult {
    int exitCode = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs `program` with `arguments`; its standard output and error go to files in `scratchFolder`.
// Throws std::runtime_error when the program cannot be started at all.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& scratchFolder);

}  // namespace tarnwick::testing
