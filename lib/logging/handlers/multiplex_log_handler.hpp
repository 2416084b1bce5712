#pragma once

#include "logging/any_log_handler.hpp"
#include "logging/log_handler.hpp"

#include <optional>
#include <vector>

namespace logging {

/// Sends each event to several handlers, each filtering by its own level, and fans level,
/// metadata and provider changes out to all of them. A value without locks; it calls its
/// handlers on the caller's thread.
class MultiplexLogHandler final : public LogHandler {
public:
    /// Takes the handlers (at least one, in order) and the multiplex's own provider; its level is
    /// the lowest of theirs (trace for an empty list, which then logs nothing).
    explicit MultiplexLogHandler(std::vector<AnyLogHandler> handlers,
                                 std::optional<MetadataProvider> metadataProvider = std::nullopt);

    using LogHandler::log;
    void log(const LogEvent& event) const override;
    void log(Level level, const Message& message, const std::optional<Metadata>& metadata, std::string_view source,
             std::string_view file, std::string_view function, unsigned line) const override;

    /// With one handler: its provider and the multiplex's own, combined when both exist. With
    /// any other number: every handler's provider and then the own one, combined; absent when
    /// there is none.
    std::optional<MetadataProvider> metadataProvider() const override;
    /// Sets the provider of every handler; the multiplex's own stays.
    void setMetadataProvider(std::optional<MetadataProvider> provider) override;

    /// The first handler's value for `key` (providers are not asked).
    std::optional<MetadataValue> metadataValue(std::string_view key) const override;
    void setMetadataValue(std::string_view key, std::optional<MetadataValue> value) override;

    /// Every handler's metadata and provider result in order, then the own provider's; later wins.
    Metadata metadata() const override;
    void setMetadata(Metadata metadata) override;

    Level logLevel() const override { return effectiveLogLevel_; }
    /// Sets every handler's level, then the multiplex's.
    void setLogLevel(Level level) override;

    const std::vector<AnyLogHandler>& handlers() const noexcept { return handlers_; }

private:
    std::vector<AnyLogHandler> handlers_;
    Level effectiveLogLevel_;
    std::optional<MetadataProvider> metadataProvider_;
};

}  // namespace logging
