#pragma once

#include <cstddef>
#include <functional>

#include <boost/json/value.hpp>

namespace mcp {

/// The server engine's one switch. In strict mode the server refuses traffic before the
/// "initialize" request has been answered and refuses to send a request whose capability the
/// client did not declare. The server engine names it `Server::Configuration`.
struct ServerConfiguration {
    bool strict = false;

    /// The presets: `strict` off (what the application uses) and on.
    static const ServerConfiguration default_;
    static const ServerConfiguration strict_;

    /// {"strict": b}, always written.
    boost::json::value toJSON() const;
    /// Requires a boolean "strict"; other keys are ignored. Throws DecodingError.
    static ServerConfiguration fromJSON(const boost::json::value& json);

    bool operator==(const ServerConfiguration&) const = default;
};

inline constexpr ServerConfiguration ServerConfiguration::default_{false};
inline constexpr ServerConfiguration ServerConfiguration::strict_{true};

}  // namespace mcp

template <>
struct std::hash<mcp::ServerConfiguration> {
    std::size_t operator()(const mcp::ServerConfiguration& configuration) const noexcept {
        return std::hash<bool>{}(configuration.strict);
    }
};
