#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <boost/json/value.hpp>

#include "mcp/base/messages.hpp"
#include "mcp/server/log_level.hpp"

namespace mcp {

/// "notifications/message": one log message from the server to its client.
struct LogMessageNotification : BasicNotification<LogMessageNotification> {
    static constexpr std::string_view name = "notifications/message";

    struct Parameters {
        LogLevel level;
        /// The name of the logger that produced the message.
        std::optional<std::string> logger = std::nullopt;
        /// The payload, any JSON value; null is written as null.
        Value data;

        /// "level", "logger" when present, and "data" always.
        boost::json::value toJSON() const;
        /// Requires "level" and the "data" key, whose value may be null.
        static Parameters fromJSON(const boost::json::value& json);
        bool operator==(const Parameters&) const = default;
    };
};

}  // namespace mcp

template <>
struct std::hash<mcp::LogMessageNotification::Parameters> {
    std::size_t operator()(const mcp::LogMessageNotification::Parameters& parameters) const {
        return mcp::hashValues(static_cast<int>(parameters.level), parameters.logger, parameters.data);
    }
};
