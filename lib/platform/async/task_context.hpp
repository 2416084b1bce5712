#pragma once

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/execution.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/prefer.hpp>
#include <boost/asio/query.hpp>
#include <boost/asio/require.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace platform {

namespace asio = boost::asio;

namespace detail {

/// An immutable set of task-local bindings; a binding makes a new set.
class TaskLocals {
public:
    const void* find(const void* key) const noexcept;
    std::shared_ptr<const TaskLocals> with(const void* key, std::shared_ptr<const void> value) const;

private:
    std::vector<std::pair<const void*, std::shared_ptr<const void>>> entries_;
};

/// The cancellation state of one task, shared by the task's executor and its handle: the flag,
/// and the handlers of the cancellable operations the task is waiting on.
struct CancelState {
    bool cancelled = false;
    std::uint64_t nextHandlerId = 0;
    std::vector<std::pair<std::uint64_t, std::function<void()>>> handlers;

    /// Sets the flag and runs every registered handler once.
    void cancel();
};

/// What a task carries from one resumption to the next: its locals and its cancellation state.
/// A spawned task's context is owned by a shared_ptr and is cancellable; a context made for a
/// synchronous binding outside any task is neither.
struct TaskContext : std::enable_shared_from_this<TaskContext> {
    TaskContext() = default;

    std::shared_ptr<const TaskLocals> locals;
    bool cancellable = false;
    CancelState cancel;
};

/// The locals of a task that has none, shared by all of them.
const std::shared_ptr<const TaskLocals>& emptyLocals();

/// The context of the task running on this thread, or null outside any task.
TaskContext* currentTaskContext() noexcept;

/// Installs a task's context for the lifetime of the scope and restores the previous one.
class ContextScope {
public:
    explicit ContextScope(TaskContext* context) noexcept;
    ~ContextScope();
    ContextScope(const ContextScope&) = delete;
    ContextScope& operator=(const ContextScope&) = delete;

private:
    TaskContext* previous_;
};

/// An executor that installs its task's context around every function it runs, so that each
/// resumption of the task's coroutines sees the task's locals and cancellation state.
class TaskExecutor {
public:
    TaskExecutor(asio::any_io_executor inner, std::shared_ptr<TaskContext> context)
        : inner_(std::move(inner)), context_(std::move(context)) {}

    const asio::any_io_executor& inner() const noexcept { return inner_; }
    const std::shared_ptr<TaskContext>& context() const noexcept { return context_; }

    template <class Property>
    auto query(const Property& property) const
        -> decltype(asio::query(std::declval<const asio::any_io_executor&>(), property)) {
        // Asio asks every executor it wraps how it blocks, and the polymorphic executor gives that
        // answer on the heap: the runtime's own executor is asked directly.
        if constexpr (std::is_same_v<Property, asio::execution::blocking_t>) {
            if (auto answer = blockingOfRuntime<0, 1, 2, 3, 4, 5, 6, 7>(property)) return *answer;
        }
        return asio::query(inner_, property);
    }

    template <class Property>
    auto require(const Property& property) const
        -> std::enable_if_t<asio::can_require<const asio::any_io_executor&, const Property&>::value,
                            TaskExecutor> {
        return TaskExecutor(asio::require(inner_, property), context_);
    }

    template <class Property>
    auto prefer(const Property& property) const
        -> std::enable_if_t<asio::can_prefer<const asio::any_io_executor&, const Property&>::value,
                            TaskExecutor> {
        return TaskExecutor(asio::prefer(inner_, property), context_);
    }

    template <class Function>
    void execute(Function&& function) const {
        inner_.execute([context = context_, function = std::forward<Function>(function)]() mutable {
            ContextScope scope(context.get());
            std::move(function)();
        });
    }

    friend bool operator==(const TaskExecutor& a, const TaskExecutor& b) noexcept {
        return a.inner_ == b.inner_ && a.context_ == b.context_;
    }
    friend bool operator!=(const TaskExecutor& a, const TaskExecutor& b) noexcept { return !(a == b); }

private:
    /// How the inner executor blocks, when it is an io_context's executor with one of `Bits`.
    template <std::uintptr_t... Bits>
    std::optional<asio::execution::blocking_t> blockingOfRuntime(const asio::execution::blocking_t& property) const {
        std::optional<asio::execution::blocking_t> answer;
        (void)((answer = blockingOf<asio::io_context::basic_executor_type<std::allocator<void>, Bits>>(property)) ||
               ...);
        return answer;
    }

    template <class Executor>
    std::optional<asio::execution::blocking_t> blockingOf(const asio::execution::blocking_t& property) const {
        if (const auto* executor = inner_.target<Executor>()) return asio::query(*executor, property);
        return std::nullopt;
    }

    asio::any_io_executor inner_;
    std::shared_ptr<TaskContext> context_;
};

/// The executor below any task wrapping, so that a new task never runs inside another's context.
asio::any_io_executor unwrapExecutor(const asio::any_io_executor& executor);

}  // namespace detail
}  // namespace platform
