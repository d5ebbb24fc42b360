// The one way a part below the command line and the window reports an expected failure: a value,
// or the cause as the administrator should read it with the system's error code beside it.
// Exceptions are left for bugs and for running out of memory. A part whose caller must tell causes
// apart (to pick a specified message, say) fails with a type derived from Failure that adds what
// the caller needs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tarnwick {

struct Failure {
    std::string message;     // complete and ready to show, without a program name
    std::uint32_t code = 0;  // errno or GetLastError(); 0 when the system said nothing
};

template <typename T, typename E = Failure>
class [[nodiscard]] Result {
  public:
    Result(T value) : state_(std::move(value)) {}
    Result(E failure) : state_(std::move(failure)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<0>(state_); }
    const T& value() const { return std::get<0>(state_); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const E& failure() const { return std::get<1>(state_); }

  private:
    std::variant<T, E> state_;
};

template <typename E>
class [[nodiscard]] Result<void, E> {
  public:
    Result() = default;
    Result(E failure) : failure_(std::move(failure)) {}

    bool ok() const { return !failure_; }
    explicit operator bool() const { return ok(); }
    const E& failure() const { return *failure_; }

  private:
    std::optional<E> failure_;
};

using Status = Result<void>;

}  // namespace tarnwick
