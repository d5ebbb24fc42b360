#include "cli/Console.h"

#include <cstdio>
#include <cstdlib>

namespace tarnwick::cli {

namespace {
void WriteAll(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}
}  // namespace

void WriteOut(const std::string& utf8) {
    WriteAll(stdout, utf8);
}
void WriteErr(const std::string& utf8) {
    WriteAll(stderr, utf8);
}

std::string EnvironmentVariable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

}  // namespace tarnwick::cli
