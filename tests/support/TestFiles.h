// Files for tests: a temporary folder that cleans up after itself, and whole-file reads and writes.
// Paths are UTF-8 text, as the file helpers take them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarnwick::test {

// A new, empty folder under the system's temporary folder, removed with all its content when the
// object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    // Path() joined with `name` (which may hold sub-folders) by the system's separator.
    std::string File(const std::string& name) const;

  private:
    std::string path_;
};

// Makes `folder` the process's current folder until the object goes.
class CurrentFolder {
  public:
    explicit CurrentFolder(const std::string& folder);
    ~CurrentFolder();
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

  private:
    std::filesystem::path previous_;
};

// UTF-8 text <-> std::filesystem::path, which on Windows would otherwise use the ANSI code page.
std::filesystem::path FsPath(const std::string& utf8);
std::string Utf8(const std::filesystem::path& path);

// The whole file as bytes; throws std::runtime_error when it cannot be read.
std::string ReadAll(const std::string& path);
// Creates or cuts the file and writes `bytes`; throws std::runtime_error on failure.
void WriteAll(const std::string& path, std::string_view bytes);

// ASCII text as UTF-16LE bytes, without a byte-order mark.
std::string Utf16(std::string_view ascii);
// Any text as UTF-16LE bytes, without a byte-order mark.
std::string Utf16(std::u16string_view text);
// A 32-bit number as its four bytes, lowest first (a REG_DWORD's data).
std::string Le32(std::uint32_t v);

}  // namespace tarnwick::test
