#pragma once

#include "logging/log_handler.hpp"

#include <string_view>

namespace logging {

/// A handler that drops everything: its level reads critical, its metadata empty, and every
/// write is ignored. A logger on it filters every call below critical before evaluating anything.
class NoOpLogHandler final : public LogHandler {
public:
    NoOpLogHandler() = default;
    explicit NoOpLogHandler(std::string_view /*label*/) {}

    void log(const LogEvent&) const override {}
    void log(Level, const Message&, const std::optional<Metadata>&, std::string_view, std::string_view,
             std::string_view, unsigned) const override {}
    void log(Level, const Message&, const std::optional<Metadata>&, std::string_view, std::string_view,
             unsigned) const override {}

    std::optional<MetadataValue> metadataValue(std::string_view) const override { return std::nullopt; }
    void setMetadataValue(std::string_view, std::optional<MetadataValue>) override {}

    Metadata metadata() const override { return {}; }
    void setMetadata(Metadata) override {}

    Level logLevel() const override { return Level::critical; }
    void setLogLevel(Level) override {}
};

}  // namespace logging
