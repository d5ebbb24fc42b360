#include <cstdlib>
#include <filesystem>
#include <utility>

#include "fileio/Leftovers.h"
#include "fileio/WriteFiles.h"
#include "tests/fileio/FileTest.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

Result<fileio::SetOutcome> WriteOne(const std::string& path, bool replace = false) {
    fileio::FileSet set;
    set.files.push_back({path, "new", fileio::ConsentTo(path, replace)});
    return fileio::WriteFiles(std::move(set));
}

// A process identifier that no system hands out (Linux's largest is 2^22; Windows' are far lower).
constexpr const char* kEnded = "2147483644";

// Which files beside out.adm a writer without a lock clears (only this host's and this system's
// whose process has ended), and which one under the lock clears (every temporary and backup file
// of out.adm, older names too); neither touches anything else; a backup that is no second name of
// out.adm (maybe the only copy) becomes "-kept".
TEST_F(FileTest, LeftoversAreClearedOnlyWhenTheirWriterIsGone) {
    const std::string own = fileio::WriterTag();
    const std::string host = own.substr(0, own.find('.') + 2);  // "<host>.<p|w>"
    const std::string other = host.back() == 'p' ? "w" : "p";
    const std::string hex = ".0123456789abcdef";
    const struct {
        std::string name;
        bool clearedByWriter, clearedUnderLock;
    } cases[] = {
        {".out.adm." + host + kEnded + hex + ".trnw-tmp", true, true},
        {".out.adm." + host + kEnded + hex + ".trnw-tmp-old", true, true},        // a second name
        {".out.adm." + host + "2147483643" + hex + ".trnw-tmp-old", true, true},  // a copy
        {".out.adm." + own + hex + ".trnw-tmp", false, true},  // this live process
        {".out.adm.elsewhere." + host.substr(host.size() - 1) + kEnded + hex + ".trnw-tmp", false,
         true},
        {".out.adm." + host.substr(0, host.size() - 1) + other + kEnded + hex + ".trnw-tmp", false,
         true},
        {".out.adm" + hex + ".trnw-tmp", false, true},  // named before writers were
        {".out.adm." + host + kEnded + hex + ".trnw-tmp-kept", false, false},
        {".other.adm." + host + kEnded + hex + ".trnw-tmp", false, false},
#ifdef _WIN32
        // Windows' names are one in any case: upper-case hex names a leftover of ours all the same.
        {".out.adm." + host + kEnded + ".0123456789ABCDEF.trnw-tmp", true, true},
#else
        {".out.adm." + host + kEnded + ".0123456789ABCDEF.trnw-tmp", false, false},  // not ours
#endif
    };
    for (const bool underLock : {false, true}) {
        WriteAll(dir.File("out.adm"), "was");
        for (const auto& one : cases)
            WriteAll(dir.File(one.name), "left");
        fs::remove(FsPath(dir.File(cases[1].name)));
        fs::create_hard_link(FsPath(dir.File("out.adm")), FsPath(dir.File(cases[1].name)));
        if (underLock) {
            fileio::ClearLeftovers(dir.File("out.adm"), true);
        } else {
            ASSERT_TRUE(WriteOne(dir.File("out.adm"), true).ok());
        }
        fs::remove(FsPath(dir.File("out.adm")));
        for (const auto& one : cases) {
            const bool cleared = underLock ? one.clearedUnderLock : one.clearedByWriter;
            EXPECT_EQ(fs::exists(FsPath(dir.File(one.name))), !cleared) << one.name << underLock;
        }
        const std::string copy = cases[2].name.substr(0, cases[2].name.size() - 4) + "-kept";
        EXPECT_EQ(ReadAll(dir.File(copy)), "left");
        fs::remove(FsPath(dir.File(copy)));
    }
}

#ifndef _WIN32
// An append-only folder takes new files but no rename: refused with that cause, nothing left.
TEST_F(FileTest, AnAppendOnlyFolderIsRefusedWithItsCause) {
    if (std::system(("chattr +a '" + dir.Path() + "' 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "chattr +a needs root and a file system that has the attribute";
    }
    const auto written = WriteOne(dir.File("out.reg"));
    std::system(("chattr -a '" + dir.Path() + "'").c_str());
    ASSERT_FALSE(written.ok());
    EXPECT_NE(written.failure().message.find("append-only"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(FsPath(dir.Path())));
}
#endif

}  // namespace
}  // namespace tarnwick::test
