// The live temporary files, kept where a signal handler (or Windows' console handler thread) can
// read them without allocating or locking: fixed slots, each claimed and released through an
// atomic state.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>

namespace tarnwick::fileio {

template <class Char, std::size_t kSlots, std::size_t kLength>
class TempRegistry {
    static_assert(std::atomic<int>::is_always_lock_free);

  public:
    // A slot for `path` (`length` characters), or -1 when none is free or the path is too long.
    int Add(const Char* path, std::size_t length) {
        if (length >= kLength) return -1;
        for (std::size_t i = 0; i < kSlots; ++i) {
            int expected = kFree;
            if (!state_[i].compare_exchange_strong(expected, kFilling)) continue;
            for (std::size_t k = 0; k < length; ++k)
                paths_[i][k] = path[k];
            paths_[i][length] = Char{};
            state_[i].store(kLive, std::memory_order_release);
            return static_cast<int>(i);
        }
        return -1;
    }

    void Drop(int slot) {
        if (slot >= 0 && static_cast<std::size_t>(slot) < kSlots) {
            state_[static_cast<std::size_t>(slot)].store(kFree, std::memory_order_release);
        }
    }

    // Calls `remove` with each live path; async-signal-safe when `remove` is.
    template <class Remove>
    void ForEachLive(Remove remove) {
        for (std::size_t i = 0; i < kSlots; ++i) {
            if (state_[i].load(std::memory_order_acquire) == kLive) remove(paths_[i].data());
        }
    }

  private:
    static constexpr int kFree = 0, kFilling = 1, kLive = 2;
    std::array<std::atomic<int>, kSlots> state_{};
    std::array<std::array<Char, kLength>, kSlots> paths_{};
};

}  // namespace tarnwick::fileio
