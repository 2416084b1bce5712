#include "platform/main_thread.hpp"

#include "support/run_async.hpp"
#include "support/test_main_thread.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

namespace inkwarden {
namespace {

namespace asio = boost::asio;
using testing_support::runAsync;
using testing_support::TestMainThread;

TEST(MainThreadTest, CallRunsOnTheMainThreadAndResumesTheCallerOnItsOwn) {
    TestMainThread main;
    auto result = runAsync([&]() -> asio::awaitable<std::pair<bool, bool>> {
        const auto caller = std::this_thread::get_id();
        bool ranOnMain = co_await main.call([&] { return main.isCurrent(); });
        co_return std::pair{ranOnMain, std::this_thread::get_id() == caller};
    });
    EXPECT_TRUE(result.first);
    EXPECT_TRUE(result.second);
}

TEST(MainThreadTest, CallRethrowsWhatTheFunctionThrew) {
    TestMainThread main;
    EXPECT_THROW(runAsync([&]() -> asio::awaitable<void> {
                     co_await main.call([]() -> int { throw std::invalid_argument("bad"); });
                 }),
                 std::invalid_argument);
    // A void function comes back too.
    int calls = 0;
    runAsync([&]() -> asio::awaitable<void> { co_await main.call([&] { ++calls; }); });
    EXPECT_EQ(calls, 1);
}

TEST(MainThreadTest, AsyncResumesOnceWithTheFirstAnswerGivenLater) {
    TestMainThread main;
    MainThread::Done<std::string> kept;
    auto answer = runAsync([&]() -> asio::awaitable<std::string> {
        co_return co_await main.async<std::string>([&](MainThread::Done<std::string> done) {
            kept = done;
            // Answered in a later turn of the main thread, twice; the second is ignored.
            main.post([&] {
                kept("first");
                kept("second");
            });
        });
    });
    EXPECT_EQ(answer, "first");
    main.run([&] { kept = nullptr; });
}

TEST(MainThreadTest, AsyncFailsTheCallerWhenDoneIsDroppedUnanswered) {
    TestMainThread main;
    EXPECT_THROW(runAsync([&]() -> asio::awaitable<int> {
                     co_return co_await main.async<int>([](MainThread::Done<int>) {});
                 }),
                 std::runtime_error);
    EXPECT_THROW(runAsync([&]() -> asio::awaitable<int> {
                     co_return co_await main.async<int>([](MainThread::Done<int>) { throw std::logic_error("no window"); });
                 }),
                 std::logic_error);
}

TEST(ManualSchedulerTest, RunsDueJobsInDeadlineOrder) {
    testing_support::ManualScheduler scheduler;
    std::string order;
    scheduler.after(std::chrono::seconds(600), [&] { order += "b"; });
    scheduler.after(std::chrono::seconds(300), [&] { order += "a"; });
    scheduler.advance(std::chrono::seconds(599));
    EXPECT_EQ(order, "a");
    scheduler.advance(std::chrono::seconds(1));
    EXPECT_EQ(order, "ab");
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

}  // namespace
}  // namespace inkwarden
