// The helpers when a platform call fails or a step throws: the right status, the system's reason,
// untouched outputs, and no handle left open.
#include <algorithm>
#include <stdexcept>

#include "tests/fileio/FileTest.h"
#include "tests/support/FaultyPlatform.h"

namespace tarnwick::test {
namespace {

using fileio::ByteArray;

class FaultTest : public FileTest {
  protected:
    FaultyPlatform faulty;
    fileio::ScopedPlatform use{faulty};
};

TEST_F(FaultTest, AFailedCallInsideReadFileBytesIsReportedNotHidden) {
    const std::string path = dir.File("src.bin");
    WriteAll(path, "0123456789");
    const struct {
        Call call;
        int status;
        bool arrayKept;
    } cases[] = {
        {Call::Open, fileio::kReadCannotOpen, true},
        {Call::Size, fileio::kReadFailed, false},
        {Call::Seek, fileio::kReadFailed, false},
        {Call::Read, fileio::kReadFailed, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.call));
        FaultyPlatform local;
        fileio::ScopedPlatform scoped(local);
        local.FailAt(c.call, 1);
        ByteArray bytes{1, 2};
        std::int32_t count = 0, end = 6;
        Failure why;
        EXPECT_EQ(fileio::ReadFileBytes(path, bytes, count, 2, end, &why), c.status);
        EXPECT_EQ(why.code, kInjectedCode);
        EXPECT_EQ(count, 4);
        EXPECT_EQ(bytes, (c.arrayKept ? ByteArray{1, 2} : ByteArray{}));
        EXPECT_EQ(local.OpenHandles(), 0);
    }
}

TEST_F(FaultTest, AFailedCallInsideWriteFileBytesIsReportedNotHidden) {
    // A positive offset into an existing file runs every step: the query (open, stat, close),
    // then the writer's own open, seek, write and close.
    const struct {
        Call call;
        std::size_t k;
        int status;
    } cases[] = {
        {Call::Open, 1, fileio::kWriteCannotQuery}, {Call::Stat, 1, fileio::kWriteCannotQuery},
        {Call::Open, 2, fileio::kWriteCannotOpen},  {Call::Seek, 1, fileio::kWriteFailed},
        {Call::Write, 1, fileio::kWriteFailed},     {Call::Close, 2, fileio::kWriteFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.call) << " #" << c.k);
        const std::string path = dir.File("dst.bin");
        WriteAll(path, "0123456789");
        FaultyPlatform local;
        fileio::ScopedPlatform scoped(local);
        local.FailAt(c.call, c.k);
        Failure why;
        EXPECT_EQ(fileio::WriteFileBytes(Data("ab"), path, 4, false, &why), c.status);
        EXPECT_EQ(why.code, kInjectedCode);
        EXPECT_EQ(why.message, kInjectedText);
        EXPECT_EQ(local.OpenHandles(), 0);
    }
}

TEST_F(FaultTest, GetFileInfoReportsAFailedQuery) {
    WriteAll(dir.File("f"), "abc");
    faulty.FailAt(Call::Stat, 1);
    fileio::LocalTime t;
    bool flag = false;
    std::int32_t size = -1;
    EXPECT_EQ(fileio::GetFileInfo(dir.File("f"), t, t, t, flag, flag, flag, flag, size),
              fileio::kInfoCannotQuery);
    EXPECT_EQ(size, -1);
    EXPECT_EQ(faulty.OpenHandles(), 0);
}

// Reports a size beyond 32 bits, and remembers the largest read asked of it.
class ReportingPlatform : public FaultyPlatform {
  public:
    std::uint64_t reportedSize = 0;
    std::size_t largestRead = 0;
    Result<std::uint64_t> Size(fileio::Handle handle) override {
        Result<std::uint64_t> size = FaultyPlatform::Size(handle);
        if (size && reportedSize != 0) return reportedSize;
        return size;
    }
    Result<std::size_t> Read(fileio::Handle handle, void* buffer, std::size_t size) override {
        largestRead = std::max(largestRead, size);
        return FaultyPlatform::Read(handle, buffer, size);
    }
};

TEST_F(FileTest, AThrowingReadClosesItsHandle) {
    const std::string empty = dir.File("empty.bin"), big = dir.File("big.bin");
    WriteAll(empty, "");
    WriteAll(big, "0123456789");
    ReportingPlatform platform;
    fileio::ScopedPlatform use(platform);
    ByteArray bytes;
    std::int32_t count = 0, end = 1;
    EXPECT_THROW(fileio::ReadFileBytes(empty, bytes, count, 0, end), std::out_of_range);
    platform.reportedSize = 5'000'000'000;
    EXPECT_THROW(fileio::ReadFileBytes(big, bytes, count, 0, end), std::overflow_error);
    EXPECT_EQ(platform.Count(Call::Open), 2u);
    EXPECT_EQ(platform.OpenHandles(), 0);
    // On Windows a handle left open would keep these from being deleted.
    EXPECT_TRUE(fileio::RemoveFile(empty).ok());
    EXPECT_TRUE(fileio::RemoveFile(big).ok());
}

TEST_F(FileTest, ARangeReadReadsOnlyTheRange) {
    const std::string path = dir.File("large.bin");
    WriteAll(path, std::string(1 << 20, 'z'));
    ReportingPlatform platform;
    fileio::ScopedPlatform use(platform);
    ByteArray bytes;
    std::int32_t count = 0, end = 600'010;
    ASSERT_EQ(fileio::ReadFileBytes(path, bytes, count, 600'000, end), fileio::kReadDone);
    EXPECT_EQ(bytes, Data("zzzzzzzzzz"));
    EXPECT_EQ(platform.largestRead, 10u);
}

TEST(FaultyPlatform, FailsOnlyTheChosenCallAndCountsEveryKind) {
    TempDir dir;
    const std::string path = dir.File("f");
    FaultyPlatform faulty;
    fileio::ScopedPlatform use(faulty);
    faulty.FailAt(3);  // a new file at offset 0: open, write, close; the close fails
    EXPECT_EQ(fileio::WriteFileBytes(Data("abc"), path, 0, false), fileio::kWriteFailed);
    EXPECT_TRUE(faulty.Injected());
    EXPECT_EQ(faulty.Count(Call::Attributes), 1u);
    EXPECT_EQ(faulty.Count(Call::Open), 1u);
    EXPECT_EQ(faulty.Count(Call::Close), 1u);
    EXPECT_EQ(faulty.Total(), 3u);
    EXPECT_EQ(faulty.OpenHandles(), 0);

    // Once injected, everything passes through again.
    EXPECT_EQ(fileio::WriteFileBytes(Data("xyz"), path, 0, true), fileio::kWriteDone);
    EXPECT_EQ(ReadAll(path), "xyz");
    EXPECT_TRUE(faulty.Remove(path).ok());
    EXPECT_EQ(faulty.Count(Call::Remove), 1u);
}

}  // namespace
}  // namespace tarnwick::test
