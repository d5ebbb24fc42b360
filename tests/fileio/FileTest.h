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
    const Result<fileio::TempFile> temp = fileio::CreateTempBeside(path);
    if (!temp) return "";
    (void)fileio::CurrentPlatform().Close(temp->handle);
    return temp->path;
}

}  // namespace tarnwick::test
