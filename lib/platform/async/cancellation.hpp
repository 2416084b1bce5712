#pragma once

#include "platform/async/cancellation_error.hpp"

#include <boost/asio/awaitable.hpp>

#include <chrono>

namespace platform {

/// True when the task running on this thread has been cancelled; false outside any task.
bool isCancelled() noexcept;

/// Throws CancellationError when the task running on this thread has been cancelled.
void checkCancellation();

/// Waits for `duration` on the steady clock; throws CancellationError when the task is cancelled
/// before or during the wait.
boost::asio::awaitable<void> sleepFor(std::chrono::steady_clock::duration duration);

}  // namespace platform
