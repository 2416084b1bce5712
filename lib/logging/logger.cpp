#include "logging/logger.hpp"

#include "logging/logging_system.hpp"

#include <atomic>

namespace logging {

Logger::Logger(std::string label, AnyLogHandler handler)
    : storage_(std::make_shared<Storage>(Storage{std::move(label), std::move(handler)})) {}

Logger::Logger(std::string label)
    : Logger(label, [](const std::string& name, const std::optional<MetadataProvider>& provider) {
          return LoggingSystem::factory()(name, provider);
      }) {}

Logger::Logger(std::string label, MetadataProvider provider)
    : Logger(label, [&] {
          AnyLogHandler handler = LoggingSystem::factory()(label, provider);
          handler->setMetadataProvider(provider);
          return handler;
      }()) {}

std::optional<MetadataProvider> Logger::processMetadataProvider() { return LoggingSystem::metadataProvider(); }

LogHandler& Logger::mutableHandler() {
    if (storage_.use_count() != 1) {
        storage_ = std::make_shared<Storage>(*storage_);
    } else {
        // Pairs with the release in the other copy's last reference drop, so its reads of the
        // handler happen before our writes.
        std::atomic_thread_fence(std::memory_order_acquire);
    }
    return *storage_->handler;
}

void Logger::setHandler(AnyLogHandler handler) {
    if (storage_.use_count() != 1) {
        storage_ = std::make_shared<Storage>(Storage{storage_->label, std::move(handler)});
        return;
    }
    std::atomic_thread_fence(std::memory_order_acquire);  // as in mutableHandler
    storage_->handler = std::move(handler);
}

void Logger::setLogLevel(Level level) { mutableHandler().setLogLevel(level); }

void Logger::setMetadataValue(std::string_view key, std::optional<MetadataValue> value) {
    mutableHandler().setMetadataValue(key, std::move(value));
}

void Logger::emit(Level level, const LazyMessage& message, const LazyError& error, const LazyMetadata& metadata,
                  const LazySource& source, const LogSite& site) const {
    Message text = message.get();
    std::exception_ptr failure = error.present() ? error.get() : nullptr;
    std::optional<Metadata> entries = metadata.present() ? metadata.get() : std::nullopt;
    std::optional<std::string> origin = source.present() ? std::optional<std::string>(source.get()) : std::nullopt;
    storage_->handler->log(LogEvent(level, std::move(text), std::move(failure), std::move(entries), std::move(origin),
                                    site.fileID(), std::string(site.function()), site.line()));
}

namespace {

struct TaskLocalSlot {
    // Made with the slot, so a later bootstrap does not change it.
    Logger defaultLogger{std::string()};
    platform::TaskLocal<std::optional<Logger>> local;
};

// Never destroyed, like the logging settings: a logger may be wanted while the process ends.
TaskLocalSlot& taskLocalSlot() {
    static auto* slot = new TaskLocalSlot;
    return *slot;
}

}  // namespace

const platform::TaskLocal<std::optional<Logger>>& Logger::taskLocalLogger() { return taskLocalSlot().local; }

Logger Logger::current() {
    auto& slot = taskLocalSlot();
    if (const auto& bound = slot.local.get()) return *bound;
    return slot.defaultLogger;
}

}  // namespace logging
