#include "platform/async/async_stream.hpp"
#include "platform/async/cancellation.hpp"
#include "platform/async/one_shot.hpp"
#include "platform/async/task.hpp"
#include "platform/async/task_local.hpp"

#include "support/run_async.hpp"

#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/this_coro.hpp>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace asio = boost::asio;
using namespace std::chrono_literals;
using platform::AsyncStream;
using platform::CancellationError;
using platform::OneShot;
using platform::Task;
using testing_support::runAsync;

const platform::TaskLocal<std::string> requestName{"none"};

asio::awaitable<asio::any_io_executor> currentExecutor() { co_return co_await asio::this_coro::executor; }

// Lets every task that is ready run before the caller goes on.
asio::awaitable<void> yieldTurns(int turns = 5) {
    for (int i = 0; i < turns; ++i) {
        auto executor = co_await asio::this_coro::executor;
        co_await asio::post(executor, asio::use_awaitable);
    }
}

TEST(TaskTest, SpawnNeverRunsTheChildBeforeTheCallerSuspends) {
    runAsync([]() -> asio::awaitable<void> {
        std::vector<std::string> order;
        auto executor = co_await currentExecutor();
        auto task = platform::spawn(executor, [](std::vector<std::string>* order) -> asio::awaitable<int> {
            order->push_back("child");
            co_return 7;
        }(&order));
        order.push_back("caller");
        int value = co_await task.value();
        EXPECT_EQ(value, 7);
        EXPECT_EQ(order, (std::vector<std::string>{"caller", "child"}));
    });
}

TEST(TaskTest, ValueGivesTheSameResultEveryTime) {
    runAsync([]() -> asio::awaitable<void> {
        auto executor = co_await currentExecutor();
        auto good = platform::spawn(executor, []() -> asio::awaitable<std::string> { co_return "done"; }());
        auto bad = platform::spawn(executor, []() -> asio::awaitable<void> {
            co_await platform::sleepFor(1ms);
            throw std::runtime_error("broken");
        }());
        // Two waiters before the end and one after.
        auto otherWaiter = platform::spawn(executor, [](Task<void> bad) -> asio::awaitable<std::string> {
            try {
                co_await bad.value();
            } catch (const std::runtime_error& e) {
                co_return e.what();
            }
            co_return "no error";
        }(bad));
        auto first = co_await good.value();
        auto second = co_await good.value();
        EXPECT_EQ(first, "done");
        EXPECT_EQ(second, "done");
        for (int i = 0; i < 2; ++i) {
            try {
                co_await bad.value();
                ADD_FAILURE() << "expected an error";
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "broken");
            }
        }
        auto seen = co_await otherWaiter.value();
        EXPECT_EQ(seen, "broken");
    });
}

TEST(TaskTest, CancellingASleepingTaskThrowsCancellationError) {
    runAsync([]() -> asio::awaitable<void> {
        auto executor = co_await currentExecutor();
        auto sleeper = platform::spawn(executor, []() -> asio::awaitable<void> { co_await platform::sleepFor(1h); }());
        co_await yieldTurns();
        EXPECT_FALSE(sleeper.isFinished());
        sleeper.cancel();
        EXPECT_TRUE(sleeper.isCancelled());
        EXPECT_THROW(co_await sleeper.value(), CancellationError);
    });
}

TEST(TaskTest, CancellationIsCooperative) {
    // A task cancelled before it starts runs until its first cancellation point, and awaiting
    // something that ignores cancellation still works after it.
    runAsync([]() -> asio::awaitable<void> {
        auto executor = co_await currentExecutor();
        OneShot<int> reply;
        auto task = platform::spawn(executor, [](OneShot<int> reply) -> asio::awaitable<int> {
            int value = co_await reply.wait();
            EXPECT_TRUE(platform::isCancelled());
            platform::checkCancellation();
            co_return value;
        }(reply));
        task.cancel();
        co_await yieldTurns();
        EXPECT_FALSE(task.isFinished());  // the one-shot wait ignores cancellation
        reply.resume(5);
        EXPECT_THROW(co_await task.value(), CancellationError);
    });
}

// A task's executor blocks as the executor below it does, whether that is the runtime's own or
// another kind.
TEST(TaskTest, ATasksExecutorBlocksAsTheExecutorBelowIt) {
    namespace execution = asio::execution;
    asio::io_context io;
    auto context = std::make_shared<platform::detail::TaskContext>();
    auto blocking = [&](asio::any_io_executor inner) {
        return asio::query(asio::any_io_executor(platform::detail::TaskExecutor(std::move(inner), context)),
                           execution::blocking);
    };
    EXPECT_EQ(blocking(io.get_executor()), execution::blocking.possibly);
    EXPECT_EQ(blocking(asio::require(io.get_executor(), execution::blocking.never)), execution::blocking.never);
    EXPECT_EQ(blocking(asio::prefer(io.get_executor(), execution::outstanding_work.tracked)),
              execution::blocking.possibly);
    EXPECT_EQ(blocking(asio::make_strand(io.get_executor())), execution::blocking.possibly);
    EXPECT_EQ(blocking(asio::require(asio::make_strand(io.get_executor()), execution::blocking.never)),
              execution::blocking.never);
}

// A task's executor keeps its context while any copy of it lives (held directly, inside asio's
// polymorphic executor, or made by a requirement or preference), and lets it go with the last.
TEST(TaskTest, ATasksExecutorHoldsItsContextUntilItsLastCopyGoes) {
    namespace execution = asio::execution;
    using platform::detail::TaskContext;
    using platform::detail::TaskExecutor;
    asio::io_context io;
    const auto inner = [&](int kind) -> asio::any_io_executor {
        if (kind == 0) return io.get_executor();
        if (kind == 1) return asio::prefer(io.get_executor(), execution::outstanding_work.tracked);
        return asio::make_strand(io.get_executor());
    };
    for (int kind : {0, 1, 2}) {
        SCOPED_TRACE(kind);
        auto context = std::make_shared<TaskContext>();
        std::weak_ptr<TaskContext> watched = context;
        auto other = std::make_shared<TaskContext>();
        std::optional<TaskExecutor> executor(std::in_place, inner(kind), std::move(context));
        TaskExecutor same = *executor;
        EXPECT_TRUE(same == *executor);
        EXPECT_FALSE(TaskExecutor(inner(kind), other) == *executor);
        EXPECT_EQ(same.context(), watched.lock().get());

        std::optional<asio::any_io_executor> wrapped(std::in_place, asio::require(
            asio::prefer(asio::any_io_executor(std::move(same)), execution::outstanding_work.tracked),
            execution::blocking.never));
        executor.reset();
        EXPECT_FALSE(watched.expired());
        EXPECT_EQ(wrapped->target<TaskExecutor>()->context(), watched.lock().get());
        EXPECT_EQ(asio::query(*wrapped, execution::blocking), execution::blocking.never);
        EXPECT_EQ(asio::query(*wrapped, execution::outstanding_work), execution::outstanding_work.tracked);
        wrapped.reset();
        EXPECT_TRUE(watched.expired());
    }
    // Every tracked executor was let go: the runtime has no work left and stops.
    io.run_one_for(50ms);
    EXPECT_TRUE(io.stopped());
}

TEST(TaskLocalTest, SurvivesSuspensionsAndIsInheritedButNotSharedWithSiblings) {
    runAsync([]() -> asio::awaitable<void> {
        auto executor = co_await currentExecutor();
        EXPECT_EQ(requestName.get(), "none");
        auto body = [](asio::any_io_executor executor, std::string name) -> asio::awaitable<std::string> {
            co_return co_await requestName.withValue(name, [](asio::any_io_executor executor) -> asio::awaitable<std::string> {
                co_await platform::sleepFor(2ms);
                std::string seen = requestName.get();
                auto child = platform::spawn(executor, []() -> asio::awaitable<std::string> {
                    co_await platform::sleepFor(1ms);
                    co_return requestName.get();
                }());
                auto detached = platform::spawnDetached(executor, []() -> asio::awaitable<std::string> {
                    co_return requestName.get();
                }());
                auto fromChild = co_await child.value();
                auto fromDetached = co_await detached.value();
                co_return seen + "," + fromChild + "," + fromDetached;
            }(executor));
        };
        auto a = platform::spawn(executor, body(executor, "a"));
        auto b = platform::spawn(executor, body(executor, "b"));
        auto fromA = co_await a.value();
        auto fromB = co_await b.value();
        EXPECT_EQ(fromA, "a,a,none");
        EXPECT_EQ(fromB, "b,b,none");
        EXPECT_EQ(requestName.get(), "none");
    });
}

TEST(TaskLocalTest, BindingsNestAndEndWithTheirScope) {
    runAsync([]() -> asio::awaitable<void> {
        auto inner = requestName.withValue("outer", [] {
            return requestName.withValue("inner", [] { return requestName.get(); }) + "/" + requestName.get();
        });
        EXPECT_EQ(inner, "inner/outer");
        EXPECT_EQ(requestName.get(), "none");
        try {
            co_await requestName.withValue("failing", []() -> asio::awaitable<void> {
                co_await platform::sleepFor(1ms);
                throw std::runtime_error("x");
            }());
        } catch (const std::runtime_error&) {
        }
        EXPECT_EQ(requestName.get(), "none");
        co_return;
    });
    // Outside any task the synchronous form still binds.
    EXPECT_EQ(requestName.withValue("plain", [] { return requestName.get(); }), "plain");
}

TEST(OneShotTest, ResumesExactlyOnceThroughTheWaitersExecutor) {
    asio::io_context waiterContext;
    asio::io_context resumerContext;
    OneShot<int> shot;
    std::thread::id waiterThread;
    std::thread::id resumedOn;
    auto waiter = platform::spawn(waiterContext.get_executor(), [](OneShot<int> shot, std::thread::id* resumedOn) -> asio::awaitable<int> {
        int value = co_await shot.wait();
        *resumedOn = std::this_thread::get_id();
        co_return value;
    }(shot, &resumedOn));
    waiterContext.poll();  // the waiter is now suspended
    std::thread resumer([&] {
        asio::post(resumerContext, [&] {
            EXPECT_TRUE(shot.resume(1));
            EXPECT_FALSE(shot.resume(2));
            EXPECT_FALSE(shot.fail(std::make_exception_ptr(std::runtime_error("late"))));
            EXPECT_FALSE(waiter.isFinished());  // never resumed inline
        });
        resumerContext.run();
    });
    resumer.join();
    waiterThread = std::this_thread::get_id();
    waiterContext.run();
    ASSERT_TRUE(waiter.isFinished());
    EXPECT_EQ(waiter.get(), 1);
    EXPECT_EQ(resumedOn, waiterThread);
}

TEST(OneShotTest, CarriesAnErrorAndAResumeBeforeTheWait) {
    runAsync([]() -> asio::awaitable<void> {
        OneShot<void> early;
        early.resume();
        co_await early.wait();
        OneShot<std::string> failing;
        failing.fail(std::make_exception_ptr(std::runtime_error("no reply")));
        EXPECT_THROW(co_await failing.wait(), std::runtime_error);
        EXPECT_TRUE(failing.isResumed());
    });
}

TEST(AsyncStreamTest, DeliversBufferedElementsBeforeTheEndOrTheError) {
    struct Case {
        const char* name;
        bool withError;
    };
    for (const auto& c : {Case{"End", false}, Case{"Error", true}}) {
        SCOPED_TRACE(c.name);
        runAsync([&c]() -> asio::awaitable<void> {
            AsyncStream<int> stream;
            int terminations = 0;
            stream.onTermination([&](auto how) {
                ++terminations;
                EXPECT_EQ(how, AsyncStream<int>::Termination::finished);
            });
            stream.yield(1);
            stream.yield(2);
            stream.finish(c.withError ? std::make_exception_ptr(std::runtime_error("broken")) : nullptr);
            EXPECT_FALSE(stream.yield(3));
            EXPECT_EQ(terminations, 1);
            auto first = co_await stream.next();
            auto second = co_await stream.next();
            EXPECT_EQ(first, 1);
            EXPECT_EQ(second, 2);
            if (c.withError) {
                EXPECT_THROW(co_await stream.next(), std::runtime_error);
            }
            auto end = co_await stream.next();
            EXPECT_EQ(end, std::nullopt);
            EXPECT_EQ(terminations, 1);
        });
    }
}

TEST(AsyncStreamTest, WakesAWaitingConsumer) {
    runAsync([]() -> asio::awaitable<void> {
        auto executor = co_await currentExecutor();
        AsyncStream<std::string> stream;
        auto consumer = platform::spawn(executor, [](AsyncStream<std::string> stream) -> asio::awaitable<std::vector<std::string>> {
            std::vector<std::string> seen;
            for (;;) {
                auto element = co_await stream.next();
                if (!element) co_return seen;
                seen.push_back(*element);
            }
        }(stream));
        co_await yieldTurns();
        stream.yield("a");
        co_await yieldTurns();
        stream.yield("b");
        stream.yield("c");
        stream.finish();
        auto seen = co_await consumer.value();
        EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "c"}));
    });
}

TEST(AsyncStreamTest, ACancelledConsumerSeesTheEnd) {
    for (bool waiting : {true, false}) {
        SCOPED_TRACE(waiting ? "cancelled while waiting" : "cancelled before asking");
        runAsync([waiting]() -> asio::awaitable<void> {
            auto executor = co_await currentExecutor();
            AsyncStream<int> stream;
            std::vector<AsyncStream<int>::Termination> terminations;
            stream.onTermination([&](auto how) { terminations.push_back(how); });
            if (!waiting) stream.yield(1);
            OneShot<void> go;
            auto consumer = platform::spawn(executor, [](AsyncStream<int> stream, OneShot<void> go, bool waiting) -> asio::awaitable<int> {
                if (!waiting) co_await go.wait();
                for (int count = 0;; ++count) {
                    auto element = co_await stream.next();
                    if (!element) co_return count;
                }
            }(stream, go, waiting));
            co_await yieldTurns();
            consumer.cancel();
            go.resume();
            int count = co_await consumer.value();
            EXPECT_EQ(count, 0);
            stream.finish();
            EXPECT_FALSE(stream.yield(2));
            EXPECT_EQ(terminations, (std::vector{AsyncStream<int>::Termination::cancelled}));
        });
    }
}

TEST(AsyncStreamTest, AConsumerThatGivesUpDropsTheBufferAndRefusesMore) {
    runAsync([]() -> asio::awaitable<void> {
        auto executor = co_await currentExecutor();
        AsyncStream<std::string> stream;
        std::vector<AsyncStream<std::string>::Termination> terminations;
        stream.onTermination([&](auto how) { terminations.push_back(how); });
        stream.yield("buffered");
        // The consumer's connection went away while a producer keeps writing.
        stream.cancel();
        EXPECT_FALSE(stream.yield("later"));
        auto element = co_await stream.next();
        EXPECT_EQ(element, std::nullopt);
        EXPECT_EQ(terminations, (std::vector{AsyncStream<std::string>::Termination::cancelled}));

        // A consumer waiting at the time sees the end.
        AsyncStream<int> waited;
        auto consumer = platform::spawn(executor, [](AsyncStream<int> stream) -> asio::awaitable<bool> {
            auto element = co_await stream.next();
            co_return element.has_value();
        }(waited));
        co_await yieldTurns();
        waited.cancel();
        auto gotOne = co_await consumer.value();
        EXPECT_FALSE(gotOne);
    });
}

TEST(AsyncStreamTest, ACancellationAfterTheWaitIsNotMistakenForTheStreams) {
    // The consumer's cancellation hook belongs to one wait: a cancellation while the consumer
    // waits on something else leaves the stream alone.
    runAsync([]() -> asio::awaitable<void> {
        auto executor = co_await currentExecutor();
        AsyncStream<int> stream;
        auto consumer = platform::spawn(executor, [](AsyncStream<int> stream) -> asio::awaitable<void> {
            auto first = co_await stream.next();
            EXPECT_EQ(first, 1);
            co_await platform::sleepFor(1h);
        }(stream));
        co_await yieldTurns();
        stream.yield(1);
        co_await yieldTurns();
        consumer.cancel();
        EXPECT_THROW(co_await consumer.value(), CancellationError);
        EXPECT_TRUE(stream.yield(2));
    });
}

TEST(AsyncStreamTest, DroppingAnUnfinishedStreamTerminatesItAsCancelled) {
    std::vector<AsyncStream<int>::Termination> terminations;
    {
        AsyncStream<int> stream;
        stream.onTermination([&](auto how) { terminations.push_back(how); });
    }
    EXPECT_EQ(terminations, (std::vector{AsyncStream<int>::Termination::cancelled}));
}

// Marks when the coroutine frame that holds it is destroyed.
struct FrameProbe {
    bool* destroyed;
    ~FrameProbe() { *destroyed = true; }
};

TEST(ParkedWaitTest, AWaiterThatCanNeverResumeIsUnwoundWithItsContext) {
    // The waiter holds what would resume it, so only its context going away can end it.
    struct Case {
        const char* name;
        std::function<asio::awaitable<void>(asio::any_io_executor, bool*)> waiter;
    };
    const std::vector<Case> cases{
        {"one-shot",
         [](asio::any_io_executor, bool* destroyed) -> asio::awaitable<void> {
             FrameProbe probe{destroyed};
             OneShot<int> shot;
             co_await shot.wait();
         }},
        {"stream",
         [](asio::any_io_executor, bool* destroyed) -> asio::awaitable<void> {
             FrameProbe probe{destroyed};
             AsyncStream<int> stream;
             auto element = co_await stream.next();
             EXPECT_FALSE(element);
         }},
        {"task",
         [](asio::any_io_executor executor, bool* destroyed) -> asio::awaitable<void> {
             FrameProbe probe{destroyed};
             OneShot<void> never;
             auto stuck = platform::spawn(executor, [](OneShot<void> never) -> asio::awaitable<void> {
                 co_await never.wait();
             }(never));
             co_await stuck.value();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool destroyed = false;
        {
            asio::io_context io;
            platform::spawn(io.get_executor(), c.waiter(io.get_executor(), &destroyed));
            io.poll();
            EXPECT_FALSE(destroyed);
        }
        EXPECT_TRUE(destroyed);
    }
}

TEST(ParkedWaitTest, AResumeAfterTheWaitersContextIsGoneDoesNothing) {
    OneShot<int> shot;
    bool destroyed = false;
    {
        asio::io_context io;
        platform::spawn(io.get_executor(), [](OneShot<int> shot, bool* destroyed) -> asio::awaitable<void> {
            FrameProbe probe{destroyed};
            co_await shot.wait();
            ADD_FAILURE() << "resumed after its context was destroyed";
        }(shot, &destroyed));
        io.poll();
    }
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(shot.resume(1));
}

TEST(RunAsyncTest, ReportsACoroutineThatCanNeverFinish) {
    asio::io_context io;
    OneShot<void> never;
    EXPECT_THROW(runAsync(io, [never]() -> asio::awaitable<void> { co_await never.wait(); }, 50ms), std::runtime_error);
    // Let the waiter end so that nothing is left behind.
    never.resume();
    io.restart();
    io.run();
}

}  // namespace
