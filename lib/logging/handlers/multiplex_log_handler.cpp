#include "logging/handlers/multiplex_log_handler.hpp"

#include <algorithm>

namespace logging {

MultiplexLogHandler::MultiplexLogHandler(std::vector<AnyLogHandler> handlers,
                                         std::optional<MetadataProvider> metadataProvider)
    : handlers_(std::move(handlers)), effectiveLogLevel_(Level::trace), metadataProvider_(std::move(metadataProvider)) {
    if (handlers_.empty()) return;
    effectiveLogLevel_ = Level::critical;
    for (const auto& handler : handlers_) effectiveLogLevel_ = std::min(effectiveLogLevel_, handler->logLevel());
}

void MultiplexLogHandler::log(const LogEvent& event) const {
    for (const auto& handler : handlers_) {
        if (event.level >= handler->logLevel()) handler->log(event);
    }
}

void MultiplexLogHandler::log(Level level, const Message& message, const std::optional<Metadata>& metadata,
                              std::string_view source, std::string_view file, std::string_view function,
                              unsigned line) const {
    log(LogEvent(level, message, metadata, std::string(source), std::string(file), std::string(function), line));
}

std::optional<MetadataProvider> MultiplexLogHandler::metadataProvider() const {
    if (handlers_.size() == 1) {
        auto own = handlers_.front()->metadataProvider();
        if (!own) return metadataProvider_;
        if (!metadataProvider_) return own;
        return MetadataProvider::multiplex({*own, *metadataProvider_});
    }
    std::vector<MetadataProvider> providers;
    for (const auto& handler : handlers_) {
        if (auto provider = handler->metadataProvider()) providers.push_back(std::move(*provider));
    }
    if (metadataProvider_) providers.push_back(*metadataProvider_);
    if (providers.empty()) return std::nullopt;
    return MetadataProvider::multiplex(std::move(providers));
}

void MultiplexLogHandler::setMetadataProvider(std::optional<MetadataProvider> provider) {
    for (auto& handler : handlers_) handler->setMetadataProvider(provider);
}

std::optional<MetadataValue> MultiplexLogHandler::metadataValue(std::string_view key) const {
    for (const auto& handler : handlers_) {
        if (auto value = handler->metadataValue(key)) return value;
    }
    return std::nullopt;
}

void MultiplexLogHandler::setMetadataValue(std::string_view key, std::optional<MetadataValue> value) {
    for (auto& handler : handlers_) handler->setMetadataValue(key, value);
}

Metadata MultiplexLogHandler::metadata() const {
    Metadata merged;
    auto mergeIn = [&merged](Metadata more) {
        for (auto& [key, value] : more) merged.insert_or_assign(key, std::move(value));
    };
    for (const auto& handler : handlers_) {
        mergeIn(handler->metadata());
        if (auto provider = handler->metadataProvider()) mergeIn(provider->get());
    }
    if (metadataProvider_) mergeIn(metadataProvider_->get());
    return merged;
}

void MultiplexLogHandler::setMetadata(Metadata metadata) {
    for (auto& handler : handlers_) handler->setMetadata(metadata);
}

void MultiplexLogHandler::setLogLevel(Level level) {
    for (auto& handler : handlers_) handler->setLogLevel(level);
    effectiveLogLevel_ = level;
}

}  // namespace logging
