// The system's own folders, read whatever their length, and the loading of the system's DLLs from
// the system folder only, so that no copy planted beside the program or in the current folder is
// ever loaded.
#pragma once

#include <windows.h>

#include <string>
#include <variant>

#include "win32/SystemError.h"

namespace tarnwick::win32 {

// Reads a folder's path the way GetSystemDirectoryW and GetWindowsDirectoryW do: the length
// copied, or the size needed (terminating null included) when the buffer is too small, or 0 on
// failure.
using FolderReader = UINT(WINAPI*)(LPWSTR buffer, UINT size);

// A folder's path, or why it could not be read (code 0 when the system gave an empty path or one
// that kept changing). This folder includes nothing of ours, so it has no Result of its own.
using FolderPath = std::variant<std::wstring, SystemError>;

// The folder read through `read` into a buffer that grows until the path fits.
FolderPath ReadFolder(FolderReader read);

// The system folder (GetSystemDirectoryW). It cannot change while the program runs, so it is read
// once and kept, and so is the failure to read it.
const FolderPath& SystemFolder();

// The Windows folder (GetWindowsDirectoryW), read anew at each call.
FolderPath WindowsFolder();

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
