#include "tests/support/RunProgram.h"

#include "tests/support/TestFiles.h"

#include <filesystem>
#include <mutex>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>

#include "win32/WideText.h"
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tarnwick::test {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32

using win32::Widen;

// Quotes one argument so that the C runtime's command-line splitting gives it back unchanged.
std::wstring QuoteArgument(const std::wstring& arg) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        const std::size_t repeat = c == L'"' ? backslashes * 2 + 1 : backslashes;
        quoted.append(repeat, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

HANDLE InheritableFile(const fs::path& path, bool readOnly = false) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE h =
        CreateFileW(path.wstring().c_str(), readOnly ? GENERIC_READ : GENERIC_WRITE,
                    FILE_SHARE_READ, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create a capture file");
    return h;
}

int Spawn(const std::string& program, const std::vector<std::string>& args, const fs::path& out,
          const fs::path& err, bool unwritableOut) {
    std::wstring commandLine = QuoteArgument(Widen(program));
    for (const auto& arg : args)
        commandLine += L" " + QuoteArgument(Widen(arg));
    // A child inherits every inheritable handle open at its start: one start at a time, each
    // closing its capture files before the next, so that runs on several threads keep their own.
    static std::mutex starting;
    std::unique_lock<std::mutex> oneStart(starting);
    HANDLE outFile = InheritableFile(out, unwritableOut);
    HANDLE errFile = InheritableFile(err);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outFile;
    startup.hStdError = errFile;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    CloseHandle(outFile);
    CloseHandle(errFile);
    oneStart.unlock();
    if (!started) throw std::runtime_error("cannot start " + program);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

#else

int Spawn(const std::string& program, const std::vector<std::string>& args, const fs::path& out,
          const fs::path& err, bool unwritableOut) {
    std::vector<std::string> argvText{program};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvText)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(
        &actions, 1, out.c_str(), (unwritableOut ? O_RDONLY : O_WRONLY) | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) throw std::runtime_error("cannot start " + program);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

#endif

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& scratchDir, bool unwritableOut) {
    const fs::path out = FsPath(scratchDir) / "run.out";
    const fs::path err = FsPath(scratchDir) / "run.err";
    ProgramRun run;
    run.exitCode = Spawn(program, args, out, err, unwritableOut);
    run.out = ReadAll(Utf8(out));
    run.err = ReadAll(Utf8(err));
    fs::remove(out);
    fs::remove(err);
    return run;
}

}  // namespace tarnwick::test
