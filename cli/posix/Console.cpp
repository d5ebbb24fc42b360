#include "cli/Console.h"

#include <cstdio>
#include <cstdlib>

namespace tarnwick::cli {

namespace {
// A buffered write can fail only at the flush (a full device), so both results count.
bool WriteAll(std::FILE* stream, const std::string& text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    return std::fflush(stream) == 0 && written;
}
}  // namespace

bool WriteOut(const std::string& utf8) {
    return WriteAll(stdout, utf8);
}
bool WriteErr(const std::string& utf8) {
    return WriteAll(stderr, utf8);
}

std::string EnvironmentVariable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

}  // namespace tarnwick::cli
