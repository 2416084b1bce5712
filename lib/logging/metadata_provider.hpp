#pragma once

#include "logging/metadata_value.hpp"

#include <functional>
#include <memory>
#include <vector>

namespace logging {

/// Supplies metadata at the moment an event is written (a request id, a trace context). Its
/// function may be called from any thread, concurrently, and must be safe for that.
/// Spelled `Logger::MetadataProvider`. Copies share the function.
class MetadataProvider {
public:
    explicit MetadataProvider(std::function<Metadata()> provide);

    /// Calls the function.
    Metadata get() const { return (*provide_)(); }

    /// A provider that calls each of `providers` in order, skips empty results and merges the
    /// rest, a later provider winning on equal keys; the empty list gives an empty map.
    static MetadataProvider multiplex(std::vector<MetadataProvider> providers);

private:
    std::shared_ptr<const std::function<Metadata()>> provide_;
};

}  // namespace logging
