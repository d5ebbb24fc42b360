// The yardstick for tarnwick-cli.exe under Wine: one CopyFileW of the same template, started and
// timed the same way.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    return CopyFileW(argv[1], argv[2], FALSE) ? 0 : 1;
}
