// tarnwick-cli: the template generation of Tarnwick for scripts. See cli/Options.cpp for the usage.
#include <string>
#include <vector>

#include "cli/Console.h"
#include "cli/Run.h"

namespace {
int Finish(const tarnwick::cli::CliResult& result) {
    tarnwick::cli::WriteOut(result.out);
    tarnwick::cli::WriteErr(result.err);
    return result.exitCode;
}
}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    const std::vector<std::string> args = tarnwick::cli::Utf8Arguments(argc, argv);
#else
int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
#endif
    return Finish(tarnwick::cli::RunCli(args, tarnwick::cli::EnvironmentVariable("windir")));
}
