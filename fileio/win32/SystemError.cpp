#include "fileio/win32/SystemError.h"

#include <utility>

#include "win32/SystemError.h"

namespace tarnwick::fileio::win32 {

namespace {
SysError FromSystem(tarnwick::win32::SystemError error) {
    return SysError{error.code, std::move(error.text)};
}
}  // namespace

SysError ErrorFromCode(std::uint32_t code) {
    return FromSystem(tarnwick::win32::ErrorFromCode(code));
}

SysError LastError() {
    return FromSystem(tarnwick::win32::LastError());
}

}  // namespace tarnwick::fileio::win32
