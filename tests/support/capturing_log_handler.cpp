#include "support/capturing_log_handler.hpp"

#include "platform/describe.hpp"

#include <algorithm>

namespace testing_support {

std::optional<std::string> CapturedLogEvent::metadataText(std::string_view key) const {
    auto it = metadata.find(key);
    if (it == metadata.end()) return std::nullopt;
    return it->second.description();
}

std::optional<std::string> CapturedLogEvent::errorDescription() const {
    if (!error) return std::nullopt;
    return platform::describe(error);
}

CapturingLogHandler::CapturingLogHandler(logging::Level level) : record_(std::make_shared<Record>()), level_(level) {}

logging::Logger CapturingLogHandler::logger(std::string label) const { return logging::Logger(std::move(label), *this); }

std::vector<CapturedLogEvent> CapturingLogHandler::events() const {
    std::lock_guard lock(record_->mutex);
    return record_->events;
}

std::vector<CapturedLogEvent> CapturingLogHandler::events(
    const std::function<bool(const CapturedLogEvent&)>& predicate) const {
    std::vector<CapturedLogEvent> found;
    std::lock_guard lock(record_->mutex);
    std::copy_if(record_->events.begin(), record_->events.end(), std::back_inserter(found), predicate);
    return found;
}

std::vector<CapturedLogEvent> CapturingLogHandler::events(logging::Level level, std::string_view message) const {
    return events([&](const CapturedLogEvent& e) { return e.level == level && e.message == message; });
}

std::size_t CapturingLogHandler::count() const {
    std::lock_guard lock(record_->mutex);
    return record_->events.size();
}

std::size_t CapturingLogHandler::countOf(logging::Level level) const {
    return events([&](const CapturedLogEvent& e) { return e.level == level; }).size();
}

std::size_t CapturingLogHandler::countOf(logging::Level level, std::string_view message) const {
    return events(level, message).size();
}

std::size_t CapturingLogHandler::countOf(std::string_view message) const {
    return events([&](const CapturedLogEvent& e) { return e.message == message; }).size();
}

std::optional<CapturedLogEvent> CapturingLogHandler::first(logging::Level level, std::string_view message) const {
    auto found = events(level, message);
    if (found.empty()) return std::nullopt;
    return found.front();
}

void CapturingLogHandler::clear() {
    std::lock_guard lock(record_->mutex);
    record_->events.clear();
}

std::string CapturingLogHandler::dump() const {
    std::string text;
    for (const auto& event : events()) {
        text.append(logging::rawValue(event.level)).append(" [").append(event.source).append("] ").append(event.message);
        for (const auto& [key, value] : event.metadata) text.append(" ").append(key).append("=").append(value.description());
        text += '\n';
    }
    return text;
}

void CapturingLogHandler::log(const logging::LogEvent& event) const {
    CapturedLogEvent captured{event.level, event.message.value, metadata_, event.metadata, event.source(),
                              event.error, event.file, event.function, event.line};
    if (provider_) {
        for (auto& [key, value] : provider_->get()) captured.metadata.insert_or_assign(key, std::move(value));
    }
    if (event.metadata) {
        for (const auto& [key, value] : *event.metadata) captured.metadata.insert_or_assign(key, value);
    }
    std::lock_guard lock(record_->mutex);
    record_->events.push_back(std::move(captured));
}

std::optional<logging::MetadataValue> CapturingLogHandler::metadataValue(std::string_view key) const {
    auto it = metadata_.find(key);
    if (it == metadata_.end()) return std::nullopt;
    return it->second;
}

void CapturingLogHandler::setMetadataValue(std::string_view key, std::optional<logging::MetadataValue> value) {
    if (value) {
        metadata_.insert_or_assign(std::string(key), std::move(*value));
    } else if (auto it = metadata_.find(key); it != metadata_.end()) {
        metadata_.erase(it);
    }
}

}  // namespace testing_support
