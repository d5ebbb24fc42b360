// startup_probe RUNS PROGRAM... : starts each program RUNS times, taking turns, and prints one line
// per program: its name, the best and the median time in milliseconds from CreateProcess to its
// first painted window. A window counts as painted once it is visible, its process has gone idle
// (WaitForInputIdle) and its update region is empty. Each started program is then closed.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND PaintedWindowOf(DWORD processId) {
    Search search{processId, nullptr};
    EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found && !GetUpdateRect(search.found, nullptr, FALSE)) return search.found;
    return nullptr;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// One start; a negative result when the program did not show a painted window within 30 s.
double TimeOneStart(const std::wstring& program) {
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    WaitForInputIdle(process.hProcess, 30000);
    HWND window = nullptr;
    for (int waited = 0; !window && waited < 30000; ++waited) {
        window = PaintedWindowOf(process.dwProcessId);
        if (!window) Sleep(1);
    }
    QueryPerformanceCounter(&end);
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return window ? Milliseconds(start, end) : -1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: startup_probe RUNS PROGRAM...\n");
        return 2;
    }
    const int runs = std::max(1, _wtoi(argv[1]));
    std::vector<std::vector<double>> times(static_cast<std::size_t>(argc - 2));
    for (int run = 0; run < runs; ++run) {
        for (int p = 2; p < argc; ++p) {
            const double ms = TimeOneStart(argv[p]);
            if (ms < 0) {
                std::fwprintf(stderr, L"startup_probe: %ls showed no painted window\n", argv[p]);
                return 1;
            }
            times[static_cast<std::size_t>(p - 2)].push_back(ms);
        }
    }
    for (int p = 2; p < argc; ++p) {
        auto& t = times[static_cast<std::size_t>(p - 2)];
        std::sort(t.begin(), t.end());
        std::wprintf(L"%ls %.1f %.1f\n", argv[p], t.front(), t[t.size() / 2]);
    }
    return 0;
}
