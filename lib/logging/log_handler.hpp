#pragma once

#include "logging/level.hpp"
#include "logging/log_event.hpp"
#include "logging/message.hpp"
#include "logging/metadata_provider.hpp"
#include "logging/metadata_value.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace logging {

/// Where a Logger sends its events: keeps the level threshold, its own metadata and an optional
/// metadata provider, and writes, forwards or drops each event.
///
/// Handlers are values: a Logger holds its own copy (see AnyLogHandler), so an implementation must
/// be copyable. Events may arrive from many threads at once through copies of one Logger, so the
/// const operations must be safe to call concurrently.
///
/// The three `log` forms route to each other by default: `log(event)` calls the form with a
/// source (dropping the error), which calls the form without one, which builds an event with the
/// source taken from the file's directory and calls `log(event)`. An implementation overrides at
/// least one of them (bring the others into scope with `using LogHandler::log;`).
class LogHandler {
public:
    virtual ~LogHandler() = default;

    /// Absent by default; writing is ignored by default.
    virtual std::optional<MetadataProvider> metadataProvider() const;
    virtual void setMetadataProvider(std::optional<MetadataProvider> provider);

    virtual void log(const LogEvent& event) const;
    virtual void log(Level level, const Message& message, const std::optional<Metadata>& metadata,
                     std::string_view source, std::string_view file, std::string_view function,
                     unsigned line) const;
    virtual void log(Level level, const Message& message, const std::optional<Metadata>& metadata,
                     std::string_view file, std::string_view function, unsigned line) const;

    /// One entry of the handler's own metadata (the key subscript); writing absent removes it.
    virtual std::optional<MetadataValue> metadataValue(std::string_view key) const = 0;
    virtual void setMetadataValue(std::string_view key, std::optional<MetadataValue> value) = 0;

    virtual Metadata metadata() const = 0;
    virtual void setMetadata(Metadata metadata) = 0;

    virtual Level logLevel() const = 0;
    virtual void setLogLevel(Level level) = 0;

protected:
    LogHandler() = default;
    LogHandler(const LogHandler&) = default;
    LogHandler& operator=(const LogHandler&) = default;
};

}  // namespace logging
