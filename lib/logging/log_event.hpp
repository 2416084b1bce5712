#pragma once

#include "logging/level.hpp"
#include "logging/message.hpp"
#include "logging/metadata_value.hpp"

#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace logging {

/// One event as a Logger hands it to its handler.
struct LogEvent {
    LogEvent(Level level, Message message, std::optional<Metadata> metadata, std::optional<std::string> source,
             std::string file, std::string function, unsigned line);
    LogEvent(Level level, Message message, std::exception_ptr error, std::optional<Metadata> metadata,
             std::optional<std::string> source, std::string file, std::string function, unsigned line);

    /// The stored source, else the part of `file` before its first "/", else "n/a".
    std::string source() const;
    void setSource(std::string source) { storedSource = std::move(source); }

    Level level;
    Message message;
    std::exception_ptr error;  ///< null when the event carries no error
    std::optional<Metadata> metadata;  ///< the metadata given with this one call
    std::optional<std::string> storedSource;
    std::string file;  ///< the file identifier: module, "/", file name
    std::string function;
    unsigned line;
};

}  // namespace logging
