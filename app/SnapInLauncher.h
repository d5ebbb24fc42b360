// Starts a program without waiting for it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace tarnwick::app {

// Reads a folder's path the way GetSystemDirectoryW does: the length copied, or the size needed
// (terminating null included) when the buffer is too small, or 0 on failure.
using FolderReader = UINT(WINAPI*)(LPWSTR buffer, UINT size);

// The system folder, read through `read` into a buffer that grows until the path fits; nullopt,
// with the reason in `why`, when it cannot be read.
std::optional<std::wstring> SystemFolder(FolderReader read, std::string& why);

// Starts `commandLine` as a new process whose window comes up minimised and activated. The program
// is `systemProgram` ("mmc.exe") from the system folder, never a file of that name that lies in
// the current folder or beside Tarnwick; when the system folder cannot be read nothing starts.
// Returns true when it started; otherwise `why` holds the reason.
bool StartMinimised(const std::string& systemProgram, const std::string& commandLine,
                    std::string& why, FolderReader readSystemFolder = GetSystemDirectoryW);

}  // namespace tarnwick::app
