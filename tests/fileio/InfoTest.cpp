#include <cmath>
#include <ctime>
#include <filesystem>

#include "tests/fileio/FileTest.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;
using fileio::LocalTime;

TEST_F(FileTest, FileExistsForFilesAndFoldersOnly) {
    WriteAll(dir.File("f.txt"), "x");
    EXPECT_FALSE(fileio::FileExists(""));
    EXPECT_TRUE(fileio::FileExists(dir.File("f.txt")));
    EXPECT_TRUE(fileio::FileExists(dir.Path()));
    EXPECT_FALSE(fileio::FileExists(dir.File("g.txt")));
    EXPECT_FALSE(fileio::FileExists(dir.File("f.txt/g.txt")));
}

struct Info {
    LocalTime creation, lastWrite, lastAccess;
    bool archive = false, hidden = false, readOnly = false, system = false;
    std::int32_t size = -1;
    int Get(const std::string& path, Failure* why = nullptr) {
        return fileio::GetFileInfo(path, creation, lastWrite, lastAccess, archive, hidden, readOnly,
                                   system, size, why);
    }
};

// Seconds between `t` and the clock now, both read as local time.
double SecondsFromNow(const LocalTime& t) {
    std::tm parts{};
    parts.tm_year = t.year - 1900;
    parts.tm_mon = t.month - 1;
    parts.tm_mday = t.day;
    parts.tm_hour = t.hour;
    parts.tm_min = t.minute;
    parts.tm_sec = t.second;
    parts.tm_isdst = -1;
    return std::difftime(std::mktime(&parts), std::time(nullptr));
}

TEST_F(FileTest, GetFileInfoReportsSizeFlagsAndLocalTimes) {
    const std::string path = dir.File("info.bin");
    WriteAll(path, "12345");
    Info info;
    ASSERT_EQ(info.Get(path), fileio::kInfoDone);
    EXPECT_EQ(info.size, 5);
    EXPECT_FALSE(info.readOnly);
    EXPECT_FALSE(info.system);
    EXPECT_FALSE(info.hidden);
    EXPECT_TRUE(info.archive);
    for (const LocalTime& t : {info.creation, info.lastWrite, info.lastAccess}) {
        EXPECT_LT(std::abs(SecondsFromNow(t)), 600.0)
            << t.year << "-" << t.month << "-" << t.day << " " << t.hour << ":" << t.minute;
    }

    fs::permissions(FsPath(path),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    ASSERT_EQ(info.Get(path), fileio::kInfoDone);
    EXPECT_TRUE(info.readOnly);
    fs::permissions(FsPath(path), fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(FileTest, GetFileInfoCannotOpenMissingFilesOrFoldersAndLeavesItsOutputs) {
    for (const std::string& path : {dir.File("missing"), dir.Path()}) {
        SCOPED_TRACE(path);
        Info info;
        Failure why;
        EXPECT_EQ(info.Get(path, &why), fileio::kInfoCannotOpen);
        EXPECT_NE(why.code, 0u);
        EXPECT_EQ(info.size, -1);
        EXPECT_EQ(info.lastWrite, LocalTime{});
    }
}

}  // namespace
}  // namespace tarnwick::test
