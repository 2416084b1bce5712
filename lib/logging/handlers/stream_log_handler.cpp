#include "logging/handlers/stream_log_handler.hpp"

#include "logging/handlers/stdio_output_stream.hpp"
#include "logging/logging_system.hpp"
#include "platform/describe.hpp"

#include <cxxabi.h>

#include <cstdlib>
#include <typeinfo>

namespace logging {

namespace {

// Each entry as "key=value", joined by blanks, in key order (the map keeps its keys sorted by
// bytes, which is code-point order for UTF-8); absent for an empty map.
std::optional<std::string> prettify(const Metadata& metadata) {
    if (metadata.empty()) return std::nullopt;
    std::string text;
    for (const auto& [key, value] : metadata) {
        if (!text.empty()) text += ' ';
        text.append(key).append("=").append(value.description());
    }
    return text;
}

// The demangled name of the run-time type of the error's object ("std::runtime_error").
std::string errorTypeName(const std::exception_ptr& error) {
    const std::type_info* type = nullptr;
    try {
        std::rethrow_exception(error);
    } catch (...) {
        type = abi::__cxa_current_exception_type();
    }
    if (!type) return "Unknown";
    int status = 0;
    char* demangled = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : type->name();
    std::free(demangled);
    return name;
}

}  // namespace

StreamLogHandler StreamLogHandler::standardOutput(std::string label) {
    return StreamLogHandler(std::move(label), StdioOutputStream::stdout_());
}

StreamLogHandler StreamLogHandler::standardOutput(std::string label, std::optional<MetadataProvider> metadataProvider) {
    return StreamLogHandler(std::move(label), StdioOutputStream::stdout_(), std::move(metadataProvider));
}

StreamLogHandler StreamLogHandler::standardError(std::string label) {
    return StreamLogHandler(std::move(label), StdioOutputStream::stderr_());
}

StreamLogHandler StreamLogHandler::standardError(std::string label, std::optional<MetadataProvider> metadataProvider) {
    return StreamLogHandler(std::move(label), StdioOutputStream::stderr_(), std::move(metadataProvider));
}

StreamLogHandler::StreamLogHandler(std::string label, std::shared_ptr<TextOutputStream> stream)
    : StreamLogHandler(std::move(label), std::move(stream), LoggingSystem::metadataProvider()) {}

StreamLogHandler::StreamLogHandler(std::string label, std::shared_ptr<TextOutputStream> stream,
                                   std::optional<MetadataProvider> metadataProvider)
    : stream_(std::move(stream)), label_(std::move(label)), metadataProvider_(std::move(metadataProvider)) {}

std::optional<MetadataValue> StreamLogHandler::metadataValue(std::string_view key) const {
    auto it = metadata_.find(key);
    if (it == metadata_.end()) return std::nullopt;
    return it->second;
}

void StreamLogHandler::setMetadataValue(std::string_view key, std::optional<MetadataValue> value) {
    if (value) {
        metadata_.insert_or_assign(std::string(key), std::move(*value));
    } else if (auto it = metadata_.find(key); it != metadata_.end()) {
        metadata_.erase(it);
    }
    prettyMetadata_ = prettify(metadata_);
}

void StreamLogHandler::setMetadata(Metadata metadata) {
    metadata_ = std::move(metadata);
    prettyMetadata_ = prettify(metadata_);
}

std::optional<Metadata> StreamLogHandler::prepareMetadata(const std::optional<Metadata>& explicitMetadata,
                                                          const std::exception_ptr& error) const {
    Metadata provided = metadataProvider_ ? metadataProvider_->get() : Metadata();
    const bool hasExplicit = explicitMetadata && !explicitMetadata->empty();
    if (provided.empty() && !hasExplicit && !error) return std::nullopt;
    Metadata merged = metadata_;
    for (auto& [key, value] : provided) merged.insert_or_assign(key, std::move(value));
    if (hasExplicit) {
        for (const auto& [key, value] : *explicitMetadata) merged.insert_or_assign(key, value);
    }
    if (error) {
        merged.insert_or_assign("error.message", MetadataValue(platform::describe(error)));
        merged.insert_or_assign("error.type", MetadataValue(errorTypeName(error)));
    }
    return merged;
}

void StreamLogHandler::log(const LogEvent& event) const {
    const std::optional<Metadata> metadata = prepareMetadata(event.metadata, event.error);
    const std::optional<std::string> rendered = metadata ? prettify(*metadata) : prettyMetadata_;
    std::string line = timestamp(std::time(nullptr));
    line += ' ';
    line += rawValue(event.level);
    if (!label_.empty()) line.append(" ").append(label_);
    line += ':';
    if (rendered) line.append(" ").append(*rendered);
    line.append(" [").append(event.source()).append("] ");
    line.append(event.message.value);
    line += '\n';
    stream_->write(line);
}

void StreamLogHandler::log(Level level, const Message& message, const std::optional<Metadata>& metadata,
                           std::string_view source, std::string_view file, std::string_view function,
                           unsigned line) const {
    log(LogEvent(level, message, metadata, std::string(source), std::string(file), std::string(function), line));
}

std::string StreamLogHandler::timestamp(std::time_t now) {
    std::tm local{};
    // localtime_r: the shared buffer of localtime would race when threads log at once.
    if (!localtime_r(&now, &local)) return "<unknown>";
    char buffer[255] = {};
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S%z", &local);
    return buffer;
}

}  // namespace logging
