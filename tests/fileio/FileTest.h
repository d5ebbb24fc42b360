// The fixture of the file-helper tests: a fresh temporary folder per test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "fileio/mdlAPIFiles.h"
#include "tests/support/TestFiles.h"

namespace tarnwick::test {

class FileTest : public ::testing::Test {
  protected:
    TempDir dir;
};

// `data` followed by the one zero element that the helpers' arrays carry.
inline fileio::ByteArray Data(std::string_view data) {
    fileio::ByteArray bytes(data.begin(), data.end());
    bytes.push_back(0);
    return bytes;
}

// Creates an empty temporary file beside `path` and closes it; its path.
inline std::string NewTemp(const std::string& path) {
    std::string temp;
    fileio::Handle handle = fileio::kNoHandle;
    if (!fileio::CreateTempBeside(path, temp, handle)) return "";
    (void)fileio::CurrentPlatform().Close(handle);
    return temp;
}

}  // namespace tarnwick::test
