#include "cli/Console.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tarnwick::cli {

namespace {
// A buffered write can fail only at the flush (a full device), so both results count.
Status WriteAll(std::FILE* stream, const std::string& text) {
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    if (std::fflush(stream) == 0 && written) return {};
    const int cause = errno;
    if (cause == 0) return Failure{};
    return Failure{std::strerror(cause), static_cast<std::uint32_t>(cause)};
}
}  // namespace

Status WriteOut(const std::string& utf8) {
    return WriteAll(stdout, utf8);
}
Status WriteErr(const std::string& utf8) {
    return WriteAll(stderr, utf8);
}

std::string EnvironmentVariable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

}  // namespace tarnwick::cli
