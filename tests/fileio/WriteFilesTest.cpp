// A set of output files is written whole or not at all: a failure at the second file leaves the
// first as it was, and the message names the second.
#include <filesystem>
#include <tuple>

#include "core/Text.h"
#include "fileio/WriteFiles.h"
#include "tests/fileio/FileTest.h"
#include "tests/support/FaultyPlatform.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

// The calls that put data on the disk, counted as they reach the system: a file's fdatasync, and
// the fsync of a folder after a rename. Defined here, they stand in for the C library's in this
// test program; skipped, a crash could lose a file that was reported written.
namespace {
int g_dataSyncs = 0, g_folderSyncs = 0;
}  // namespace
extern "C" int fdatasync(int fd) {
    ++g_dataSyncs;
    return static_cast<int>(syscall(SYS_fdatasync, fd));
}
extern "C" int fsync(int fd) {
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) ++g_folderSyncs;
    return static_cast<int>(syscall(SYS_fsync, fd));
}
#endif

namespace tarnwick::test {
namespace {

TEST_F(FileTest, ASetOfFilesIsWrittenWholeOrNotAtAll) {
    namespace fs = std::filesystem;
    const struct {
        Call call;
        std::size_t k;  // 0: nothing fails
        bool firstThere, secondThere;
        bool readOnly = false;  // the second file
    } cases[] = {
        {Call::Open, 0, true, false},      {Call::Open, 2, true, false},
        {Call::Write, 2, false, true},     {Call::Flush, 2, true, true},
        {Call::Replace, 2, true, true},    {Call::MoveNew, 1, true, false},
        {Call::MoveNew, 2, false, false},  {Call::Link, 1, true, false},
        {Call::Open, 0, true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << CallName(c.call) << " #" << c.k << " " << c.firstThere << c.secondThere);
        TempDir folder;
        const std::string first = folder.File("first.txt"), second = folder.File("second.txt");
        if (c.firstThere) WriteAll(first, "old first");
        if (c.secondThere) WriteAll(second, "old second");
        if (c.readOnly)
            fs::permissions(FsPath(second), fs::perms::owner_write, fs::perm_options::remove);
        fileio::FileSet set;
        set.files = {{first, "new first", fileio::ConsentTo(first, true)},
                     {second, "new second", fileio::ConsentTo(second, true), "The second file"}};
        FaultyPlatform faulty;
        faulty.FailAt(c.call, c.k);
#ifndef _WIN32
        g_dataSyncs = g_folderSyncs = 0;
#endif
        const Result<fileio::SetOutcome> written =
            (fileio::ScopedPlatform(faulty), fileio::WriteFiles(set));
        EXPECT_EQ(faulty.OpenHandles(), 0);
        std::size_t entries = 0;
        for ([[maybe_unused]] const auto& entry :
             std::filesystem::directory_iterator(FsPath(folder.Path())))
            ++entries;
        if (c.readOnly)
            fs::permissions(FsPath(second), fs::perms::owner_write, fs::perm_options::add);
        if (!c.readOnly && (c.k == 0 || c.call == Call::Link)) {
            ASSERT_TRUE(written) << written.failure().message;
            EXPECT_EQ(written->replaced, (std::vector<bool>{c.firstThere, c.secondThere}));
            EXPECT_EQ(ReadAll(first) + ReadAll(second), "new firstnew second");
            EXPECT_EQ(entries, 2u);
            // Each file and the set's journal on the disk before a file takes its name (and the
            // old file's copy, where no second name can be made), and each name in its folder.
            EXPECT_GE(faulty.Count(Call::Flush), 2u);
#ifndef _WIN32
            EXPECT_EQ(g_dataSyncs, c.call == Call::Link ? 4 : 3);
            EXPECT_EQ(g_folderSyncs, 2);
#endif
            continue;
        }
        ASSERT_FALSE(written);
        EXPECT_EQ(written.failure().message.rfind(
                      "The second file " + Quoted(second) +
                          " was not written: " + (c.readOnly ? "it is read-only" : kInjectedText),
                      0),
                  0u)
            << written.failure().message;
        EXPECT_TRUE(written.failure().message.ends_with(" Nothing was changed."));
        // Each file as it was: its old bytes, or still no file.
        for (const auto& [path, before, there] : {std::tuple(first, "old first", c.firstThere),
                                                  std::tuple(second, "old second", c.secondThere)})
            EXPECT_EQ(std::filesystem::exists(FsPath(path)) ? ReadAll(path) : "-",
                      there ? before : "-");
        EXPECT_EQ(entries, (c.firstThere ? 1u : 0u) + (c.secondThere ? 1u : 0u))
            << "a temporary file was left behind";
    }
}

// A new file that is not as long as what was written (another writer, a file system that lost
// bytes) never takes the name. Natively: Windows keeps the file from being resized while it is
// open.
#ifndef _WIN32
TEST_F(FileTest, AFileOfAnotherSizeThanWrittenIsNotPutInPlace) {
    TempDir folder;
    const std::string path = folder.File("out.txt");
    fileio::FileSet set;
    set.files = {{path, "new", std::nullopt}};
    FaultyPlatform faulty;
    faulty.Before(Call::Flush, 1, [&] {
        for (const auto& entry : std::filesystem::directory_iterator(FsPath(folder.Path())))
            std::filesystem::resize_file(entry.path(), 5);
    });
    const Result<fileio::SetOutcome> written =
        (fileio::ScopedPlatform(faulty), fileio::WriteFiles(set));
    ASSERT_FALSE(written);
    EXPECT_NE(written.failure().message.find("it holds 5 bytes instead of 3"), std::string::npos)
        << written.failure().message;
    EXPECT_FALSE(std::filesystem::exists(FsPath(path)));
}
#endif

// A replaced file that cannot be put back after a later one failed keeps its earlier content
// under a name that no later run clears as a leftover, and the message gives that name.
TEST_F(FileTest, AFileThatCannotBePutBackIsKeptUnderANameOfItsOwn) {
    TempDir folder;
    const std::string first = folder.File("first.txt"), second = folder.File("second.txt");
    WriteAll(first, "old first");
    WriteAll(second, "old second");
    fileio::FileSet set;
    set.files = {{first, "new first", fileio::ConsentTo(first, true)},
                 {second, "new second", fileio::ConsentTo(second, true)}};
    FaultyPlatform faulty;
    faulty.FailAt(Call::Replace, 2, 2);  // the second file's replace, then the first's restore
    const Result<fileio::SetOutcome> written =
        (fileio::ScopedPlatform(faulty), fileio::WriteFiles(set));
    ASSERT_FALSE(written);
    const std::string& message = written.failure().message;
    const std::string said = "its earlier content is kept as \"";
    const std::size_t at = message.find(said);
    ASSERT_NE(at, std::string::npos) << message;
    const std::size_t from = at + said.size();
    const std::string kept = message.substr(from, message.find('"', from) - from);
    EXPECT_TRUE(kept.ends_with(std::string(fileio::kTempSuffix) + "-kept")) << kept;
    EXPECT_EQ(ReadAll(kept), "old first");
}

}  // namespace
}  // namespace tarnwick::test
