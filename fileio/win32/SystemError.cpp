#include "fileio/win32/SystemError.h"

#include <utility>

#include "win32/SystemError.h"

namespace tarnwick::fileio::win32 {

namespace {
Failure FromSystem(tarnwick::win32::SystemError error) {
    return Failure{std::move(error.text), error.code};
}
}  // namespace

Failure ErrorFromCode(std::uint32_t code) {
    return FromSystem(tarnwick::win32::ErrorFromCode(code));
}

Failure LastError() {
    return FromSystem(tarnwick::win32::LastError());
}

}  // namespace tarnwick::fileio::win32
