#pragma once

#include "logging/any_log_handler.hpp"
#include "logging/metadata_provider.hpp"

#include <functional>
#include <optional>
#include <string>

namespace logging {

/// The process-wide settings used by loggers made from a label alone (`Logger(label)`): the
/// handler factory and the metadata provider. Until bootstrapped, the factory makes a
/// StreamLogHandler on standard error at level info, and there is no provider.
///
/// A process may bootstrap once; a second bootstrap of either form ends the process with
/// "logging system can only be initialized once per process.". Any thread may create loggers
/// while another bootstraps.
class LoggingSystem {
public:
    using Factory = std::function<AnyLogHandler(const std::string& label)>;
    using FactoryWithProvider =
        std::function<AnyLogHandler(const std::string& label, const std::optional<MetadataProvider>& provider)>;

    LoggingSystem() = delete;

    /// Sets the factory; the provider stays as it is. Throws std::invalid_argument for an empty
    /// factory.
    static void bootstrap(Factory factory);

    /// Sets the provider (absent included), then the factory.
    static void bootstrap(FactoryWithProvider factory, std::optional<MetadataProvider> metadataProvider);

    /// The process-wide metadata provider.
    static std::optional<MetadataProvider> metadataProvider();

    /// The process-wide handler factory.
    static FactoryWithProvider factory();
};

}  // namespace logging
