#include "cli/Waiting.h"

namespace tarnwick::cli {

namespace {

constexpr std::uint32_t kQuietMilliseconds = 1000;

}  // namespace

bool StderrWaiter::Pause(std::string_view what, std::uint32_t milliseconds) {
    if (!said_ && waited_ >= kQuietMilliseconds) {
        say_("tarnwick-cli: waiting for " + std::string(what) + " (another run is writing it)\n");
        said_ = true;
    }
    waited_ += milliseconds;
    return Waiter::Pause(what, milliseconds);
}

void StderrWaiter::GoingOn(std::string_view what) {
    if (said_)
        say_("tarnwick-cli: the other run is done; going on with " + std::string(what) + "\n");
    waited_ = 0;
    said_ = false;
}

}  // namespace tarnwick::cli
