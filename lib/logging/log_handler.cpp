#include "logging/log_handler.hpp"

#include "logging/module_name.hpp"

namespace logging {

std::optional<MetadataProvider> LogHandler::metadataProvider() const { return std::nullopt; }

void LogHandler::setMetadataProvider(std::optional<MetadataProvider>) {}

void LogHandler::log(const LogEvent& event) const {
    log(event.level, event.message, event.metadata, event.source(), event.file, event.function, event.line);
}

void LogHandler::log(Level level, const Message& message, const std::optional<Metadata>& metadata, std::string_view,
                     std::string_view file, std::string_view function, unsigned line) const {
    log(level, message, metadata, file, function, line);
}

void LogHandler::log(Level level, const Message& message, const std::optional<Metadata>& metadata,
                     std::string_view file, std::string_view function, unsigned line) const {
    log(LogEvent(level, message, metadata, std::string(currentModuleFromFilePath(file)), std::string(file),
                 std::string(function), line));
}

}  // namespace logging
