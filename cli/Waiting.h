// How tarnwick-cli waits for another run's lock: quietly for about a second (most holders are done
// by then), then one line on standard error naming what it waits for, and one when it goes on, so
// that a run held for half a minute is not taken for a hung one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "fileio/FileLock.h"

namespace tarnwick::cli {

class StderrWaiter : public fileio::Waiter {
  public:
    // `say` writes one line (with its newline) to standard error.
    explicit StderrWaiter(std::function<void(const std::string&)> say) : say_(std::move(say)) {}

    bool Pause(std::string_view what, std::uint32_t milliseconds) override;
    void GoingOn(std::string_view what) override;

  private:
    std::function<void(const std::string&)> say_;
    std::uint32_t waited_ = 0;  // milliseconds paused in this wait
    bool said_ = false;
};

}  // namespace tarnwick::cli
