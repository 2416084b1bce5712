#pragma once

#include <cstddef>
#include <functional>

#include <boost/json/value.hpp>

namespace mcp {

/// The client engine's one switch: in strict mode it checks the server's declared capabilities
/// before sending a method that needs one. The client engine names it `Client::Configuration`.
struct ClientConfiguration {
    bool strict = false;

    /// The presets: `strict` off and on.
    static const ClientConfiguration default_;
    static const ClientConfiguration strict_;

    /// {"strict": b}, always written.
    boost::json::value toJSON() const;
    /// Requires a boolean "strict". Throws DecodingError.
    static ClientConfiguration fromJSON(const boost::json::value& json);

    bool operator==(const ClientConfiguration&) const = default;
};

inline constexpr ClientConfiguration ClientConfiguration::default_{false};
inline constexpr ClientConfiguration ClientConfiguration::strict_{true};

}  // namespace mcp

template <>
struct std::hash<mcp::ClientConfiguration> {
    std::size_t operator()(const mcp::ClientConfiguration& configuration) const noexcept {
        return std::hash<bool>{}(configuration.strict);
    }
};
