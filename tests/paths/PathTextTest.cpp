#include "paths/PathText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/TestFiles.h"

#ifdef _WIN32
#include <windows.h>

#include "win32/WideText.h"
#endif

namespace tarnwick {
namespace {

TEST(CleanPathText, DropsBlanksAndOnePairOfQuotes) {
    const struct {
        const char* typed;
        const char* clean;
    } cases[] = {
        {"  \"C:\\Windows\\inf\\system.adm\"\t", "C:\\Windows\\inf\\system.adm"},
        {"\" spaced name.adm \"", "spaced name.adm"},
        {"\"\"x.adm\"\"", "\"x.adm\""},  // one pair only
        {"\"half.adm", "\"half.adm"},
        {"\"\"", ""},
        {" \t ", ""},
        {"in side.adm", "in side.adm"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CleanPathText(c.typed), c.clean) << c.typed;
}

const PathBase kWindowsBase{PathStyle::Windows, "C:\\work\\dir",
                            [](char drive) { return drive == 'D' ? "D:\\data" : ""; }};

TEST(AbsolutePath, WindowsPathsResolveAsTheSystemResolvesThem) {
    const struct {
        const char* path;
        const char* absolute;
    } cases[] = {
        {"rel.adm", "C:\\work\\dir\\rel.adm"},
        {"sub/x.adm", "C:\\work\\dir\\sub\\x.adm"},
        {"..\\x.adm", "C:\\work\\x.adm"},
        {".\\a\\.\\b\\..\\\\x.adm", "C:\\work\\dir\\a\\x.adm"},
        {"C:system.adm", "C:\\work\\dir\\system.adm"},  // the current drive's folder
        {"D:x.adm", "D:\\data\\x.adm"},                 // that drive's own folder
        {"E:x.adm", "E:\\x.adm"},                       // none: its root
        {"\\x.adm", "C:\\x.adm"},
        {"E:\\a\\\\b//x.adm...", "E:\\a\\b\\x.adm"},
        {"C:\\..\\..\\x.adm", "C:\\x.adm"},
        {"\\\\server\\share\\a\\..\\x.adm", "\\\\server\\share\\x.adm"},
        {"\\\\?\\C:\\a\\..\\x.adm", "\\\\?\\C:\\a\\..\\x.adm"},
        {"\\\\server\\share\\..\\x.adm", "\\\\server\\share\\x.adm"},
        {"c:\\a.\\b..\\x.adm. ", "C:\\a\\b..\\x.adm"},
        {"C:\\a\\", "C:\\a\\"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AbsolutePath(c.path, kWindowsBase), c.absolute) << c.path;
}

TEST(AbsolutePath, PosixPathsJoinTheCurrentFolderAndResolveDotDot) {
    const PathBase base{PathStyle::Posix, "/home/admin", {}};
    const struct {
        const char* path;
        const char* absolute;
    } cases[] = {
        {"rel.adm", "/home/admin/rel.adm"}, {"./a//b/./x.adm", "/home/admin/a/b/x.adm"},
        {"../x.adm", "/home/x.adm"},        {"/../../x.adm", "/x.adm"},
        {"/srv/x.adm", "/srv/x.adm"},       {"C:\\x.adm", "/home/admin/C:\\x.adm"},
        {"new/", "/home/admin/new/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AbsolutePath(c.path, base), c.absolute) << c.path;
    EXPECT_EQ(AbsolutePath("rel.adm", {PathStyle::Posix, "", {}}), "rel.adm");
}

#ifndef _WIN32
// "link/.." is the folder above the link's target, as the system reads it; a part that does not
// exist yet is taken by its text.
TEST(AbsolutePath, DotDotAfterALinkIsWhereTheSystemGoes) {
    const test::TempDir dir;
    const std::string real = test::Utf8(std::filesystem::canonical(test::FsPath(dir.Path())));
    std::filesystem::create_directories(test::FsPath(real + "/a/b"));
    std::filesystem::create_directory_symlink(test::FsPath(real + "/a/b"),
                                              test::FsPath(real + "/l"));
    const test::CurrentFolder current(real);
    EXPECT_EQ(PathFromText("l/../x.adm"), real + "/a/x.adm");
    EXPECT_EQ(PathFromText("l/new/../x.adm"), real + "/a/b/x.adm");
}
#endif

#ifdef _WIN32
// The system's own resolution, for the paths whose drives and folders this process has.
TEST(AbsolutePath, AgreesWithGetFullPathNameW) {
    for (const std::string path : {"rel.adm", "sub/x.adm", "..\\x.adm", ".\\a\\.\\b\\..\\x.adm",
                                   "\\x.adm", "Z:\\a\\\\b//x.adm...", "Z:\\..\\x.adm",
                                   "\\\\server\\share\\a\\..\\x.adm", "a.\\b. .\\x"}) {
        const std::wstring wide = win32::Widen(path);
        wchar_t full[1024];
        const DWORD length = GetFullPathNameW(wide.c_str(), 1024, full, nullptr);
        ASSERT_GT(length, 0u) << path;
        EXPECT_EQ(AbsolutePath(path, CurrentPathBase()), win32::Narrow(std::wstring(full, length)))
            << path;
    }
}
#endif

}  // namespace
}  // namespace tarnwick
