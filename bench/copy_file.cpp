// The yardstick for tarnwick-cli.exe under Wine: the durable copy of the same template, started and
// timed the same way. CopyFileW, then FlushFileBuffers on the copy, as make puts its new template
// on the disk before it takes its name.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    if (!CopyFileW(argv[1], argv[2], FALSE)) return 1;
    HANDLE copy = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (copy == INVALID_HANDLE_VALUE) return 1;
    const BOOL flushed = FlushFileBuffers(copy);
    CloseHandle(copy);
    return flushed ? 0 : 1;
}
