#pragma once

#include "platform/async/cancellation_error.hpp"
#include "platform/async/outcome.hpp"
#include "platform/async/suspend.hpp"
#include "platform/async/task_context.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/error.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/system/system_error.hpp>

#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace platform {

template <class T>
class Task;

namespace detail {

// One allocation per task: its context (locals, cancellation) and its outcome with the waiters.
template <class T>
struct TaskState : TaskContext {
    std::optional<Outcome<T>> outcome;
    std::vector<Resume<Outcome<T>>> waiters;

    void finish(Outcome<T> result) {
        outcome = std::move(result);
        auto resumes = std::move(waiters);
        waiters.clear();
        for (auto& resume : resumes) resume(*outcome);
    }
};

// An operation aborted because its task was cancelled reads as the task's cancellation.
inline std::exception_ptr asCancellation(std::exception_ptr error, const CancelState& cancel) {
    if (!cancel.cancelled) return error;
    try {
        std::rethrow_exception(error);
    } catch (const boost::system::system_error& e) {
        if (e.code() == asio::error::operation_aborted) return std::make_exception_ptr(CancellationError{});
    } catch (...) {
    }
    return error;
}

template <class T>
asio::awaitable<void> runTask(std::shared_ptr<TaskState<T>> state, asio::awaitable<T> body) {
    try {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(body);
            state->finish(Outcome<T>::success({}));
        } else {
            T value = co_await std::move(body);
            state->finish(Outcome<T>::success(std::move(value)));
        }
    } catch (...) {
        state->finish(Outcome<T>::failure(asCancellation(std::current_exception(), state->cancel)));
    }
}

template <class T>
Task<T> startTask(const asio::any_io_executor& executor, asio::awaitable<T> body,
                  std::shared_ptr<const TaskLocals> locals) {
    auto state = std::make_shared<TaskState<T>>();
    state->locals = std::move(locals);
    state->cancellable = true;
    std::shared_ptr<TaskContext> context = state;
    auto inner = unwrapExecutor(executor);
    // Post first: co_spawn on the running executor would run the child up to its first
    // suspension before returning, and callers rely on the child not having run yet.
    asio::post(inner, [inner, context = std::move(context), state, body = std::move(body)]() mutable {
        asio::co_spawn(asio::any_io_executor(TaskExecutor(inner, context)), runTask<T>(state, std::move(body)),
                       asio::detached);
    });
    return Task<T>(std::move(state));
}

}  // namespace detail

/// A handle to a spawned coroutine. Dropping the handle does not stop the task.
///
/// Copies share the task. Use from the runtime thread the task runs on.
template <class T>
class Task {
public:
    /// Waits for the task to end and gives its value or rethrows its error; may be awaited any
    /// number of times, from any task, with the same outcome. Not cancellable.
    asio::awaitable<T> value() const { return valueOf(state_); }

    /// Marks the task cancelled and runs the cancellation handlers of the operations it waits
    /// on (see CancellationHandler). Cancellation is cooperative: the task goes on until it
    /// meets a cancellation point.
    void cancel() const {
        if (state_->outcome) return;
        state_->cancel.cancel();
    }

    bool isCancelled() const noexcept { return state_->cancel.cancelled; }
    bool isFinished() const noexcept { return state_->outcome.has_value(); }

    /// The value or error of a finished task. Throws std::logic_error while it runs.
    T get() const {
        if (!state_->outcome) throw std::logic_error("Task::get on a task that has not finished");
        return state_->outcome->get();
    }

    friend bool operator==(const Task& a, const Task& b) noexcept { return a.state_ == b.state_; }

private:
    template <class U>
    friend Task<U> detail::startTask(const asio::any_io_executor&, asio::awaitable<U>,
                                     std::shared_ptr<const detail::TaskLocals>);

    explicit Task(std::shared_ptr<detail::TaskState<T>> state) : state_(std::move(state)) {}

    // The awaitable holds the state itself, so it may outlive this handle.
    static asio::awaitable<T> valueOf(std::shared_ptr<detail::TaskState<T>> state) {
        if (!state->outcome) {
            auto wait = detail::suspend<detail::Outcome<T>>(
                [state](detail::Resume<detail::Outcome<T>> resume) { state->waiters.push_back(std::move(resume)); });
            auto outcome = co_await std::move(wait);
            co_return outcome.get();
        }
        co_return state->outcome->get();
    }

    std::shared_ptr<detail::TaskState<T>> state_;
};

/// Starts `body` as a new task on `executor`. The task inherits the caller's task-locals and
/// never runs before the caller next suspends.
template <class T>
Task<T> spawn(const asio::any_io_executor& executor, asio::awaitable<T> body) {
    auto* current = detail::currentTaskContext();
    auto locals = current && current->locals ? current->locals : detail::emptyLocals();
    return detail::startTask<T>(executor, std::move(body), std::move(locals));
}

/// Starts `body` as a new task that inherits no task-locals.
template <class T>
Task<T> spawnDetached(const asio::any_io_executor& executor, asio::awaitable<T> body) {
    return detail::startTask<T>(executor, std::move(body), detail::emptyLocals());
}

}  // namespace platform
