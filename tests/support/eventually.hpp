#pragma once

#include "platform/async/cancellation.hpp"

#include <boost/asio/awaitable.hpp>

#include <chrono>
#include <functional>

namespace testing_support {

/// Waits, a millisecond at a time and for at most `limit`, until `condition` holds; false when it
/// never did. For outcomes that come about on the test's own runtime thread.
inline boost::asio::awaitable<bool> eventually(std::function<bool()> condition,
                                               std::chrono::steady_clock::duration limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) co_return false;
        co_await platform::sleepFor(std::chrono::milliseconds(1));
    }
    co_return true;
}

}  // namespace testing_support
