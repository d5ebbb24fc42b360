// The snap-in launcher finds the console host in the system folder only: it reads that folder's
// path whatever its length, and when it cannot, it starts nothing and says why.
#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "app/SnapInLauncher.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::app {
namespace {

const std::wstring kLongFolder = L"C:\\" + std::wstring(400, L'x');

UINT WINAPI Unreadable(LPWSTR, UINT) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
}

UINT WINAPI LongerThanMaxPath(LPWSTR buffer, UINT size) {
    const auto length = static_cast<UINT>(kLongFolder.size());
    if (size <= length) return length + 1;
    kLongFolder.copy(buffer, length);
    buffer[length] = L'\0';
    return length;
}

// The folder is read whole however long; unreadable, nothing starts, not even an mmc.exe in the
// current folder.
TEST(SnapInLauncher, ReadsTheSystemFolderWholeOrStartsNothing) {
    const win32::FolderPath longer = win32::ReadFolder(LongerThanMaxPath);
    ASSERT_TRUE(std::holds_alternative<std::wstring>(longer));
    EXPECT_EQ(std::get<std::wstring>(longer), kLongFolder);
    const win32::FolderPath unreadable = win32::ReadFolder(Unreadable);
    ASSERT_TRUE(std::holds_alternative<win32::SystemError>(unreadable));
    EXPECT_EQ(std::get<win32::SystemError>(unreadable).code, ERROR_ACCESS_DENIED);

    test::TempDir dir;
    wchar_t system[MAX_PATH];
    const std::wstring harmless =
        std::wstring(system, GetSystemDirectoryW(system, MAX_PATH)) + L"\\hostname.exe";
    const std::wstring folder = test::FsPath(dir.Path()).wstring();
    ASSERT_TRUE(CopyFileW(harmless.c_str(), (folder + L"\\mmc.exe").c_str(), FALSE));
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(folder.c_str());
    const Status started = StartMinimised("mmc.exe", "mmc.exe x.msc", Unreadable);
    SetCurrentDirectoryW(previous);
    ASSERT_FALSE(started) << "the mmc.exe of the current folder was started";
    EXPECT_NE(started.failure().message.find("system folder"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick::app
