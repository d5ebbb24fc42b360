#include "paths/Defaults.h"

namespace tarnwick {

namespace {
constexpr const char* kSourceTail = "\\inf\\system.adm";

// The new template's name: the source's text before `cut`, then the suffix.
std::string NewTemplatePath(const std::string& source, std::size_t cut) {
    return source.substr(0, cut) + "_TRNW.adm";
}
}  // namespace

std::string DefaultSourcePath(const std::string& windir) {
    return windir + kSourceTail;
}

std::string DefaultNewPath(const std::string& sourcePath) {
    return NewTemplatePath(sourcePath, sourcePath.find('.'));
}

std::string DefaultOutputPath(const std::string& source) {
    const auto lastSeparator = source.find_last_of("/\\");
    const std::size_t nameStart = lastSeparator == std::string::npos ? 0 : lastSeparator + 1;
    const auto dot = source.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    return NewTemplatePath(source, hasExtension ? dot : source.size());
}

}  // namespace tarnwick
