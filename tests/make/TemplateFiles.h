// Small UTF-16LE templates and file helpers for the make-command tests.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tarnwick::test {

using Bytes = std::vector<std::uint8_t>;

// Each character's code followed by a zero byte: UTF-16LE for ASCII text.
inline Bytes Wide(const std::string& text) {
    Bytes out;
    for (unsigned char c : text) {
        out.push_back(c);
        out.push_back(0);
    }
    return out;
}

inline Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t to) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(to));
}

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// Three marker lines and one other: 70 bytes, markers ending after bytes 17, 37 and 57.
inline const Bytes kFourLineTemplate = Wide("abcdonly\r\nabcdonly\r\nabcdonly\r\nxyz\r\n");

// What the four-line template becomes with C, D and E ticked, restricting those drives.
inline Bytes FourLineTemplateForCDE() {
    const Bytes item = Wide("\t\t    \tNAME !!CDEOnly\t\tVALUE NUMERIC\t28\r\n");
    const Bytes definition = Wide("CDEOnly=\"Restrict C, D and E only\"\r\n");
    const Bytes& s = kFourLineTemplate;
    return Join({Slice(s, 0, 18), item, Slice(s, 18, 38), item, Slice(s, 38, 58), definition,
                 Slice(s, 58, 70)});
}

inline void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh folder, removed with everything in it at the end of the test.
class ScratchDir {
  public:
    ScratchDir() {
        static std::atomic<int> serial{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = std::filesystem::temp_directory_path() /
                ("tarnwick-make-" + std::to_string(stamp) + "-" + std::to_string(++serial));
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace tarnwick::test
