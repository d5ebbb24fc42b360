#include "fileio/Platform.h"

namespace tarnwick::fileio {

namespace {
// Null while no ScopedPlatform is in force. Only the thread that generates sets or reads it (the
// Windows console handler never does), so it needs no lock.
Platform* g_override = nullptr;
}  // namespace

Platform& CurrentPlatform() {
    return g_override != nullptr ? *g_override : NativePlatform();
}

ScopedPlatform::ScopedPlatform(Platform& platform) : previous_(g_override) {
    g_override = &platform;
}

ScopedPlatform::~ScopedPlatform() {
    g_override = previous_;
}

}  // namespace tarnwick::fileio
