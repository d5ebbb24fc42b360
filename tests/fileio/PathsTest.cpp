#include <filesystem>
#include <functional>
#include <system_error>
#include <vector>

#include "fileio/Leftovers.h"
#include "tests/fileio/FileTest.h"
#include "tests/support/FaultyPlatform.h"

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

    const std::string temp = NewTemp(path);
    ASSERT_EQ(fileio::WriteFileBytes(Data("new"), temp, 0, true), fileio::kWriteDone);
    const Status replaced = fileio::ReplaceFile(temp, path);
    EXPECT_TRUE(replaced.ok()) << replaced.failure().message;
    EXPECT_FALSE(fileio::FileExists(temp));
    end = 0;
    EXPECT_EQ(fileio::ReadFileBytes(path, bytes, count, 0, end), fileio::kReadDone);
    EXPECT_EQ(bytes, Data("new"));
    const Status removed = fileio::RemoveFile(path);
    EXPECT_TRUE(removed.ok()) << removed.failure().message;
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
        ASSERT_TRUE(fileio::RemoveFile(path).ok());
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

TEST_F(FileTest, TemporaryFilesGetFreshRecognisableNamesBesideTheirFile) {
    const std::string path = dir.File("out.adm");
    const std::string first = NewTemp(path), second = NewTemp(path);
    EXPECT_NE(first, second);
    for (const std::string& temp : {first, second}) {
        EXPECT_EQ(FsPath(temp).parent_path(), FsPath(dir.Path()));
        const std::string name = Utf8(FsPath(temp).filename());
        const std::string start = ".out.adm." + fileio::WriterTag() + ".";
        EXPECT_EQ(name.size(), start.size() + 16 + 9) << name;
        EXPECT_EQ(name.rfind(start, 0), 0u) << name;
        EXPECT_EQ(name.substr(name.size() - 9), fileio::kTempSuffix) << name;
        EXPECT_EQ(ReadAll(temp), "");
    }
    // A long name still gives a name that the system accepts.
    const std::string temp = NewTemp(dir.File(std::string(240, 'n')));
    ASSERT_FALSE(temp.empty());
    EXPECT_LE(Utf8(FsPath(temp).filename()).size(), 255u);
    // A folder that does not exist: nothing created, and the reason given.
    const Result<fileio::TempFile> none = fileio::CreateTempBeside(dir.File("missing/out.adm"));
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(fileio::CauseOf(none.failure()), fileio::Cause::NoFolder) << none.failure().message;
}

// Whatever already holds a temporary name is left alone, and another name is tried.
TEST_F(FileTest, ATakenTemporaryNameIsLeftAloneAndAnotherTried) {
    const std::vector<std::uint8_t> taken(8, 0xAB), free(8, 0xCD);
    const std::string path = dir.File("out.adm");
    const std::string start = ".out.adm." + fileio::WriterTag() + ".";
    const std::string takenName = dir.File(start + "abababababababab.trnw-tmp");
    const std::string freeName = dir.File(start + "cdcdcdcdcdcdcdcd.trnw-tmp");
    const std::function<void()> occupy[] = {
        [&] { WriteAll(takenName, "theirs"); },
#ifndef _WIN32
        [&] { fs::create_symlink(FsPath(dir.File("nowhere")), FsPath(takenName)); },
#endif
    };
    for (const auto& setUp : occupy) {
        setUp();
        const auto before = fs::symlink_status(FsPath(takenName)).type();
        FaultyPlatform faulty;
        faulty.QueueRandom(taken);
        faulty.QueueRandom(free);
        std::string temp;
        {
            fileio::ScopedPlatform use(faulty);
            temp = NewTemp(path);
        }
        EXPECT_EQ(temp, freeName);
        EXPECT_EQ(fs::symlink_status(FsPath(takenName)).type(), before);
        if (before == fs::file_type::regular) {
            EXPECT_EQ(ReadAll(takenName), "theirs");
        }
        fs::remove(FsPath(takenName));
        fs::remove(FsPath(freeName));
    }
}

TEST_F(FileTest, ReplaceAndRemoveReportTheSystemsReason) {
    const std::string path = dir.File("old.adm");
    WriteAll(path, "old content");
    WriteAll(dir.File("new.tmp"), "new");
    const Status replaced = fileio::ReplaceFile(dir.File("new.tmp"), path);
    EXPECT_TRUE(replaced.ok()) << replaced.failure().message;
    EXPECT_EQ(ReadAll(path), "new");

    const Status again = fileio::ReplaceFile(dir.File("new.tmp"), path);
    ASSERT_FALSE(again.ok());
    EXPECT_NE(again.failure().code, 0u);
    EXPECT_FALSE(again.failure().message.empty());
    EXPECT_EQ(ReadAll(path), "new");
    const Status removed = fileio::RemoveFile(dir.File("new.tmp"));
    ASSERT_FALSE(removed.ok());
    EXPECT_NE(removed.failure().code, 0u);
}

TEST_F(FileTest, ReplaceRefusesAReadOnlyTargetAndKeepsIt) {
    const std::string path = dir.File("locked.adm");
    WriteAll(path, "kept");
    WriteAll(dir.File("new.tmp"), "new");
    fs::permissions(FsPath(path),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const Status replaced = fileio::ReplaceFile(dir.File("new.tmp"), path);
    ASSERT_FALSE(replaced.ok());
    EXPECT_FALSE(replaced.failure().message.empty());
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
