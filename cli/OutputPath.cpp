#include "cli/OutputPath.h"

namespace tarnwick::cli {

std::string DefaultOutputPath(const std::string& source) {
    const auto lastSeparator = source.find_last_of("/\\");
    const std::size_t nameStart = lastSeparator == std::string::npos ? 0 : lastSeparator + 1;
    const auto dot = source.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    return source.substr(0, hasExtension ? dot : source.size()) + "_TRNW.adm";
}

}  // namespace tarnwick::cli
