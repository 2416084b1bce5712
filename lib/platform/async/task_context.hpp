#pragma once

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/execution.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/prefer.hpp>
#include <boost/asio/query.hpp>
#include <boost/asio/require.hpp>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
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

    // The task executors' holds on this context (see holdContext).
    std::atomic<std::size_t> executorHolds{0};
    std::mutex executorHoldsMutex;
    std::shared_ptr<TaskContext> heldForExecutors;
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

/// Counted holds on a task context, for the task executors. The first hold keeps the context
/// through its own shared owner and the last one lets it go; the holds between only count.
TaskContext* holdContext(std::shared_ptr<TaskContext> context);
void retainContext(TaskContext* context) noexcept;
void releaseContext(TaskContext* context) noexcept;

/// One hold on a task context, for as long as it lives.
class ContextHold {
public:
    explicit ContextHold(TaskContext* context) noexcept : context_(context) {
        if (context_) retainContext(context_);
    }
    ContextHold(const ContextHold& other) noexcept : ContextHold(other.context_) {}
    ContextHold(ContextHold&& other) noexcept : context_(std::exchange(other.context_, nullptr)) {}
    ContextHold& operator=(const ContextHold&) = delete;
    ContextHold& operator=(ContextHold&&) = delete;
    ~ContextHold() {
        if (context_) releaseContext(context_);
    }

    TaskContext* get() const noexcept { return context_; }

private:
    TaskContext* context_;
};

/// An executor that installs its task's context around every function it runs, so that each
/// resumption of the task's coroutines sees the task's locals and cancellation state.
///
/// Asio wraps it in its polymorphic executor for each handler and each preference it asks of it,
/// and keeps it in place only when it takes three words at most: so the runtime's io_context
/// executor is held directly, any other executor through one shared copy, and the context by a
/// counted hold whose low bits say which of the three the executor holds.
class TaskExecutor {
    using Plain = asio::io_context::executor_type;
    using Tracked = decltype(asio::prefer(std::declval<const Plain&>(), asio::execution::outstanding_work.tracked));
    using Other = std::shared_ptr<const asio::any_io_executor>;

    enum class Kind : std::uintptr_t { plain = 0, tracked = 1, other = 2 };
    static constexpr std::uintptr_t kKindBits = 3;
    static_assert(alignof(TaskContext) > kKindBits);

    Kind kind() const noexcept { return static_cast<Kind>(word_ & kKindBits); }

    template <class Visitor>
    decltype(auto) visit(Visitor&& visitor) const {
        switch (kind()) {
            case Kind::plain: return visitor(plain_);
            case Kind::tracked: return visitor(tracked_);
            case Kind::other: break;
        }
        return visitor(*other_);
    }

public:
    TaskExecutor(const asio::any_io_executor& inner, std::shared_ptr<TaskContext> context) {
        if (const auto* plain = inner.target<Plain>()) place(*plain);
        else if (const auto* tracked = inner.target<Tracked>()) place(*tracked);
        else place(inner);
        // Last: nothing above may throw once the context is held.
        word_ |= reinterpret_cast<std::uintptr_t>(holdContext(std::move(context)));
    }

    TaskExecutor(const TaskExecutor& other) noexcept {
        other.copyInnerTo(*this);
        holdAlso(other.context());
    }
    TaskExecutor(TaskExecutor&& other) noexcept {
        other.moveInnerTo(*this);
        word_ |= reinterpret_cast<std::uintptr_t>(other.context());
        other.word_ &= kKindBits;
    }
    TaskExecutor& operator=(const TaskExecutor& other) noexcept {
        if (this != &other) {
            this->~TaskExecutor();
            new (this) TaskExecutor(other);
        }
        return *this;
    }
    TaskExecutor& operator=(TaskExecutor&& other) noexcept {
        if (this != &other) {
            this->~TaskExecutor();
            new (this) TaskExecutor(std::move(other));
        }
        return *this;
    }
    ~TaskExecutor() {
        switch (kind()) {
            case Kind::plain: plain_.~Plain(); break;
            case Kind::tracked: tracked_.~Tracked(); break;
            case Kind::other: other_.~Other(); break;
        }
        if (auto* context = this->context()) releaseContext(context);
    }

    asio::any_io_executor inner() const {
        return visit([](const auto& inner) { return asio::any_io_executor(inner); });
    }
    TaskContext* context() const noexcept { return reinterpret_cast<TaskContext*>(word_ & ~kKindBits); }

    template <class Property>
    auto query(const Property& property) const
        -> decltype(asio::query(std::declval<const asio::any_io_executor&>(), property)) {
        using Answer = decltype(asio::query(std::declval<const asio::any_io_executor&>(), property));
        return visit([&](const auto& inner) -> Answer { return asio::query(inner, property); });
    }

    template <class Property>
    auto require(const Property& property) const
        -> std::enable_if_t<asio::can_require<const asio::any_io_executor&, const Property&>::value,
                            TaskExecutor> {
        return visit([&](const auto& inner) { return TaskExecutor(asio::require(inner, property), context()); });
    }

    template <class Property>
    auto prefer(const Property& property) const
        -> std::enable_if_t<asio::can_prefer<const asio::any_io_executor&, const Property&>::value,
                            TaskExecutor> {
        return visit([&](const auto& inner) { return TaskExecutor(asio::prefer(inner, property), context()); });
    }

    template <class Function>
    void execute(Function&& function) const {
        visit([&](const auto& inner) {
            inner.execute([context = ContextHold(context()), function = std::forward<Function>(function)]() mutable {
                ContextScope scope(context.get());
                std::move(function)();
            });
        });
    }

    friend bool operator==(const TaskExecutor& a, const TaskExecutor& b) noexcept {
        if (a.word_ != b.word_) return false;
        switch (a.kind()) {
            case Kind::plain: return a.plain_ == b.plain_;
            case Kind::tracked: return a.tracked_ == b.tracked_;
            case Kind::other: return *a.other_ == *b.other_;
        }
        return false;
    }
    friend bool operator!=(const TaskExecutor& a, const TaskExecutor& b) noexcept { return !(a == b); }

private:
    // What a requirement or a preference gives, for the same context.
    template <class Executor>
    TaskExecutor(const Executor& inner, TaskContext* context) {
        place(inner);
        holdAlso(context);
    }

    /// Takes one more hold on a context another executor already holds.
    void holdAlso(TaskContext* context) noexcept {
        if (context) retainContext(context);
        word_ |= reinterpret_cast<std::uintptr_t>(context);
    }

    void place(const Plain& inner) noexcept {
        new (&plain_) Plain(inner);
        word_ = static_cast<std::uintptr_t>(Kind::plain);
    }
    void place(const Tracked& inner) noexcept {
        new (&tracked_) Tracked(inner);
        word_ = static_cast<std::uintptr_t>(Kind::tracked);
    }
    void place(const asio::any_io_executor& inner) {
        new (&other_) Other(std::make_shared<const asio::any_io_executor>(inner));
        word_ = static_cast<std::uintptr_t>(Kind::other);
    }

    void copyInnerTo(TaskExecutor& to) const noexcept {
        switch (kind()) {
            case Kind::plain: new (&to.plain_) Plain(plain_); break;
            case Kind::tracked: new (&to.tracked_) Tracked(tracked_); break;
            case Kind::other: new (&to.other_) Other(other_); break;
        }
        to.word_ = word_ & kKindBits;
    }
    void moveInnerTo(TaskExecutor& to) noexcept {
        switch (kind()) {
            case Kind::plain: new (&to.plain_) Plain(std::move(plain_)); break;
            case Kind::tracked: new (&to.tracked_) Tracked(std::move(tracked_)); break;
            case Kind::other: new (&to.other_) Other(std::move(other_)); break;
        }
        to.word_ = word_ & kKindBits;
    }

    std::uintptr_t word_ = 0;  // the held context, and the kind in the low bits
    union {
        Plain plain_;
        Tracked tracked_;
        Other other_;
    };
};

/// The executor below any task wrapping, so that a new task never runs inside another's context.
asio::any_io_executor unwrapExecutor(const asio::any_io_executor& executor);

}  // namespace detail
}  // namespace platform
