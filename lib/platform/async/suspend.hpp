#pragma once

#include "platform/async/task_context.hpp"

#include <boost/asio/associated_executor.hpp>
#include <boost/asio/async_result.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/execution/context.hpp>
#include <boost/asio/execution_context.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/query.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace platform::detail {

/// Resumes one suspended coroutine with a value by posting to the coroutine's own executor, so
/// the resumer always finishes its own turn first.
template <class V>
using Resume = std::function<void(V)>;

/// One suspended coroutine's handler, kept outside the io_context (in a one-shot, a stream, a
/// task's waiters). Linked into its context's ParkedWaits while it waits.
struct Parked {
    Parked* previous = nullptr;
    Parked* next = nullptr;
    bool linked = false;

    virtual ~Parked() = default;
    /// Moves the handler out; the registry's lock is held.
    virtual std::shared_ptr<void> takeLocked() = 0;
};

struct ParkedList {
    std::mutex mutex;
    bool closed = false;
    Parked* head = nullptr;

    void link(Parked& parked) {
        parked.next = head;
        if (head) head->previous = &parked;
        head = &parked;
        parked.linked = true;
    }
    void unlink(Parked& parked) {
        if (!parked.linked) return;
        if (parked.previous) parked.previous->next = parked.next;
        else head = parked.next;
        if (parked.next) parked.next->previous = parked.previous;
        parked.previous = parked.next = nullptr;
        parked.linked = false;
    }
};

/// The waits parked on one execution context. A parked handler holds its coroutine and the
/// coroutine often holds what parks it (its one-shot, its stream), a cycle the context cannot
/// see: when the context shuts down, the handlers are destroyed as its own pending operations
/// are, so the coroutines unwind instead of leaking, and a late resume does nothing.
class ParkedWaits : public asio::execution_context::service {
public:
    inline static asio::execution_context::id id;

    explicit ParkedWaits(asio::execution_context& context)
        : asio::execution_context::service(context), list_(std::make_shared<ParkedList>()) {}

    const std::shared_ptr<ParkedList>& list() const noexcept { return list_; }

private:
    void shutdown() override {
        for (;;) {
            std::shared_ptr<void> handler;
            {
                std::lock_guard lock(list_->mutex);
                list_->closed = true;
                if (!list_->head) return;
                auto& parked = *list_->head;
                list_->unlink(parked);
                handler = parked.takeLocked();
            }
            // Destroyed unlocked: the unwinding may drop other parked waits.
        }
    }

    std::shared_ptr<ParkedList> list_;
};

template <class Handler>
class ParkedHandler final : public Parked {
public:
    ParkedHandler(std::shared_ptr<ParkedList> list, Handler handler)
        : list_(std::move(list)), handler_(std::move(handler)) {
        std::lock_guard lock(list_->mutex);
        if (!list_->closed) list_->link(*this);
    }
    ~ParkedHandler() override {
        std::lock_guard lock(list_->mutex);
        list_->unlink(*this);
    }

    std::optional<Handler> take() {
        std::lock_guard lock(list_->mutex);
        list_->unlink(*this);
        return std::exchange(handler_, std::nullopt);
    }

    std::shared_ptr<void> takeLocked() override {
        if (!handler_) return nullptr;
        auto handler = std::make_shared<Handler>(std::move(*handler_));
        handler_.reset();
        return handler;
    }

private:
    std::shared_ptr<ParkedList> list_;
    std::optional<Handler> handler_;
};

/// Suspends the calling coroutine and hands `init` the function that resumes it.
///
/// Bind the result to a local before awaiting it: g++ 12 destroys a capturing lambda that is a
/// temporary of a co_await expression twice.
template <class V, class Init>
asio::awaitable<V> suspend(Init init) {
    return asio::async_initiate<const asio::use_awaitable_t<>&, void(V)>(
        [init = std::move(init)](auto handler) mutable {
            using Handler = decltype(handler);
            auto executor = asio::get_associated_executor(handler);
            auto& context = asio::query(executor, asio::execution::context);
            auto list = asio::use_service<ParkedWaits>(context).list();
            auto parked = std::make_shared<ParkedHandler<Handler>>(std::move(list), std::move(handler));
            Resume<V> resume = [parked](V value) {
                auto handler = parked->take();
                // Nothing to resume once the waiter's context has shut down.
                if (!handler) return;
                auto executor = asio::get_associated_executor(*handler);
                asio::post(executor, [handler = std::move(*handler), value = std::move(value)]() mutable {
                    std::move(handler)(std::move(value));
                });
            };
            init(std::move(resume));
        },
        asio::use_awaitable);
}

}  // namespace platform::detail
