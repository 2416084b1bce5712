#pragma once

#include "platform/async/task.hpp"
#include "platform/async/task_context.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <memory>
#include <type_traits>
#include <utility>

namespace platform {

/// A value bound per task: a task sees the value bound around it, or the one it inherited from
/// the task that spawned it, or the default. Reading is synchronous.
///
/// Declare one as a static or global object; its address is its key.
template <class T>
class TaskLocal {
public:
    explicit TaskLocal(T defaultValue = T{}) : default_(std::move(defaultValue)) {}
    TaskLocal(const TaskLocal&) = delete;
    TaskLocal& operator=(const TaskLocal&) = delete;

    /// The value for the task running on this thread.
    const T& get() const noexcept {
        if (auto* context = detail::currentTaskContext(); context && context->locals) {
            if (const void* found = context->locals->find(this)) return *static_cast<const T*>(found);
        }
        return default_;
    }

    /// Runs `body` with the value bound; `body` must not suspend.
    template <class F>
    decltype(auto) withValue(T value, F&& body) const requires std::is_invocable_v<F&> {
        auto* context = detail::currentTaskContext();
        detail::TaskContext local;
        if (!context) context = &local;
        Rebind rebind(*context, bound(std::move(value), *context));
        detail::ContextScope scope(context);
        return std::forward<F>(body)();
    }

    /// Awaits `body` with the value bound, across all its suspensions. Tasks that `body` spawns
    /// inherit the value; other tasks never see it.
    template <class R>
    asio::awaitable<R> withValue(T value, asio::awaitable<R> body) const {
        auto* context = detail::currentTaskContext();
        if (!context) {
            // Outside any task: run the body as a task of its own so that the binding has a home.
            auto executor = co_await asio::this_coro::executor;
            auto task = detail::startTask<R>(executor, std::move(body), bound(std::move(value), detail::TaskContext{}));
            if constexpr (std::is_void_v<R>) {
                co_await task.value();
                co_return;
            } else {
                R result = co_await task.value();
                co_return result;
            }
        }
        // The task runs one coroutine at a time, so the binding can live in its context for
        // exactly as long as the body runs.
        Rebind rebind(*context, bound(std::move(value), *context));
        if constexpr (std::is_void_v<R>) {
            co_await std::move(body);
        } else {
            R result = co_await std::move(body);
            co_return result;
        }
    }

private:
    class Rebind {
    public:
        Rebind(detail::TaskContext& context, std::shared_ptr<const detail::TaskLocals> locals)
            : context_(context), previous_(std::exchange(context.locals, std::move(locals))) {}
        ~Rebind() { context_.locals = std::move(previous_); }
        Rebind(const Rebind&) = delete;
        Rebind& operator=(const Rebind&) = delete;

    private:
        detail::TaskContext& context_;
        std::shared_ptr<const detail::TaskLocals> previous_;
    };

    std::shared_ptr<const detail::TaskLocals> bound(T value, const detail::TaskContext& context) const {
        const auto& base = context.locals ? context.locals : detail::emptyLocals();
        return base->with(this, std::make_shared<const T>(std::move(value)));
    }

    T default_;
};

}  // namespace platform
