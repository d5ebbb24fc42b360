// tarnwick-cli: the template generation of Tarnwick for scripts. See cli/Options.cpp for the usage.
#include <string>
#include <vector>

#include "cli/Console.h"
#include "cli/Run.h"
#include "fileio/TempFiles.h"

namespace {
// What the command prints is part of its result (`mask` prints nothing else): when it cannot be
// written whole, the command has failed, whatever it did.
int Finish(const tarnwick::cli::CliResult& result) {
    const bool outWritten = tarnwick::cli::WriteOut(result.out);
    const bool errWritten = tarnwick::cli::WriteErr(result.err);
    if (outWritten && errWritten) return result.exitCode;
    if (!outWritten) tarnwick::cli::WriteErr("tarnwick-cli: the output could not be written.\n");
    return tarnwick::cli::kExitFailed;
}
}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    const auto converted = tarnwick::cli::Utf8Arguments(argc, argv);
    if (!converted) {
        return Finish(tarnwick::cli::UsageError(
            "an argument is not valid Unicode text (an unpaired surrogate); nothing was done."));
    }
    const std::vector<std::string>& args = *converted;
#else
int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
#endif
    tarnwick::fileio::RemoveTempFilesOnSignals();
    return Finish(tarnwick::cli::RunCli(args, tarnwick::cli::EnvironmentVariable("windir")));
}
