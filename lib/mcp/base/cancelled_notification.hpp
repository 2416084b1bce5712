#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <boost/json/value.hpp>

#include "mcp/base/messages.hpp"

namespace mcp {

/// "notifications/cancelled": the sender no longer wants the answer to one of its requests.
struct CancelledNotification : BasicNotification<CancelledNotification> {
    static constexpr std::string_view name = "notifications/cancelled";

    /// Both members optional both ways, so {} is valid; a message without "params" reads as both
    /// absent. Built as `Parameters{requestId, reason}`.
    struct Parameters {
        std::optional<ID> requestId{};
        std::optional<std::string> reason{};

        boost::json::value toJSON() const;
        /// Throws DecodingError for a member of the wrong kind ("requestId": true).
        static Parameters fromJSON(const boost::json::value& json);

        bool operator==(const Parameters&) const = default;
    };
};

template <>
inline constexpr bool is_not_required_v<CancelledNotification::Parameters> = true;

}  // namespace mcp

template <>
struct std::hash<mcp::CancelledNotification::Parameters> {
    std::size_t operator()(const mcp::CancelledNotification::Parameters& parameters) const noexcept;
};
