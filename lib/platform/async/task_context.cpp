#include "platform/async/task_context.hpp"

#include <algorithm>

namespace platform::detail {

namespace {
thread_local TaskContext* current = nullptr;
}  // namespace

const void* TaskLocals::find(const void* key) const noexcept {
    auto it = std::find_if(entries_.begin(), entries_.end(), [key](const auto& e) { return e.first == key; });
    return it == entries_.end() ? nullptr : it->second.get();
}

std::shared_ptr<const TaskLocals> TaskLocals::with(const void* key, std::shared_ptr<const void> value) const {
    auto copy = std::make_shared<TaskLocals>(*this);
    auto it = std::find_if(copy->entries_.begin(), copy->entries_.end(),
                           [key](const auto& e) { return e.first == key; });
    if (it == copy->entries_.end()) {
        copy->entries_.emplace_back(key, std::move(value));
    } else {
        it->second = std::move(value);
    }
    return copy;
}

void CancelState::cancel() {
    if (cancelled) return;
    cancelled = true;
    // A handler may unregister itself or others while it runs.
    auto pending = handlers;
    for (auto& [id, handler] : pending) {
        bool stillRegistered = std::any_of(handlers.begin(), handlers.end(), [id = id](const auto& h) { return h.first == id; });
        if (stillRegistered) handler();
    }
}

TaskContext* currentTaskContext() noexcept { return current; }

TaskContext* holdContext(std::shared_ptr<TaskContext> context) {
    auto* held = context.get();
    if (!held) return nullptr;
    // The first hold may meet the last one of an earlier run of holds letting go: the lock orders
    // the two, so the context is never let go while held.
    std::lock_guard lock(held->executorHoldsMutex);
    if (held->executorHolds.fetch_add(1, std::memory_order_relaxed) == 0) held->heldForExecutors = std::move(context);
    return held;
}

void retainContext(TaskContext* context) noexcept { context->executorHolds.fetch_add(1, std::memory_order_relaxed); }

void releaseContext(TaskContext* context) noexcept {
    if (context->executorHolds.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    std::shared_ptr<TaskContext> last;
    {
        std::lock_guard lock(context->executorHoldsMutex);
        if (context->executorHolds.load(std::memory_order_acquire) == 0) last = std::move(context->heldForExecutors);
    }
    // `last` may be the context's last owner: it goes after the lock is released.
}

const std::shared_ptr<const TaskLocals>& emptyLocals() {
    static const std::shared_ptr<const TaskLocals> empty = std::make_shared<const TaskLocals>();
    return empty;
}

ContextScope::ContextScope(TaskContext* context) noexcept : previous_(current) { current = context; }

ContextScope::~ContextScope() { current = previous_; }

asio::any_io_executor unwrapExecutor(const asio::any_io_executor& executor) {
    if (const auto* task = executor.target<TaskExecutor>()) return task->inner();
    return executor;
}

}  // namespace platform::detail
