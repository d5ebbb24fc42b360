// The system's own folders, read whatever their length, and the loading of the system's DLLs from
// the system folder only, so that no copy planted beside the program or in the current folder is
// ever loaded.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "win32/SystemError.h"

namespace tarnwick::win32 {

// Reads a folder's path the way GetSystemDirectoryW and GetWindowsDirectoryW do: the length
// copied, or the size needed (terminating null included) when the buffer is too small, or 0 on
// failure.
using FolderReader = UINT(WINAPI*)(LPWSTR buffer, UINT size);

// The folder read through `read` into a buffer that grows until the path fits; nothing, with the
// cause in `error` (code 0 when the system gave an empty path), when it cannot be read.
std::optional<std::wstring> ReadFolder(FolderReader read, SystemError& error);

// The system folder (GetSystemDirectoryW). It cannot change while the program runs, so it is read
// once and kept, and so is the failure to read it.
std::optional<std::wstring> SystemFolder(SystemError& error);

// The Windows folder (GetWindowsDirectoryW), read anew at each call.
std::optional<std::wstring> WindowsFolder(SystemError& error);

// `name` (a file name such as L"xmllite.dll") loaded from the system folder only; null on failure,
// with GetLastError() set.
HMODULE LoadSystemLibrary(const wchar_t* name);

// Makes the system folder the only place that this process loads DLLs from by name, its own
// loads and those the system makes for it (the shell's, behind the folder dialog) alike, so that a
// DLL planted beside the program or in the current folder is never loaded. The first thing each
// program does. Where the system has no such policy (Windows 7 without update KB2533623), at least
// the current folder leaves the search.
void LoadSystemDllsOnly();

}  // namespace tarnwick::win32
