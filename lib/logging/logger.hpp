#pragma once

#include "logging/any_log_handler.hpp"
#include "logging/attributed_string_carrier.hpp"
#include "logging/level.hpp"
#include "logging/log_arguments.hpp"
#include "logging/log_event.hpp"
#include "logging/log_handler.hpp"
#include "logging/log_site.hpp"
#include "logging/message.hpp"
#include "logging/metadata_provider.hpp"
#include "logging/metadata_value.hpp"
#include "logging/metadata_value_attributes.hpp"
#include "logging/module_name.hpp"

#include "platform/async/task_local.hpp"

#include <boost/asio/awaitable.hpp>

#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace logging {

namespace detail {
template <class T>
inline constexpr bool isAwaitable = false;
template <class T, class E>
inline constexpr bool isAwaitable<boost::asio::awaitable<T, E>> = true;

template <class T>
struct AwaitableResult;
template <class T, class E>
struct AwaitableResult<boost::asio::awaitable<T, E>> {
    using type = T;
};
}  // namespace detail

/// A labelled logger: a small value that emits structured events to its handler.
///
/// Copies share their storage until one of them changes, so a change through one copy is never
/// seen through another; copying is cheap. A logger may be copied into any thread or task;
/// concurrent use of one copy is the caller's concern.
///
/// Logging. One method per level (`trace`, `debug`, `info`, `notice`, `warning`, `error`,
/// `critical`) and `log(level, ...)`, each in these forms:
///
///     logger.debug(message);
///     logger.debug(message, metadata);
///     logger.debug(message, metadata, source);
///     logger.debug(message, error, metadata = {}, source = {});
///
/// The message is text, a Message, or a function returning either; the error is an
/// exception_ptr or a function returning one; the metadata is a braced list of entries, a
/// Metadata map, or a function returning one; the source is text or a function returning text.
/// Entry values are text, numbers, MetadataValues, exception_ptrs and std::exceptions (their
/// description), anything else Describable (a `description()` member, `operator<<`), or a
/// function returning one of them.
///
/// Nothing is evaluated before the handler's level admits the event; then the message, the
/// error, the metadata and the source are evaluated once each, in that order. The arguments are
/// only referred to until then, so a call below the level costs one read of the level and
/// allocates nothing; log freely. An expression written as an argument is still computed by
/// C++ before the call: wrap a costly one in a lambda.
///
///     logger.warning("Failed to decode message", {{"error", error}, {"size", data.size()}});
///     logger.debug("Sending response", {{"method", method}, {"id", id}});
///     logger.debug("Received", {{"text", [&] { return std::string(bytes.begin(), bytes.end()); }}});
///     logger.error("Server stopped", std::current_exception());
///
/// A trailing LogSite names the call site; by default it is the caller's file, function and
/// line, with the file identifier made of the target's module (INKWARDEN_LOG_SOURCE, "MCP" in the
/// library) or else the file's directory name, "/" and the file name. An event without an
/// explicit source reports that module as its source.
class Logger {
public:
    using Level = logging::Level;
    using Message = logging::Message;
    using Metadata = logging::Metadata;
    using MetadataValue = logging::MetadataValue;
    using MetadataProvider = logging::MetadataProvider;
    using MetadataValueAttributes = logging::MetadataValueAttributes;
    using AttributedStringCarrier = logging::AttributedStringCarrier;

    /// A logger with the given handler.
    Logger(std::string label, AnyLogHandler handler);

    /// A logger whose handler `factory` makes from the label; reads no process-wide setting.
    template <class F>
        requires std::is_invocable_r_v<AnyLogHandler, F&, const std::string&>
    Logger(std::string label, F&& factory) : Logger(label, AnyLogHandler(factory(label))) {}

    /// A logger whose handler `factory` makes from the label and the process-wide metadata provider.
    template <class F>
        requires std::is_invocable_r_v<AnyLogHandler, F&, const std::string&, const std::optional<MetadataProvider>&>
    Logger(std::string label, F&& factory) : Logger(label, AnyLogHandler(factory(label, processMetadataProvider()))) {}

    /// A logger whose handler the process-wide factory makes, given the process-wide provider.
    explicit Logger(std::string label);

    /// A logger whose handler the process-wide factory makes, given `provider`, which is then
    /// also set on the handler.
    Logger(std::string label, MetadataProvider provider);

    const std::string& label() const noexcept { return storage_->label; }

    const AnyLogHandler& handler() const noexcept { return storage_->handler; }
    void setHandler(AnyLogHandler handler);

    Level logLevel() const { return storage_->handler->logLevel(); }
    void setLogLevel(Level level);

    std::optional<MetadataProvider> metadataProvider() const { return storage_->handler->metadataProvider(); }

    /// One entry of the handler's metadata; setting absent removes it.
    std::optional<MetadataValue> metadataValue(std::string_view key) const { return storage_->handler->metadataValue(key); }
    void setMetadataValue(std::string_view key, std::optional<MetadataValue> value);

    void log(Level level, LazyMessage message, LogSite site = INKWARDEN_LOG_SITE) const {
        if (level >= logLevel()) emit(level, message, {}, {}, {}, site);
    }
    void log(Level level, LazyMessage message, LazyMetadata metadata, LogSite site = INKWARDEN_LOG_SITE) const {
        if (level >= logLevel()) emit(level, message, {}, metadata, {}, site);
    }
    void log(Level level, LazyMessage message, LazyMetadata metadata, LazySource source,
             LogSite site = INKWARDEN_LOG_SITE) const {
        if (level >= logLevel()) emit(level, message, {}, metadata, source, site);
    }
    void log(Level level, LazyMessage message, LazyError error, LazyMetadata metadata = {}, LazySource source = {},
             LogSite site = INKWARDEN_LOG_SITE) const {
        if (level >= logLevel()) emit(level, message, error, metadata, source, site);
    }

#define INKWARDEN_LOGGER_LEVEL_METHODS(name)                                                                  \
    void name(LazyMessage message, LogSite site = INKWARDEN_LOG_SITE) const { log(Level::name, message, site); } \
    void name(LazyMessage message, LazyMetadata metadata, LogSite site = INKWARDEN_LOG_SITE) const {              \
        log(Level::name, message, metadata, site);                                                            \
    }                                                                                                         \
    void name(LazyMessage message, LazyMetadata metadata, LazySource source, LogSite site = INKWARDEN_LOG_SITE) \
        const {                                                                                               \
        log(Level::name, message, metadata, source, site);                                                    \
    }                                                                                                         \
    void name(LazyMessage message, LazyError error, LazyMetadata metadata = {}, LazySource source = {},        \
              LogSite site = INKWARDEN_LOG_SITE) const {                                                      \
        log(Level::name, message, error, metadata, source, site);                                             \
    }

    INKWARDEN_LOGGER_LEVEL_METHODS(trace)
    INKWARDEN_LOGGER_LEVEL_METHODS(debug)
    INKWARDEN_LOGGER_LEVEL_METHODS(info)
    INKWARDEN_LOGGER_LEVEL_METHODS(notice)
    INKWARDEN_LOGGER_LEVEL_METHODS(warning)
    INKWARDEN_LOGGER_LEVEL_METHODS(error)
    INKWARDEN_LOGGER_LEVEL_METHODS(critical)
#undef INKWARDEN_LOGGER_LEVEL_METHODS

    /// The logger bound to the running task (the innermost binding), else the default: a
    /// logger with the empty label made through the process-wide factory on first use.
    static Logger current();

    /// Runs `operation` with `logger` bound as the current logger and returns its result; its
    /// failure passes through, and the binding ends either way. When `operation` returns an
    /// asio::awaitable the binding lasts across all its suspensions and holds for the tasks it
    /// spawns: await the returned awaitable.
    template <class Operation>
        requires std::invocable<Operation&>
    static decltype(auto) withTaskLocalLogger(Logger logger, Operation&& operation) {
        using Result = std::invoke_result_t<Operation&>;
        if constexpr (detail::isAwaitable<Result>) {
            return withTaskLocalLoggerAsync<typename detail::AwaitableResult<Result>::type>(
                std::move(logger), std::decay_t<Operation>(std::forward<Operation>(operation)));
        } else {
            return taskLocalLogger().withValue(std::optional<Logger>(std::move(logger)), std::forward<Operation>(operation));
        }
    }

    /// The task-local slot behind `current()`.
    static const platform::TaskLocal<std::optional<Logger>>& taskLocalLogger();

private:
    // Keeps the operation (a lambda's captures included) in the coroutine frame, so the
    // awaitable may be awaited after the call that made it has ended.
    template <class R, class Operation>
    static boost::asio::awaitable<R> withTaskLocalLoggerAsync(Logger logger, Operation operation) {
        auto body = operation();
        auto bound = taskLocalLogger().withValue(std::optional<Logger>(std::move(logger)), std::move(body));
        if constexpr (std::is_void_v<R>) {
            co_await std::move(bound);
        } else {
            R result = co_await std::move(bound);
            co_return result;
        }
    }

    struct Storage {
        std::string label;
        AnyLogHandler handler;
    };

    static std::optional<MetadataProvider> processMetadataProvider();

    void emit(Level level, const LazyMessage& message, const LazyError& error, const LazyMetadata& metadata,
              const LazySource& source, const LogSite& site) const;

    // The handler to change, after making the storage this copy's own.
    LogHandler& mutableHandler();

    std::shared_ptr<Storage> storage_;
};

}  // namespace logging
