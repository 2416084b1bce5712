#pragma once

#include "platform/async/outcome.hpp"
#include "platform/async/suspend.hpp"

#include <cassert>
#include <memory>
#include <optional>

namespace platform {

/// A one-shot continuation: one waiter, resumed exactly once with a value or an error.
///
/// The waiter is resumed by posting to its own executor, never inline in `resume`. Waiting does
/// not react to cancellation of the waiting task. A second resume is ignored and returns false.
/// Copies share one state. Confined to one runtime thread.
template <class T>
class OneShot {
public:
    using Value = typename detail::Outcome<T>::Value;

    OneShot() : state_(std::make_shared<State>()) {}

    /// Suspends until resumed; returns the value or throws the error. Call at most once.
    asio::awaitable<T> wait() const { return waitOn(state_); }

    bool resume(Value value) const { return complete(detail::Outcome<T>::success(std::move(value))); }
    bool resume() const requires std::is_void_v<T> { return resume(std::monostate{}); }
    bool fail(std::exception_ptr error) const { return complete(detail::Outcome<T>::failure(std::move(error))); }

    bool isResumed() const noexcept { return state_->completed; }

private:
    struct State {
        bool completed = false;
        bool waiting = false;
        std::optional<detail::Outcome<T>> outcome;
        detail::Resume<detail::Outcome<T>> resume;
    };

    // The awaitable holds the state itself, so it may outlive this handle.
    static asio::awaitable<T> waitOn(std::shared_ptr<State> state) {
        assert(!state->waiting && "OneShot has one waiter");
        if (!state->outcome) {
            state->waiting = true;
            auto wait = detail::suspend<detail::Outcome<T>>(
                [state](detail::Resume<detail::Outcome<T>> resume) { state->resume = std::move(resume); });
            auto outcome = co_await std::move(wait);
            co_return outcome.take();
        }
        co_return state->outcome->take();
    }

    bool complete(detail::Outcome<T> outcome) const {
        if (state_->completed) return false;
        state_->completed = true;
        if (auto resume = std::move(state_->resume)) {
            state_->resume = nullptr;
            resume(std::move(outcome));
        } else {
            state_->outcome = std::move(outcome);
        }
        return true;
    }

    std::shared_ptr<State> state_;
};

}  // namespace platform
