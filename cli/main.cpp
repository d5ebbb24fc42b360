// tarnwick-cli: the template generation of Tarnwick for scripts. See cli/Options.cpp for the usage.
#include <string>
#include <vector>

#ifdef _WIN32
#include "win32/SystemFolder.h"
#else
#include <signal.h>
#endif

#include "cli/Console.h"
#include "cli/Run.h"
#include "cli/Waiting.h"
#include "fileio/TempFiles.h"

namespace {
// What the command prints is part of its result (`mask` prints nothing else): when it cannot be
// written whole, a command that changed nothing has failed. One that changed files has not, and
// exit 1 would say that it changed nothing; its report is tried on standard error instead.
int Finish(const tarnwick::cli::CliResult& result) {
    const tarnwick::Status outWritten = tarnwick::cli::WriteOut(result.out);
    const tarnwick::Status errWritten = tarnwick::cli::WriteErr(result.err);
    if (!outWritten) {
        // A reader that has gone (`| head`) gives EPIPE (ERROR_NO_DATA); a full disk ENOSPC. The
        // system's texts on Windows end in a full stop of their own.
        std::string why = "tarnwick-cli: the output could not be written";
        const std::string& cause = outWritten.failure().message;
        if (!cause.empty()) why += ": " + cause;
        if (why.back() != '.') why += '.';
        why += '\n';
        if (result.changed)
            why += "tarnwick-cli: the run is done, with these changes:\n" + result.out;
        (void)tarnwick::cli::WriteErr(why);
    }
    return tarnwick::cli::ExitCodeAfterPrinting(result, outWritten.ok(), errWritten.ok());
}
}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    tarnwick::win32::LoadSystemDllsOnly();
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
#ifndef _WIN32
    // A closed pipe fails the write (EPIPE), which is reported, rather than ending the process.
    signal(SIGPIPE, SIG_IGN);
#endif
    tarnwick::fileio::RemoveTempFilesOnSignals();
    tarnwick::cli::StderrWaiter waiter(
        [](const std::string& line) { (void)tarnwick::cli::WriteErr(line); });
    return Finish(
        tarnwick::cli::RunCli(args, tarnwick::cli::EnvironmentVariable("windir"), &waiter));
}
