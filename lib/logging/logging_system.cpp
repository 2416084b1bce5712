#include "logging/logging_system.hpp"

#include "logging/detail/fatal_error.hpp"
#include "logging/handlers/stream_log_handler.hpp"
#include "logging/read_write_lock.hpp"

#include <stdexcept>
#include <utility>

namespace logging {

namespace {

constexpr std::string_view kViolationMessage = "logging system can only be initialized once per process.";

/// A value behind a read-write lock: reads copy it out under the read lock.
template <class T>
class RWLockedValueBox {
public:
    explicit RWLockedValueBox(T value) : storage_(std::move(value)) {}

    T get() {
        return lock_.withReaderLock([&] { return storage_; });
    }

    template <class F>
    void withWriteAccess(F&& change) {
        lock_.withWriterLock([&] { std::forward<F>(change)(storage_); });
    }

private:
    ReadWriteLock lock_;
    T storage_;
};

/// A value that may be replaced once; a second replacement ends the process.
template <class T>
class ReplaceOnceBox {
public:
    explicit ReplaceOnceBox(T initial) : box_(ReplaceOnce{false, std::move(initial), kViolationMessage}) {}

    T get() { return box_.get().underlying; }

    void replace(T value) {
        box_.withWriteAccess([&](ReplaceOnce& state) {
            if (state.initialized) detail::fatalError(state.violationErrorMessage);
            state.underlying = std::move(value);
            state.initialized = true;
        });
    }

private:
    struct ReplaceOnce {
        bool initialized;
        T underlying;
        std::string_view violationErrorMessage;
    };

    RWLockedValueBox<ReplaceOnce> box_;
};

// The boxes are never destroyed: threads and exit handlers may still make loggers while the
// process ends.
ReplaceOnceBox<LoggingSystem::FactoryWithProvider>& factoryBox() {
    static auto* box = new ReplaceOnceBox<LoggingSystem::FactoryWithProvider>(
        [](const std::string& label, const std::optional<MetadataProvider>&) -> AnyLogHandler {
            return StreamLogHandler::standardError(label);
        });
    return *box;
}

ReplaceOnceBox<std::optional<MetadataProvider>>& providerBox() {
    static auto* box = new ReplaceOnceBox<std::optional<MetadataProvider>>(std::nullopt);
    return *box;
}

}  // namespace

void LoggingSystem::bootstrap(Factory factory) {
    if (!factory) throw std::invalid_argument("LoggingSystem::bootstrap: empty factory");
    factoryBox().replace([factory = std::move(factory)](const std::string& label, const std::optional<MetadataProvider>&) {
        return factory(label);
    });
}

void LoggingSystem::bootstrap(FactoryWithProvider factory, std::optional<MetadataProvider> metadataProvider) {
    if (!factory) throw std::invalid_argument("LoggingSystem::bootstrap: empty factory");
    providerBox().replace(std::move(metadataProvider));
    factoryBox().replace(std::move(factory));
}

std::optional<MetadataProvider> LoggingSystem::metadataProvider() { return providerBox().get(); }

LoggingSystem::FactoryWithProvider LoggingSystem::factory() { return factoryBox().get(); }

}  // namespace logging
