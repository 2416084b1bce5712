#pragma once

#include "logging/any_log_handler.hpp"
#include "logging/logger.hpp"

#include <concepts>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

// Run a body with a logger bound as the task's current logger (Logger::current()) and handed to
// it. A body returning an asio::awaitable makes the asynchronous form: await the result, and the
// binding lasts across the body's suspensions and holds for the tasks it spawns. Each returns
// the body's result and passes its failure on unchanged.

namespace logging {

/// Entries to merge into the current logger's handler metadata.
struct MergingMetadata {
    Metadata entries;
};

/// Changes to the current logger, applied in this order: the level, then the handler (which
/// keeps its own level), then the handler's whole metadata.
struct LoggerOverrides {
    std::optional<Level> logLevel = std::nullopt;
    std::optional<AnyLogHandler> handler = std::nullopt;
    std::optional<Metadata> metadata = std::nullopt;
};

namespace detail {

// Holds the logger and the body in the coroutine frame, so a body taking the logger by
// reference still finds it after withLogger has returned.
template <class R, class Body>
boost::asio::awaitable<R> withLoggerAsync(Logger logger, Body body) {
    auto operation = [&body, &logger] { return body(logger); };
    if constexpr (std::is_void_v<R>) {
        co_await Logger::withTaskLocalLogger(logger, operation);
    } else {
        R result = co_await Logger::withTaskLocalLogger(logger, operation);
        co_return result;
    }
}

}  // namespace detail

/// Binds `logger` and calls `body(logger)`.
template <class Body>
    requires std::invocable<Body&, Logger>
decltype(auto) withLogger(Logger logger, Body&& body) {
    using Result = std::invoke_result_t<Body&, Logger>;
    if constexpr (detail::isAwaitable<Result>) {
        return detail::withLoggerAsync<typename detail::AwaitableResult<Result>::type>(
            std::move(logger), std::decay_t<Body>(std::forward<Body>(body)));
    } else {
        return Logger::withTaskLocalLogger(logger, [&body, &logger]() -> decltype(auto) { return body(logger); });
    }
}

/// Binds a copy of the current logger with each entry written into its handler's metadata.
template <class Body>
    requires std::invocable<Body&, Logger>
decltype(auto) withLogger(MergingMetadata merging, Body&& body) {
    Logger logger = Logger::current();
    for (auto& [key, value] : merging.entries) logger.setMetadataValue(key, std::move(value));
    return withLogger(std::move(logger), std::forward<Body>(body));
}

/// Binds a copy of the current logger with `overrides` applied.
template <class Body>
    requires std::invocable<Body&, Logger>
decltype(auto) withLogger(LoggerOverrides overrides, Body&& body) {
    Logger logger = Logger::current();
    if (overrides.logLevel) logger.setLogLevel(*overrides.logLevel);
    if (overrides.handler) logger.setHandler(std::move(*overrides.handler));
    if (overrides.metadata) {
        AnyLogHandler handler = logger.handler();
        handler->setMetadata(std::move(*overrides.metadata));
        logger.setHandler(std::move(handler));
    }
    return withLogger(std::move(logger), std::forward<Body>(body));
}

}  // namespace logging
