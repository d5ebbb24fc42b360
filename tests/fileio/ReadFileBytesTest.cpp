#include <stdexcept>

#include "tests/fileio/FileTest.h"

namespace tarnwick::test {
namespace {

using fileio::ByteArray;
using fileio::ReadFileBytes;

constexpr std::string_view kContent = "0123456789ABCDEFGHIJKLMNOPQRSTUV";  // 32 bytes

struct RangeCase {
    std::int32_t start, end;
    std::string_view data;
    std::int32_t count;
};

TEST_F(FileTest, ReadFileBytesGivesTheRangeAndOneZeroElement) {
    const std::string path = dir.File("range.bin");
    WriteAll(path, kContent);
    const RangeCase cases[] = {
        {10, 20, "ABCDEFGHIJ", 10},
        {0, 32, kContent, 32},
        {31, 32, "V", 1},
        {5, 5, "", 0},
        {40, 40, "", 0},  // an empty range touches no byte, wherever it lies
        {-3, -3, "", 0},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << ".." << c.end);
        ByteArray bytes{9, 9};
        std::int32_t count = -1, end = c.end;
        EXPECT_EQ(ReadFileBytes(path, bytes, count, c.start, end), fileio::kReadDone);
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(bytes, Data(c.data));
        EXPECT_EQ(end, c.end);
    }
}

TEST_F(FileTest, ReadFileBytesEndZeroMeansEndOfFileAndIsWrittenBack) {
    const std::string path = dir.File("whole.bin");
    WriteAll(path, kContent);
    ByteArray bytes;
    std::int32_t count = 0, end = 0;
    EXPECT_EQ(ReadFileBytes(path, bytes, count, 30, end), fileio::kReadDone);
    EXPECT_EQ(end, 32);
    EXPECT_EQ(count, -30);  // taken before the end is replaced
    EXPECT_EQ(bytes, Data("UV"));
}

TEST_F(FileTest, ReadFileBytesFailuresLeaveTheArrayAndSetTheCount) {
    WriteAll(dir.File("x"), "x");
    struct Case {
        std::string path;
        int status;
        bool systemReason;
    };
    const Case cases[] = {
        {dir.File("missing.bin"), fileio::kReadNoFile, false},
        {dir.Path(), fileio::kReadCannotOpen, true},  // a folder exists but cannot be read
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ByteArray bytes{1, 2, 3};
        std::int32_t count = 0, end = 7;
        Failure why;
        EXPECT_EQ(ReadFileBytes(c.path, bytes, count, 2, end, &why), c.status);
        EXPECT_EQ(count, 5);
        EXPECT_EQ(bytes, (ByteArray{1, 2, 3}));
        EXPECT_EQ(why.code != 0, c.systemReason);
    }
}

TEST_F(FileTest, ReadFileBytesThrowsOutOfRangeAndLeavesTheArray) {
    const std::string path = dir.File("ten.bin");
    const std::string empty = dir.File("empty.bin");
    WriteAll(path, "0123456789");
    WriteAll(empty, "");
    struct Case {
        std::string path;
        std::int32_t start, end;
    };
    const Case cases[] = {
        {empty, 0, 0}, {empty, 0, 1}, {path, 5, 4}, {path, -1, 3}, {path, 8, 11}, {path, 10, 11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.path << " " << c.start << ".." << c.end);
        ByteArray bytes{7};
        std::int32_t count = 99, end = c.end;
        EXPECT_THROW(ReadFileBytes(c.path, bytes, count, c.start, end), std::out_of_range);
        EXPECT_EQ(count, c.end - c.start);
        EXPECT_EQ(bytes, ByteArray{7});
    }
}

TEST_F(FileTest, ReadFileBytesThrowsOverflowForADifferenceBeyond32Bits) {
    WriteAll(dir.File("f"), "abc");
    ByteArray bytes;
    std::int32_t count = 42, end = 2'000'000'000;
    EXPECT_THROW(ReadFileBytes(dir.File("f"), bytes, count, -2'000'000'000, end),
                 std::overflow_error);
    EXPECT_EQ(count, 42);
}

// Another program (an editor, a scanner) may hold a file open for reading or writing while a
// helper opens it: every open must let the others in.
TEST_F(FileTest, HelpersWorkWhileOtherHandlesHoldTheFile) {
    const std::string path = dir.File("held.bin");
    WriteAll(path, "0123456789");
    fileio::Platform& native = fileio::NativePlatform();
    const Result<fileio::Handle> reader =
        native.Open(path, fileio::Access::Read, fileio::Disposition::OpenExisting);
    ASSERT_TRUE(reader.ok()) << reader.failure().message;
    const Result<fileio::Handle> writer =
        native.Open(path, fileio::Access::Write, fileio::Disposition::OpenExisting);
    ASSERT_TRUE(writer.ok()) << writer.failure().message;

    ByteArray bytes;
    std::int32_t count = 0, end = 6;
    EXPECT_EQ(ReadFileBytes(path, bytes, count, 2, end), fileio::kReadDone);
    EXPECT_EQ(bytes, Data("2345"));
    EXPECT_EQ(fileio::WriteFileBytes(Data("ab"), path, 4, false), fileio::kWriteDone);
    EXPECT_EQ(fileio::WriteFileBytes(Data("xyz"), path, 0, true), fileio::kWriteDone);

    EXPECT_TRUE(native.Close(*reader).ok());
    EXPECT_TRUE(native.Close(*writer).ok());
    EXPECT_EQ(ReadAll(path), "xyz");
}

}  // namespace
}  // namespace tarnwick::test
