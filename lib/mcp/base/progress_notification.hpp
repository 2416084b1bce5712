#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <boost/json/value.hpp>

#include "mcp/base/messages.hpp"
#include "mcp/base/progress_token.hpp"

namespace mcp {

/// "notifications/progress": progress on the request named by a progress token.
struct ProgressNotification : BasicNotification<ProgressNotification> {
    static constexpr std::string_view name = "notifications/progress";

    /// Built as `Parameters{token, progress, total, message}`; no "_meta".
    struct Parameters {
        ProgressToken progressToken;
        double progress;
        std::optional<double> total{};
        std::optional<std::string> message{};

        /// "progressToken" and "progress", then "total" and "message" only when present.
        boost::json::value toJSON() const;
        /// Requires "progressToken" and "progress"; other members are ignored. Throws DecodingError.
        static Parameters fromJSON(const boost::json::value& json);

        bool operator==(const Parameters&) const = default;
    };
};

}  // namespace mcp

template <>
struct std::hash<mcp::ProgressNotification::Parameters> {
    std::size_t operator()(const mcp::ProgressNotification::Parameters& parameters) const noexcept;
};
