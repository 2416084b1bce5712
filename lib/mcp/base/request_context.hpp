#pragma once

#include <type_traits>
#include <utility>

#include <boost/asio/awaitable.hpp>

#include "mcp/base/id.hpp"
#include "platform/async/task.hpp"

namespace mcp {

/// What a non-waiting send returns: the id of the request it sent and the task that delivers the
/// outcome. Copies share the task.
template <class T>
struct RequestContext {
    RequestContext(ID requestID, platform::Task<T> requestTask)
        : requestID(std::move(requestID)), requestTask(std::move(requestTask)) {}

    ID requestID;
    platform::Task<T> requestTask;

    /// Waits for the task and gives its result or throws its error; the same outcome every time,
    /// from any task. Waiting neither starts nor cancels the request. The read holds the task
    /// itself, so it may outlive this context.
    boost::asio::awaitable<T> value() const { return waitFor(requestTask); }

private:
    // A coroutine starts when awaited, so it must own the task rather than refer to this context.
    static boost::asio::awaitable<T> waitFor(platform::Task<T> task) {
        auto outcome = task.value();
        if constexpr (std::is_void_v<T>) {
            co_await std::move(outcome);
        } else {
            co_return co_await std::move(outcome);
        }
    }
};

}  // namespace mcp
