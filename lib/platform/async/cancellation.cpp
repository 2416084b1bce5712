#include "platform/async/cancellation.hpp"

#include "platform/async/task_context.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <vector>

namespace platform {

CancellationHandler::CancellationHandler(std::function<void()> onCancel) {
    auto* context = detail::currentTaskContext();
    if (!context || !context->cancellable) return;
    if (context->cancel.cancelled) {
        onCancel();
        return;
    }
    state_ = std::shared_ptr<detail::CancelState>(context->shared_from_this(), &context->cancel);
    id_ = ++state_->nextHandlerId;
    state_->handlers.emplace_back(id_, std::move(onCancel));
}

CancellationHandler::~CancellationHandler() {
    if (!state_) return;
    auto& handlers = state_->handlers;
    std::erase_if(handlers, [this](const auto& h) { return h.first == id_; });
}

bool isCancelled() noexcept {
    auto* context = detail::currentTaskContext();
    return context && context->cancel.cancelled;
}

void checkCancellation() {
    if (isCancelled()) throw CancellationError{};
}

asio::awaitable<void> sleepFor(std::chrono::steady_clock::duration duration) {
    checkCancellation();
    auto executor = co_await asio::this_coro::executor;
    asio::steady_timer timer(executor, duration);
    CancellationHandler onCancel([&timer] { timer.cancel(); });
    auto [error] = co_await timer.async_wait(asio::as_tuple(asio::use_awaitable));
    if (error == asio::error::operation_aborted || isCancelled()) throw CancellationError{};
}

}  // namespace platform
