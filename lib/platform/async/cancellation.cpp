#include "platform/async/cancellation.hpp"

#include "platform/async/task_context.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>

namespace platform {

bool isCancelled() noexcept {
    auto* context = detail::currentTaskContext();
    return context && context->cancel && context->cancel->cancelled;
}

void checkCancellation() {
    if (isCancelled()) throw CancellationError{};
}

asio::awaitable<void> sleepFor(std::chrono::steady_clock::duration duration) {
    checkCancellation();
    auto executor = co_await asio::this_coro::executor;
    asio::steady_timer timer(executor, duration);
    auto [error] = co_await timer.async_wait(asio::as_tuple(asio::use_awaitable));
    if (error == asio::error::operation_aborted || isCancelled()) throw CancellationError{};
}

}  // namespace platform
