#pragma once

#include "platform/async/cancellation.hpp"
#include "platform/async/suspend.hpp"

#include <cassert>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace platform {

/// An unbounded asynchronous sequence with one consumer and any number of producers.
///
/// `next()` gives the buffered elements first, then the end (nullopt) or the error (thrown once,
/// the end after that). A consumer whose task is cancelled sees the end and the stream ends as
/// cancelled. `onTermination` is called once: when the stream is finished, when its consumer is
/// cancelled, or when the last copy is dropped unfinished. Copies share one stream. Confined to
/// one runtime thread.
template <class T>
class AsyncStream {
public:
    enum class Termination { finished, cancelled };

    AsyncStream() : state_(std::make_shared<State>()) {}

    /// Adds an element; returns false and drops it when the stream has ended.
    bool yield(T element) const {
        auto& s = *state_;
        if (s.ended) return false;
        if (s.waiter) {
            s.resumeWaiter(std::optional<T>(std::move(element)));
        } else {
            s.buffer.push_back(std::move(element));
        }
        return true;
    }

    /// Ends the stream normally, or with `error` when it is not null.
    void finish(std::exception_ptr error = nullptr) const {
        auto& s = *state_;
        if (s.ended) return;
        s.ended = true;
        s.error = std::move(error);
        if (s.waiter && s.buffer.empty()) s.deliverEnd();
        s.terminate(Termination::finished);
    }

    /// Called by the consumer when it stops reading for good (say, its connection went away):
    /// what is buffered is dropped, later elements are refused and the stream ends as cancelled.
    void cancel() const { state_->cancel(); }

    /// The next element, or nullopt at the end; throws the stream's error once.
    asio::awaitable<std::optional<T>> next() const { return nextOf(state_); }

    /// Sets the function called once when the stream terminates; called at once if it already has.
    void onTermination(std::function<void(Termination)> handler) const {
        auto& s = *state_;
        if (s.terminated) {
            if (handler) handler(*s.terminated);
            return;
        }
        s.onTermination = std::move(handler);
    }

    bool isFinished() const noexcept { return state_->ended; }

private:
    struct Delivery {
        std::optional<T> element;
        std::exception_ptr error;
    };

    struct State {
        std::deque<T> buffer;
        bool ended = false;
        std::exception_ptr error;
        std::optional<Termination> terminated;
        std::function<void(Termination)> onTermination;
        detail::Resume<Delivery> waiter;

        ~State() { terminate(Termination::cancelled); }

        void resumeWaiter(Delivery delivery) {
            auto resume = std::exchange(waiter, nullptr);
            resume(std::move(delivery));
        }
        void resumeWaiter(std::optional<T> element) { resumeWaiter(Delivery{std::move(element), nullptr}); }

        std::optional<T> takeEnd() {
            if (auto e = std::exchange(error, nullptr)) std::rethrow_exception(e);
            return std::nullopt;
        }

        void deliverEnd() { resumeWaiter(Delivery{std::nullopt, std::exchange(error, nullptr)}); }

        void cancel() {
            ended = true;
            buffer.clear();
            error = nullptr;
            if (waiter) resumeWaiter(Delivery{});
            terminate(Termination::cancelled);
        }

        void terminate(Termination how) {
            if (terminated) return;
            terminated = how;
            if (auto handler = std::exchange(onTermination, nullptr)) handler(how);
        }
    };

    static asio::awaitable<std::optional<T>> nextOf(std::shared_ptr<State> state) {
        assert(!state->waiter && "AsyncStream has one consumer");
        if (isCancelled()) {
            state->cancel();
            co_return std::nullopt;
        }
        if (!state->buffer.empty()) {
            std::optional<T> buffered(std::move(state->buffer.front()));
            state->buffer.pop_front();
            co_return buffered;
        }
        if (state->ended) co_return state->takeEnd();
        auto wait = detail::suspend<Delivery>(
            [state](detail::Resume<Delivery> resume) { state->waiter = std::move(resume); });
        // A consumer cancelled while it waits sees the end.
        CancellationHandler onCancel([state] { state->cancel(); });
        auto delivery = co_await std::move(wait);
        if (delivery.error) std::rethrow_exception(delivery.error);
        co_return std::move(delivery.element);
    }


    std::shared_ptr<State> state_;
};

}  // namespace platform
