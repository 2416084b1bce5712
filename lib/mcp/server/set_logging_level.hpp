#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include <boost/json/value.hpp>

#include "mcp/base/messages.hpp"
#include "mcp/server/log_level.hpp"

namespace mcp {

/// "logging/setLevel": the client asks for a minimum severity. The engine registers no handler for
/// it; an application that honours the level registers its own.
struct SetLoggingLevel : BasicMethod<SetLoggingLevel> {
    static constexpr std::string_view name = "logging/setLevel";

    struct Parameters {
        LogLevel level;

        boost::json::value toJSON() const;
        /// Requires "level" holding one of the eight level texts.
        static Parameters fromJSON(const boost::json::value& json);
        bool operator==(const Parameters&) const = default;
    };

    using Result = Empty;
};

}  // namespace mcp

template <>
struct std::hash<mcp::SetLoggingLevel::Parameters> {
    std::size_t operator()(const mcp::SetLoggingLevel::Parameters& parameters) const noexcept {
        return std::hash<int>{}(static_cast<int>(parameters.level));
    }
};
