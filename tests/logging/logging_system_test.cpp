#include "logging/logging_system.hpp"

#include "logging/handlers/stream_log_handler.hpp"
#include "logging/lock.hpp"
#include "logging/logger.hpp"
#include "logging/no_op_log_handler.hpp"
#include "logging/read_write_lock.hpp"
#include "support/capturing_log_handler.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

// Bootstrap changes the process for good, so every test that bootstraps runs in a child process
// (a death test) and reports its checks through its exit code.

namespace {

using logging::Level;
using logging::Logger;
using logging::LoggingSystem;
using logging::Metadata;
using logging::MetadataProvider;
using testing_support::CapturingLogHandler;

constexpr const char* kViolation = "Fatal error: logging system can only be initialized once per process\\.";

// In a child: ends it with status 1 and the reason when `ok` is false.
void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "check failed: %s\n", what);
    std::_Exit(1);
}

class LoggingSystemTest : public testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(LoggingSystemTest, BootstrapSetsTheFactoryAndLeavesTheProvider) {
    EXPECT_EXIT(
        {
            CapturingLogHandler handler(Level::debug);
            std::string seen;
            LoggingSystem::bootstrap([&](const std::string& label) -> logging::AnyLogHandler {
                seen = label;
                return handler;
            });
            check(!LoggingSystem::metadataProvider(), "no provider");
            Logger logger("made");
            check(seen == "made", "factory got the label");
            check(logger.logLevel() == Level::debug, "factory's handler");
            logger.debug("through");
            check(handler.countOf(Level::debug, "through") == 1, "event reached the handler");
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(LoggingSystemTest, BootstrapWithProviderPassesItToTheFactory) {
    EXPECT_EXIT(
        {
            MetadataProvider provider([] { return Metadata{{"trace", "t1"}}; });
            std::optional<MetadataProvider> given;
            LoggingSystem::bootstrap(
                [&](const std::string&, const std::optional<MetadataProvider>& p) -> logging::AnyLogHandler {
                    given = p;
                    return logging::NoOpLogHandler();
                },
                provider);
            auto current = LoggingSystem::metadataProvider();
            check(current && current->get() == Metadata{{"trace", "t1"}}, "process-wide provider");
            Logger logger("x");
            check(given && given->get() == Metadata{{"trace", "t1"}}, "factory got the provider");
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(LoggingSystemTest, DefaultStreamHandlerTakesTheProcessWideProvider) {
    EXPECT_EXIT(
        {
            LoggingSystem::bootstrap(
                [](const std::string& label, const std::optional<MetadataProvider>&) -> logging::AnyLogHandler {
                    return logging::StreamLogHandler::standardError(label);
                },
                MetadataProvider([] { return Metadata{{"p", "1"}}; }));
            Logger logger("x");
            auto provider = logger.metadataProvider();
            check(provider && provider->get() == Metadata{{"p", "1"}}, "stream handler has the provider");
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(LoggingSystemTest, SecondBootstrapEndsTheProcess) {
    auto factory = [](const std::string&) -> logging::AnyLogHandler { return logging::NoOpLogHandler(); };
    auto withProvider = [](const std::string&, const std::optional<MetadataProvider>&) -> logging::AnyLogHandler {
        return logging::NoOpLogHandler();
    };
    EXPECT_DEATH(
        {
            LoggingSystem::bootstrap(factory);
            LoggingSystem::bootstrap(factory);
        },
        kViolation);
    EXPECT_DEATH(
        {
            LoggingSystem::bootstrap(withProvider, std::nullopt);
            LoggingSystem::bootstrap(withProvider, std::nullopt);
        },
        kViolation);
    // The provider box is still free here and is set; the factory box stops the process.
    EXPECT_DEATH(
        {
            LoggingSystem::bootstrap(factory);
            LoggingSystem::bootstrap(withProvider, MetadataProvider([] { return Metadata{}; }));
        },
        kViolation);
}

TEST_F(LoggingSystemTest, EmptyFactoryIsRefused) {
    EXPECT_THROW(LoggingSystem::bootstrap(LoggingSystem::Factory()), std::invalid_argument);
}

TEST_F(LoggingSystemTest, SettingsOutliveStaticDestruction) {
    // A handler registered before the settings are first used runs after anything they made on
    // first use has been destroyed at exit; a thread still creating loggers then is in the same place.
    EXPECT_EXIT(
        {
            std::atexit([] {
                for (int i = 0; i < 3; ++i) {
                    Logger late("late");
                    late.info("at exit");
                    Logger::current().info("at exit");
                }
                std::_Exit(LoggingSystem::metadataProvider() ? 1 : 0);
            });
            LoggingSystem::bootstrap([](const std::string& label) -> logging::AnyLogHandler {
                return logging::StreamLogHandler::standardError(label);
            });
            Logger("first").info("before exit");
            Logger::current().info("before exit");
            std::exit(0);
        },
        testing::ExitedWithCode(0), "at exit");
}

TEST(LockTest, WithLockReturnsTheResultAndReleasesOnFailure) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A lock left held would block the second withLock; the alarm turns that hang into a failure.
    EXPECT_EXIT(
        {
            alarm(10);
            logging::Lock lock;
            check(lock.withLock([] { return 7; }) == 7, "result");
            try {
                lock.withLockVoid([] { throw std::runtime_error("body failed"); });
                check(false, "failure passes through");
            } catch (const std::runtime_error&) {
            }
            lock.withLock([] {});

            logging::ReadWriteLock rwlock;
            try {
                rwlock.withWriterLock([]() -> int { throw std::runtime_error("body failed"); });
            } catch (const std::runtime_error&) {
            }
            rwlock.lockRead();
            rwlock.lockRead();  // readers share
            rwlock.unlock();
            rwlock.unlock();
            check(rwlock.withWriterLock([] { return 3; }) == 3, "writer after readers");
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
