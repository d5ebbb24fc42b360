#include <filesystem>
#include <system_error>

#include "tests/fileio/FileTest.h"

#ifdef _WIN32
#include "fileio/win32/SystemPath.h"
#endif

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;
using fileio::ByteArray;

// Every helper on one path: create, write into, read back, query, compare, replace, remove.
void ExerciseHelpersOn(const std::string& path) {
    ASSERT_EQ(fileio::WriteFileBytes(Data("hello"), path, 0, false), fileio::kWriteDone);
    EXPECT_TRUE(fileio::FileExists(path));
    EXPECT_EQ(fileio::WriteFileBytes(Data("J"), path, 1, false), fileio::kWriteDone);
    ByteArray bytes;
    std::int32_t count = 0, end = 0;
    EXPECT_EQ(fileio::ReadFileBytes(path, bytes, count, 0, end), fileio::kReadDone);
    EXPECT_EQ(bytes, Data("hJllo"));
    fileio::LocalTime t;
    bool flag = false;
    std::int32_t size = 0;
    EXPECT_EQ(fileio::GetFileInfo(path, t, t, t, flag, flag, flag, flag, size), fileio::kInfoDone);
    EXPECT_EQ(size, 5);
    EXPECT_TRUE(fileio::SameFile(path, path));

    const std::string temp = fileio::TempPathBeside(path);
    ASSERT_EQ(fileio::WriteFileBytes(Data("new"), temp, 0, false), fileio::kWriteDone);
    fileio::SysError why;
    EXPECT_TRUE(fileio::ReplaceFile(temp, path, &why)) << why.text;
    EXPECT_FALSE(fileio::FileExists(temp));
    end = 0;
    EXPECT_EQ(fileio::ReadFileBytes(path, bytes, count, 0, end), fileio::kReadDone);
    EXPECT_EQ(bytes, Data("new"));
    EXPECT_TRUE(fileio::RemoveFile(path, &why)) << why.text;
    EXPECT_FALSE(fileio::FileExists(path));
}

TEST_F(FileTest, NamesOutsideAsciiAreStoredAsTheirOwnCharacters) {
    const char* const names[] = {"caf\xC3\xA9.adm",
                                 "\xC3\xBC"
                                 "ber.adm",
                                 "\xE6\xBC\xA2\xE5\xAD\x97.adm"};  // café, über, 漢字
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const std::string path = dir.File(name);
        ASSERT_EQ(fileio::WriteFileBytes(Data("x"), path, 0, false), fileio::kWriteDone);
        // The folder lists exactly that name, not a code-page rendering of it.
        bool listed = false;
        for (const fs::directory_entry& entry : fs::directory_iterator(FsPath(dir.Path()))) {
            listed = listed || Utf8(entry.path().filename()) == name;
        }
        EXPECT_TRUE(listed);
        ASSERT_TRUE(fileio::RemoveFile(path));
        ExerciseHelpersOn(path);
    }
}

TEST_F(FileTest, APathOf300CharactersWorksWithEveryHelper) {
    // The folder stays short enough for the system's own folder creation; the file does not.
    const std::size_t base = dir.Path().size() + 1;
    ASSERT_LT(base, 180u);
    const std::string folder = dir.File(std::string(200 - base, 'd'));
    fs::create_directory(FsPath(folder));
    const std::string path = Utf8(FsPath(folder) / std::string(99, 'f'));
    ASSERT_EQ(path.size(), 300u);
    ExerciseHelpersOn(path);
}

TEST_F(FileTest, SameFileJudgesByIdentityNotText) {
    const std::string path = dir.File("a.adm");
    WriteAll(path, "a");
    WriteAll(dir.File("b.adm"), "a");
    fs::create_directory(FsPath(dir.File("sub")));

    EXPECT_TRUE(fileio::SameFile(path, dir.File("sub/../a.adm")));
    EXPECT_TRUE(fileio::SameFile(dir.Path(), dir.File(".")));
    EXPECT_FALSE(fileio::SameFile(path, dir.File("b.adm")));  // same content, other file
    EXPECT_FALSE(fileio::SameFile(path, dir.File("missing.adm")));
    EXPECT_FALSE(fileio::SameFile("", ""));

    const fs::path before = fs::current_path();
    fs::current_path(FsPath(dir.Path()));
    const bool relative = fileio::SameFile("a.adm", path);
    fs::current_path(before);
    EXPECT_TRUE(relative);

#ifdef _WIN32
    std::string slashes = path, upper = path;
    for (char& c : slashes)
        c = c == '\\' ? '/' : c;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(fileio::SameFile(path, slashes));
    EXPECT_TRUE(fileio::SameFile(path, upper));
#endif
}

TEST_F(FileTest, TempPathBesideNamesAFreshFileInTheSameFolder) {
    const std::string path = dir.File("out.adm");
    const std::string first = fileio::TempPathBeside(path);
    const std::string second = fileio::TempPathBeside(path);
    EXPECT_NE(first, second);
    for (const std::string& temp : {first, second}) {
        EXPECT_EQ(FsPath(temp).parent_path(), FsPath(dir.Path()));
        EXPECT_FALSE(fileio::FileExists(temp));
    }

    // A long name still gives a name that the system accepts.
    const std::string longName = dir.File(std::string(240, 'n'));
    const std::string temp = fileio::TempPathBeside(longName);
    EXPECT_LE(Utf8(FsPath(temp).filename()).size(), 255u);
    EXPECT_EQ(fileio::WriteFileBytes(Data("t"), temp, 0, false), fileio::kWriteDone);
}

TEST_F(FileTest, ReplaceAndRemoveReportTheSystemsReason) {
    const std::string path = dir.File("old.adm");
    WriteAll(path, "old content");
    WriteAll(dir.File("new.tmp"), "new");
    fileio::SysError why;
    EXPECT_TRUE(fileio::ReplaceFile(dir.File("new.tmp"), path, &why)) << why.text;
    EXPECT_EQ(ReadAll(path), "new");

    EXPECT_FALSE(fileio::ReplaceFile(dir.File("new.tmp"), path, &why));
    EXPECT_NE(why.code, 0u);
    EXPECT_FALSE(why.text.empty());
    EXPECT_EQ(ReadAll(path), "new");
    why = {};
    EXPECT_FALSE(fileio::RemoveFile(dir.File("new.tmp"), &why));
    EXPECT_NE(why.code, 0u);
}

TEST_F(FileTest, ReplaceRefusesAReadOnlyTargetAndKeepsIt) {
    const std::string path = dir.File("locked.adm");
    WriteAll(path, "kept");
    WriteAll(dir.File("new.tmp"), "new");
    fs::permissions(FsPath(path),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    fileio::SysError why;
    EXPECT_FALSE(fileio::ReplaceFile(dir.File("new.tmp"), path, &why));
    EXPECT_FALSE(why.text.empty());
    EXPECT_EQ(ReadAll(path), "kept");
    fs::permissions(FsPath(path), fs::perms::owner_write, fs::perm_options::add);
}

#ifdef _WIN32
TEST(SystemPath, LongPathsGetTheVerbatimPrefixAndShortOnesStayAsTheyAre) {
    using fileio::win32::SystemPath;
    const std::string name(280, 'x');
    EXPECT_EQ(SystemPath("C:\\a\\b.adm"), std::wstring(L"C:\\a\\b.adm"));
    EXPECT_EQ(SystemPath("C:/a/" + name),
              L"\\\\?\\C:\\a\\" + std::wstring(name.begin(), name.end()));
    EXPECT_EQ(SystemPath("\\\\server\\share\\" + name),
              L"\\\\?\\UNC\\server\\share\\" + std::wstring(name.begin(), name.end()));
    EXPECT_EQ(SystemPath("\\\\?\\C:\\" + name),
              L"\\\\?\\C:\\" + std::wstring(name.begin(), name.end()));
    EXPECT_FALSE(SystemPath("bad\xFF"));
}
#endif

}  // namespace
}  // namespace tarnwick::test
