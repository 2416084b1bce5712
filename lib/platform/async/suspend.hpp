#pragma once

#include "platform/async/task_context.hpp"

#include <boost/asio/associated_cancellation_slot.hpp>
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

/// Suspends the calling coroutine and hands `init` the function that resumes it, together with
/// the coroutine's cancellation slot (left alone unless the caller wants cancellation).
template <class V, class Init>
asio::awaitable<V> suspend(Init init) {
    return asio::async_initiate<const asio::use_awaitable_t<>&, void(V)>(
        [init = std::move(init)](auto handler) mutable {
            using Handler = decltype(handler);
            auto executor = asio::get_associated_executor(handler);
            auto slot = asio::get_associated_cancellation_slot(handler);
            auto held = std::make_shared<Handler>(std::move(handler));
            Resume<V> resume = [executor, held](V value) {
                asio::post(executor, [held, value = std::move(value)]() mutable {
                    std::move(*held)(std::move(value));
                });
            };
            init(std::move(resume), slot);
        },
        asio::use_awaitable);
}

}  // namespace platform::detail
