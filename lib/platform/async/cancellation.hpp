#pragma once

#include "platform/async/cancellation_error.hpp"

#include <boost/asio/awaitable.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace platform::detail {
struct CancelState;
}

namespace platform {

/// Runs `onCancel` when the task running on this thread is cancelled while this object lives, or
/// at once when it already is. `onCancel` runs inside the canceller's turn: it must only start
/// the cancellation (cancel a timer or a socket, post work), never resume a coroutine inline.
/// Outside any task it never runs. Call `checkCancellation()` before starting the operation: a
/// handler made in a task that is already cancelled runs before there is anything to cancel.
class CancellationHandler {
public:
    explicit CancellationHandler(std::function<void()> onCancel);
    ~CancellationHandler();
    CancellationHandler(const CancellationHandler&) = delete;
    CancellationHandler& operator=(const CancellationHandler&) = delete;

private:
    std::shared_ptr<detail::CancelState> state_;
    std::uint64_t id_ = 0;
};

/// True when the task running on this thread has been cancelled; false outside any task.
bool isCancelled() noexcept;

/// Throws CancellationError when the task running on this thread has been cancelled.
void checkCancellation();

/// Waits for `duration` on the steady clock; throws CancellationError when the task is cancelled
/// before or during the wait.
boost::asio::awaitable<void> sleepFor(std::chrono::steady_clock::duration duration);

}  // namespace platform
