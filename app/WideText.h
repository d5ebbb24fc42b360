// Text is UTF-8 inside Tarnwick and UTF-16 at the Win32 boundary.
#pragma once

#include "win32/WideText.h"

namespace tarnwick::app {

using win32::Narrow;
using win32::Widen;

}  // namespace tarnwick::app
