#pragma once

#include "platform/async/task.hpp"

#include <boost/asio/io_context.hpp>

#include <chrono>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace testing_support {

namespace asio = boost::asio;

/// How long runAsync lets a coroutine run before it gives up on it.
inline constexpr std::chrono::seconds kRunAsyncLimit{30};

/// Runs the coroutine made by `makeCoroutine` as a task on `io` until it finishes, then returns
/// its value or rethrows its error. Throws std::runtime_error when it runs longer than `limit`.
template <class F>
auto runAsync(asio::io_context& io, F&& makeCoroutine, std::chrono::steady_clock::duration limit = kRunAsyncLimit) {
    auto task = platform::spawn(io.get_executor(), std::forward<F>(makeCoroutine)());
    const auto deadline = std::chrono::steady_clock::now() + limit;
    io.restart();
    while (!task.isFinished()) {
        // A spawned coroutine keeps the context busy, so only the deadline tells a hang.
        if (io.run_one_until(deadline) != 0) continue;
        if (io.stopped() && std::chrono::steady_clock::now() < deadline)
            throw std::runtime_error("runAsync: the io_context was stopped before the coroutine finished");
        if (std::chrono::steady_clock::now() >= deadline)
            throw std::runtime_error("runAsync: the coroutine did not finish in time");
    }
    return task.get();
}

/// Runs the coroutine made by `makeCoroutine` on a fresh io_context; see above.
template <class F>
auto runAsync(F&& makeCoroutine) {
    asio::io_context io;
    return runAsync(io, std::forward<F>(makeCoroutine));
}

}  // namespace testing_support
