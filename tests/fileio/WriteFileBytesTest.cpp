#include <stdexcept>

#include "tests/fileio/FileTest.h"

namespace tarnwick::test {
namespace {

using fileio::ByteArray;
using fileio::WriteFileBytes;

TEST_F(FileTest, AnArrayFromReadFileBytesWritesExactlyItsData) {
    const std::string source = dir.File("source.bin");
    WriteAll(source, "0123456789ABCDEFGHIJKLMNOPQRSTUV");
    const struct {
        std::int32_t start, end;
        std::string_view written;
    } cases[] = {{10, 20, "ABCDEFGHIJ"}, {7, 7, ""}};
    for (const auto& c : cases) {
        ByteArray bytes;
        std::int32_t count = 0, end = c.end;
        ASSERT_EQ(fileio::ReadFileBytes(source, bytes, count, c.start, end), fileio::kReadDone);
        const std::string target = dir.File("copy-" + std::to_string(c.start));
        EXPECT_EQ(WriteFileBytes(bytes, target, 0, false), fileio::kWriteDone);
        EXPECT_EQ(ReadAll(target), c.written);
    }
}

// What a write leaves in a file that holds "0123456789" before it, or in no file at all.
struct WriteCase {
    const char* name;
    bool existing;
    std::int32_t offset;
    bool overwrite;
    int status;
    std::string_view after;
};

TEST_F(FileTest, WriteFileBytesOpensByTheFirstRuleThatApplies) {
    using namespace std::string_view_literals;
    const WriteCase cases[] = {
        {"existing, offset 0, no overwrite", true, 0, false, fileio::kWriteExistsNoOverwrite,
         "0123456789"},
        {"existing, offset 0, overwrite cuts", true, 0, true, fileio::kWriteDone, "ab"},
        {"existing, positive offset keeps the tail", true, 3, false, fileio::kWriteDone,
         "012ab56789"},
        {"overwrite does not matter at a positive offset", true, 3, true, fileio::kWriteDone,
         "012ab56789"},
        {"existing, past the end leaves a zero gap", true, 12, false, fileio::kWriteDone,
         "0123456789\0\0ab"sv},
        {"existing, negative offset writes at 0 and keeps the rest", true, -4, false,
         fileio::kWriteDone, "ab23456789"},
        {"missing, offset 0", false, 0, false, fileio::kWriteDone, "ab"},
        {"missing, positive offset", false, 3, false, fileio::kWriteDone, "\0\0\0ab"sv},
    };
    int n = 0;
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(std::to_string(++n) + ".bin");
        if (c.existing) WriteAll(path, "0123456789");
        EXPECT_EQ(WriteFileBytes(Data("ab"), path, c.offset, c.overwrite), c.status);
        EXPECT_EQ(ReadAll(path), c.after);
    }
}

TEST_F(FileTest, WriteFileBytesOnAFolderOrInAMissingFolderFails) {
    Failure why;
    EXPECT_EQ(WriteFileBytes(Data("ab"), dir.Path(), 0, false), fileio::kWriteExistsNoOverwrite);
    EXPECT_EQ(WriteFileBytes(Data("ab"), dir.Path(), 0, true, &why), fileio::kWriteCannotOpen);
    EXPECT_NE(why.code, 0u);
    why = {};
    EXPECT_EQ(WriteFileBytes(Data("ab"), dir.Path(), 5, true, &why), fileio::kWriteCannotQuery);
    EXPECT_NE(why.code, 0u);
    why = {};
    EXPECT_EQ(WriteFileBytes(Data("ab"), dir.File("no-such-folder/f"), 0, true, &why),
              fileio::kWriteCannotOpen);
    EXPECT_NE(why.code, 0u);
    EXPECT_FALSE(why.message.empty());
}

TEST_F(FileTest, WriteFileBytesRefusesAnEmptyArrayBeforeTouchingAnyFile) {
    const std::string existing = dir.File("keep.bin");
    WriteAll(existing, "keep");
    EXPECT_THROW(WriteFileBytes(ByteArray{}, existing, 0, true), std::out_of_range);
    EXPECT_THROW(WriteFileBytes(ByteArray{}, dir.File("new.bin"), 0, true), std::out_of_range);
    EXPECT_EQ(ReadAll(existing), "keep");
    EXPECT_FALSE(fileio::FileExists(dir.File("new.bin")));
}

TEST(StringToWideBytes, GivesEachCharacterAndAZeroByteThenOneZeroElement) {
    const struct {
        const char* text;
        fileio::ByteArray bytes;
    } cases[] = {
        {"", {0}},
        {"abc", {0x61, 0, 0x62, 0, 0x63, 0, 0}},
        {"\t\r\n", {9, 0, 13, 0, 10, 0, 0}},
        {"\xC3\xA9\xC3\xBF", {0xE9, 0, 0xFF, 0, 0}},  // é and ÿ: one byte each, from UTF-8
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        fileio::ByteArray bytes{5, 5, 5};
        std::int32_t count = 0;
        fileio::StringToWideBytes(c.text, bytes, count);
        EXPECT_EQ(bytes, c.bytes);
        EXPECT_EQ(count, static_cast<std::int32_t>(c.bytes.size()));
    }
}

TEST(StringToWideBytes, ACharacterAboveFFOverflowsWithTheLeadingBytesSet) {
    const struct {
        const char* text;
        fileio::ByteArray bytes;
    } cases[] = {
        {"ab\xE2\x82\xAC"
         "c",
         {0x61, 0, 0x62, 0, 0, 0, 0, 0, 0}},        // the euro sign
        {"a\xF0\x9F\x98\x80", {0x61, 0, 0, 0, 0}},  // one character beyond U+FFFF
        {"a\xFF", {0x61, 0, 0, 0, 0}},              // not UTF-8 at all
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        fileio::ByteArray bytes;
        std::int32_t count = 0;
        EXPECT_THROW(fileio::StringToWideBytes(c.text, bytes, count), std::overflow_error);
        EXPECT_EQ(bytes, c.bytes);
        EXPECT_EQ(count, static_cast<std::int32_t>(c.bytes.size()));
    }
}

}  // namespace
}  // namespace tarnwick::test
