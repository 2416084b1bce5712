#pragma once

#include "logging/handlers/text_output_stream.hpp"
#include "logging/log_handler.hpp"

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace logging {

/// Writes one line per event to a text stream, by default standard error:
///
///     2024-05-01T09:30:00+0200 info worker: a=1 b=2 [MCP] hello
///
/// time stamp, level, the label when not empty, ":", the metadata sorted by key when there is
/// any, the event's source in brackets, and the message. The metadata line is the handler's own
/// metadata, then the provider's, then the call's (later wins), plus "error.message" and
/// "error.type" for an event with an error. Each line reaches the stream with a single write.
///
/// A value: each copy has its own level and metadata; copies share the stream. Any thread may log.
class StreamLogHandler final : public LogHandler {
public:
    /// Handlers on standard output or standard error, with the process-wide metadata provider
    /// or with the given one.
    static StreamLogHandler standardOutput(std::string label);
    static StreamLogHandler standardOutput(std::string label, std::optional<MetadataProvider> metadataProvider);
    static StreamLogHandler standardError(std::string label);
    static StreamLogHandler standardError(std::string label, std::optional<MetadataProvider> metadataProvider);

    /// A handler on `stream`, with the process-wide metadata provider.
    StreamLogHandler(std::string label, std::shared_ptr<TextOutputStream> stream);
    StreamLogHandler(std::string label, std::shared_ptr<TextOutputStream> stream,
                     std::optional<MetadataProvider> metadataProvider);

    using LogHandler::log;
    void log(const LogEvent& event) const override;
    void log(Level level, const Message& message, const std::optional<Metadata>& metadata, std::string_view source,
             std::string_view file, std::string_view function, unsigned line) const override;

    std::optional<MetadataProvider> metadataProvider() const override { return metadataProvider_; }
    void setMetadataProvider(std::optional<MetadataProvider> provider) override { metadataProvider_ = std::move(provider); }

    std::optional<MetadataValue> metadataValue(std::string_view key) const override;
    void setMetadataValue(std::string_view key, std::optional<MetadataValue> value) override;

    Metadata metadata() const override { return metadata_; }
    void setMetadata(Metadata metadata) override;

    Level logLevel() const override { return logLevel_; }
    void setLogLevel(Level level) override { logLevel_ = level; }

    const std::string& label() const noexcept { return label_; }

    /// The time stamp of a line at `now`: local time as "%Y-%m-%dT%H:%M:%S%z", or "<unknown>"
    /// when the time cannot be broken down.
    static std::string timestamp(std::time_t now);

private:
    std::optional<Metadata> prepareMetadata(const std::optional<Metadata>& explicitMetadata,
                                            const std::exception_ptr& error) const;

    std::shared_ptr<TextOutputStream> stream_;
    std::string label_;
    Level logLevel_ = Level::info;
    std::optional<MetadataProvider> metadataProvider_;
    std::optional<std::string> prettyMetadata_;
    Metadata metadata_;
};

}  // namespace logging
