#include "generate/Defaults.h"

namespace tarnwick {

namespace {
constexpr const char* kSourceTail = "\\inf\\system.adm";
constexpr const char* kNewSuffix = "_TRNW.adm";
}  // namespace

std::string DefaultSourcePath(const std::string& windir) {
    return windir + kSourceTail;
}

std::string DefaultNewPath(const std::string& sourcePath) {
    return sourcePath.substr(0, sourcePath.find('.')) + kNewSuffix;
}

}  // namespace tarnwick
