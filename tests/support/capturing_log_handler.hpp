#pragma once

#include "logging/logger.hpp"

#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

/// One event as a CapturingLogHandler recorded it.
struct CapturedLogEvent {
    logging::Level level;
    std::string message;
    /// The handler's own metadata, then its provider's, then the call's (later wins), as a
    /// writing handler would show them.
    logging::Metadata metadata;
    /// The metadata given with the call alone; absent when the call gave none.
    std::optional<logging::Metadata> callMetadata;
    std::string source;
    std::exception_ptr error;
    std::string file;
    std::string function;
    unsigned line = 0;

    /// The description of the metadata entry `key`, or absent.
    std::optional<std::string> metadataText(std::string_view key) const;
    /// The error's description, or absent when the event has none.
    std::optional<std::string> errorDescription() const;
};

/// A log handler that records every event it receives, for tests. Copies share the record
/// (so keep one and give the logger a copy), while each copy has its own level, metadata and
/// provider, as handlers do. Safe to log to from several threads.
///
///     CapturingLogHandler handler;            // level trace: records everything
///     logging::Logger logger("test", handler);
///     runTheEngine(logger);
///     EXPECT_EQ(handler.countOf(logging::Level::warning, "Failed to decode message"), 1u);
///     EXPECT_EQ(handler.events().front().metadataText("method"), "tools/call");
class CapturingLogHandler : public logging::LogHandler {
public:
    explicit CapturingLogHandler(logging::Level level = logging::Level::trace);

    /// A logger on a copy of this handler.
    logging::Logger logger(std::string label = "test") const;

    /// Everything recorded so far, oldest first.
    std::vector<CapturedLogEvent> events() const;
    /// The recorded events that match `predicate`.
    std::vector<CapturedLogEvent> events(const std::function<bool(const CapturedLogEvent&)>& predicate) const;
    /// The recorded events of `level` with exactly this message.
    std::vector<CapturedLogEvent> events(logging::Level level, std::string_view message) const;

    std::size_t count() const;
    std::size_t countOf(logging::Level level) const;
    std::size_t countOf(logging::Level level, std::string_view message) const;
    std::size_t countOf(std::string_view message) const;

    /// The first recorded event of `level` with this message, or absent.
    std::optional<CapturedLogEvent> first(logging::Level level, std::string_view message) const;

    void clear();

    /// One line per recorded event ("warning [MCP] message k=v ..."), for failure messages.
    std::string dump() const;

    using LogHandler::log;
    void log(const logging::LogEvent& event) const override;

    std::optional<logging::MetadataProvider> metadataProvider() const override { return provider_; }
    void setMetadataProvider(std::optional<logging::MetadataProvider> provider) override {
        provider_ = std::move(provider);
    }
    std::optional<logging::MetadataValue> metadataValue(std::string_view key) const override;
    void setMetadataValue(std::string_view key, std::optional<logging::MetadataValue> value) override;
    logging::Metadata metadata() const override { return metadata_; }
    void setMetadata(logging::Metadata metadata) override { metadata_ = std::move(metadata); }
    logging::Level logLevel() const override { return level_; }
    void setLogLevel(logging::Level level) override { level_ = level; }

private:
    struct Record {
        mutable std::mutex mutex;
        std::vector<CapturedLogEvent> events;
    };

    std::shared_ptr<Record> record_;
    logging::Level level_;
    logging::Metadata metadata_;
    std::optional<logging::MetadataProvider> provider_;
};

}  // namespace testing_support
