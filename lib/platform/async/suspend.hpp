#pragma once

#include "platform/async/task_context.hpp"

#include <boost/asio/associated_executor.hpp>
#include <boost/asio/async_result.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <functional>
#include <memory>
#include <utility>

namespace platform::detail {

/// Resumes one suspended coroutine with a value by posting to the coroutine's own executor, so
/// the resumer always finishes its own turn first.
template <class V>
using Resume = std::function<void(V)>;

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
            auto held = std::make_shared<Handler>(std::move(handler));
            Resume<V> resume = [executor, held](V value) {
                asio::post(executor, [held, value = std::move(value)]() mutable {
                    std::move(*held)(std::move(value));
                });
            };
            init(std::move(resume));
        },
        asio::use_awaitable);
}

}  // namespace platform::detail
