#pragma once

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/execution/outstanding_work.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/prefer.hpp>
#include <boost/asio/this_coro.hpp>

#include "platform/async/outcome.hpp"
#include "platform/async/suspend.hpp"

namespace inkwarden {

/// The bridge from the runtime thread to the thread that owns every window and all user-facing
/// state (the Qt thread in the application, a plain thread in tests).
///
/// `post` may be called from any thread; jobs run on the main thread in the order posted, never
/// inline. `call` and `async` suspend the calling coroutine (no thread is blocked) and resume it
/// on its own executor, keeping that executor's context alive meanwhile.
///
/// Bind the operation to a local before awaiting it when the function captures anything with a
/// destructor: g++ 12 destroys such a temporary of a co_await expression twice.
///
///     auto update = mainThread.call([&status, name] { status.setLastClient(name); });
///     co_await std::move(update);
class MainThread {
public:
    using Job = std::function<void()>;

    virtual ~MainThread() = default;

    /// Runs `job` on the main thread later.
    virtual void post(Job job) = 0;

    /// True on the main thread itself.
    virtual bool isCurrent() const = 0;

    /// Runs `fn` on the main thread and gives its value or rethrows its exception.
    template <class F, class R = std::invoke_result_t<F&>>
    boost::asio::awaitable<R> call(F fn);

    /// Hands `fn`, on the main thread, a `done(R)` callback for work that ends later (a window).
    /// The first call of `done` resumes the caller; later calls are ignored. An exception thrown
    /// by `fn` is rethrown to the caller; a `done` dropped without being called fails the caller
    /// with std::runtime_error, so no caller waits forever.
    template <class R, class F>
    boost::asio::awaitable<R> async(F fn);

    template <class R>
    using Done = std::function<void(R)>;
};

namespace detail {

/// One pending resumption of a caller: resumed at most once, from any thread.
template <class R>
class MainThreadWaiter {
public:
    using Outcome = platform::detail::Outcome<R>;

    MainThreadWaiter(platform::detail::Resume<Outcome> resume, boost::asio::any_io_executor work)
        : resume_(std::move(resume)), work_(std::move(work)) {}

    ~MainThreadWaiter() {
        if (resume_) finish(Outcome::failure(std::make_exception_ptr(std::runtime_error("The main thread dropped the call"))));
    }

    void finish(Outcome outcome) {
        auto resume = std::exchange(resume_, nullptr);
        if (!resume) return;
        // The work is let go on the caller's own thread, after the resumption is queued: let go
        // here, the caller could finish and its context end while this thread still holds it.
        auto untracked = boost::asio::prefer(work_, boost::asio::execution::outstanding_work.untracked);
        boost::asio::post(untracked, [resume = std::move(resume), outcome = std::move(outcome),
                                      work = std::move(work_)]() mutable { resume(std::move(outcome)); });
    }

private:
    platform::detail::Resume<Outcome> resume_;
    boost::asio::any_io_executor work_;  // keeps the caller's context running while it waits
};

template <class R, class F>
platform::detail::Outcome<R> invokeCapturing(F& fn) {
    using Outcome = platform::detail::Outcome<R>;
    try {
        if constexpr (std::is_void_v<R>) {
            fn();
            return Outcome::success(std::monostate{});
        } else {
            return Outcome::success(fn());
        }
    } catch (...) {
        return Outcome::failure(std::current_exception());
    }
}

}  // namespace detail

template <class F, class R>
boost::asio::awaitable<R> MainThread::call(F fn) {
    using Outcome = platform::detail::Outcome<R>;
    auto executor = co_await boost::asio::this_coro::executor;
    auto work = boost::asio::prefer(executor, boost::asio::execution::outstanding_work.tracked);
    auto wait = platform::detail::suspend<Outcome>(
        [this, fn = std::make_shared<F>(std::move(fn)), work](platform::detail::Resume<Outcome> resume) mutable {
            auto waiter = std::make_shared<detail::MainThreadWaiter<R>>(std::move(resume), work);
            post([fn, waiter] { waiter->finish(detail::invokeCapturing<R>(*fn)); });
        });
    auto outcome = co_await std::move(wait);
    co_return outcome.take();
}

template <class R, class F>
boost::asio::awaitable<R> MainThread::async(F fn) {
    using Outcome = platform::detail::Outcome<R>;
    auto executor = co_await boost::asio::this_coro::executor;
    auto work = boost::asio::prefer(executor, boost::asio::execution::outstanding_work.tracked);
    auto wait = platform::detail::suspend<Outcome>(
        [this, fn = std::make_shared<F>(std::move(fn)), work](platform::detail::Resume<Outcome> resume) mutable {
            auto waiter = std::make_shared<detail::MainThreadWaiter<R>>(std::move(resume), work);
            post([fn, waiter = std::move(waiter)]() mutable {
                // Once this job returns, `done` alone holds the waiter, so dropping it fails the wait.
                Done<R> done = [waiter](R value) { waiter->finish(Outcome::success(std::move(value))); };
                try {
                    (*fn)(std::move(done));
                } catch (...) {
                    waiter->finish(Outcome::failure(std::current_exception()));
                }
            });
        });
    auto outcome = co_await std::move(wait);
    co_return outcome.take();
}

}  // namespace inkwarden
