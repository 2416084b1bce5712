#pragma once

#include <exception>
#include <type_traits>
#include <utility>
#include <variant>

namespace platform::detail {

/// The end of an asynchronous operation: a value (std::monostate for void) or an error.
template <class T>
class Outcome {
public:
    using Value = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

    Outcome() = default;
    static Outcome success(Value value) { return Outcome(std::in_place_index<1>, std::move(value)); }
    static Outcome failure(std::exception_ptr error) { return Outcome(std::in_place_index<0>, std::move(error)); }

    /// Returns the value or rethrows the error; the outcome stays as it was.
    T get() const {
        if (state_.index() == 0) std::rethrow_exception(std::get<0>(state_));
        if constexpr (!std::is_void_v<T>) return std::get<1>(state_);
    }

    /// Moves the value out or rethrows the error.
    T take() {
        if (state_.index() == 0) std::rethrow_exception(std::get<0>(state_));
        if constexpr (!std::is_void_v<T>) return std::move(std::get<1>(state_));
    }

    bool failed() const noexcept { return state_.index() == 0; }
    std::exception_ptr error() const noexcept { return failed() ? std::get<0>(state_) : nullptr; }

private:
    template <std::size_t I, class... Args>
    explicit Outcome(std::in_place_index_t<I> index, Args&&... args)
        : state_(index, std::forward<Args>(args)...) {}

    std::variant<std::exception_ptr, Value> state_;
};

}  // namespace platform::detail
