#include "logging/with_logger.hpp"

#include "logging/logger.hpp"
#include "platform/async/cancellation.hpp"
#include "platform/async/task.hpp"
#include "support/capturing_log_handler.hpp"
#include "support/run_async.hpp"

#include <gtest/gtest.h>

#include <boost/asio/awaitable.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/this_coro.hpp>

#include <chrono>
#include <stdexcept>
#include <string>
#include <utility>

namespace {

namespace asio = boost::asio;
using logging::Level;
using logging::Logger;
using logging::LoggerOverrides;
using logging::MergingMetadata;
using logging::MetadataValue;
using testing_support::CapturingLogHandler;
using testing_support::runAsync;

constexpr auto kShortly = std::chrono::milliseconds(1);

Logger labelled(std::string label) { return Logger(std::move(label), CapturingLogHandler()); }

TEST(TaskLocalLoggerTest, WithoutABindingTheCurrentLoggerHasTheEmptyLabel) {
    EXPECT_EQ(Logger::current().label(), "");
    runAsync([]() -> asio::awaitable<void> {
        EXPECT_EQ(Logger::current().label(), "");
        co_return;
    });
}

TEST(TaskLocalLoggerTest, BlockingBindingLastsForTheOperation) {
    int result = Logger::withTaskLocalLogger(labelled("outer"), [] {
        EXPECT_EQ(Logger::current().label(), "outer");
        int inner = Logger::withTaskLocalLogger(labelled("inner"), [] {
            EXPECT_EQ(Logger::current().label(), "inner");
            return 2;
        });
        EXPECT_EQ(Logger::current().label(), "outer");
        return inner + 1;
    });
    EXPECT_EQ(result, 3);
    EXPECT_EQ(Logger::current().label(), "");

    EXPECT_THROW(Logger::withTaskLocalLogger(labelled("failing"), []() -> int { throw std::runtime_error("x"); }),
                 std::runtime_error);
    EXPECT_EQ(Logger::current().label(), "");
}

asio::awaitable<std::string> currentLabelAfterASuspension() {
    co_await platform::sleepFor(kShortly);
    co_return Logger::current().label();
}

TEST(TaskLocalLoggerTest, AsynchronousBindingHoldsAcrossSuspensionsAndForSpawnedTasks) {
    runAsync([]() -> asio::awaitable<void> {
        auto executor = co_await asio::this_coro::executor;
        // A task that runs alongside while the binding holds never sees it.
        auto bystander = platform::spawn(executor, []() -> asio::awaitable<std::string> {
            co_await platform::sleepFor(kShortly);
            co_await platform::sleepFor(kShortly);
            co_return Logger::current().label();
        }());
        std::string label = co_await Logger::withTaskLocalLogger(labelled("bound"), [&]() -> asio::awaitable<std::string> {
            EXPECT_EQ(Logger::current().label(), "bound");
            co_await platform::sleepFor(kShortly);
            EXPECT_EQ(Logger::current().label(), "bound");
            auto child = platform::spawn(executor, currentLabelAfterASuspension());
            std::string childLabel = co_await child.value();
            EXPECT_EQ(childLabel, "bound");
            co_return Logger::current().label();
        });
        EXPECT_EQ(label, "bound");
        EXPECT_EQ(Logger::current().label(), "");
        std::string bystanderLabel = co_await bystander.value();
        EXPECT_EQ(bystanderLabel, "");
    });
}

TEST(TaskLocalLoggerTest, AsynchronousBindingInACoroutineNotStartedAsATask) {
    asio::io_context io;
    std::string seen;
    asio::co_spawn(
        io,
        [&]() -> asio::awaitable<void> {
            std::string label =
                co_await Logger::withTaskLocalLogger(labelled("bound"), [] { return currentLabelAfterASuspension(); });
            seen = label;
        },
        asio::detached);
    io.run_for(std::chrono::seconds(10));
    EXPECT_EQ(seen, "bound");
    EXPECT_EQ(Logger::current().label(), "");
}

// Sets its flag when destroyed; a moved-from one does not.
class DestructionFlag {
public:
    explicit DestructionFlag(bool& destroyed) : destroyed_(&destroyed) {}
    DestructionFlag(const DestructionFlag& other) = default;
    DestructionFlag(DestructionFlag&& other) noexcept : destroyed_(std::exchange(other.destroyed_, nullptr)) {}
    ~DestructionFlag() {
        if (destroyed_) *destroyed_ = true;
    }
    bool destroyed() const { return !destroyed_ || *destroyed_; }

private:
    bool* destroyed_;
};

TEST(TaskLocalLoggerTest, AsynchronousOperationOutlivesTheCallThatTookIt) {
    runAsync([]() -> asio::awaitable<void> {
        // The operation is a temporary: the awaitable, awaited later, must keep it and its captures.
        bool destroyed = false;
        auto operation =
            Logger::withTaskLocalLogger(labelled("bound"), [flag = DestructionFlag(destroyed)]() -> asio::awaitable<bool> {
                co_await platform::sleepFor(kShortly);
                co_return !flag.destroyed() && Logger::current().label() == "bound";
            });
        bool intact = co_await std::move(operation);
        EXPECT_TRUE(intact);
    });
}

TEST(TaskLocalLoggerTest, AsynchronousFailurePassesThroughAndEndsTheBinding) {
    runAsync([]() -> asio::awaitable<void> {
        bool thrown = false;
        try {
            co_await Logger::withTaskLocalLogger(labelled("bound"), []() -> asio::awaitable<void> {
                co_await platform::sleepFor(kShortly);
                throw std::runtime_error("failed");
            });
        } catch (const std::runtime_error& e) {
            thrown = std::string(e.what()) == "failed";
        }
        EXPECT_TRUE(thrown);
        EXPECT_EQ(Logger::current().label(), "");
    });
}

TEST(WithLoggerTest, BindsTheLoggerAndHandsItToTheBody) {
    CapturingLogHandler handler;
    std::string label = logging::withLogger(Logger("given", handler), [](Logger logger) {
        EXPECT_EQ(Logger::current().label(), "given");
        logger.info("hello");
        return logger.label();
    });
    EXPECT_EQ(label, "given");
    EXPECT_EQ(handler.countOf(Level::info, "hello"), 1u);
    EXPECT_EQ(Logger::current().label(), "");
}

TEST(WithLoggerTest, MergingMetadataChangesOnlyTheBoundCopy) {
    CapturingLogHandler handler;
    handler.setMetadata({{"kept", "1"}});
    Logger::withTaskLocalLogger(Logger("outer", handler), [&] {
        logging::withLogger(MergingMetadata{{{"k", "v"}}}, [](Logger logger) {
            EXPECT_EQ(Logger::current().metadataValue("k"), MetadataValue("v"));
            EXPECT_EQ(logger.metadataValue("kept"), MetadataValue("1"));
            logger.info("inside");
        });
        EXPECT_EQ(Logger::current().metadataValue("k"), std::nullopt);
    });
    auto event = handler.first(Level::info, "inside");
    ASSERT_TRUE(event);
    EXPECT_EQ(event->metadataText("k"), "v");
}

TEST(WithLoggerTest, OverridesApplyTheLevelBeforeTheHandler) {
    CapturingLogHandler outer(Level::info);
    CapturingLogHandler replacement(Level::warning);
    Logger::withTaskLocalLogger(Logger("outer", outer), [&] {
        logging::withLogger(LoggerOverrides{.logLevel = Level::debug, .handler = replacement}, [](Logger logger) {
            EXPECT_EQ(logger.logLevel(), Level::warning);
            EXPECT_EQ(Logger::current().logLevel(), Level::warning);
            EXPECT_EQ(logger.label(), "outer");
        });
        logging::withLogger(LoggerOverrides{.logLevel = Level::debug, .metadata = logging::Metadata{{"m", "1"}}},
                            [](Logger logger) {
                                EXPECT_EQ(logger.logLevel(), Level::debug);
                                EXPECT_EQ(logger.handler()->metadata(), (logging::Metadata{{"m", "1"}}));
                            });
        logging::withLogger(LoggerOverrides{}, [](Logger logger) { EXPECT_EQ(logger.logLevel(), Level::info); });
        EXPECT_EQ(Logger::current().logLevel(), Level::info);
    });
}

TEST(WithLoggerTest, AsynchronousFormsHoldAcrossSuspensions) {
    CapturingLogHandler handler;
    runAsync([&]() -> asio::awaitable<void> {
        // The body takes the logger by reference: it must still be there after a suspension.
        int result = co_await logging::withLogger(Logger("async", handler), [](const Logger& logger) -> asio::awaitable<int> {
            co_await platform::sleepFor(kShortly);
            EXPECT_EQ(logger.label(), "async");
            EXPECT_EQ(Logger::current().label(), "async");
            co_return 5;
        });
        EXPECT_EQ(result, 5);
        co_await Logger::withTaskLocalLogger(Logger("async", handler), [&]() -> asio::awaitable<void> {
            MergingMetadata merging{{{"k", "v"}}};
            co_await logging::withLogger(std::move(merging), [](Logger logger) -> asio::awaitable<void> {
                co_await platform::sleepFor(kShortly);
                EXPECT_EQ(Logger::current().metadataValue("k"), MetadataValue("v"));
                logger.info("merged");
            });
            EXPECT_EQ(Logger::current().metadataValue("k"), std::nullopt);
        });
        EXPECT_EQ(Logger::current().label(), "");
    });
    EXPECT_EQ(handler.countOf(Level::info, "merged"), 1u);
}

}  // namespace
