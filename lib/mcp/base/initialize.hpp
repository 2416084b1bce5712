#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <boost/json/value.hpp>

#include "mcp/base/client_capabilities.hpp"
#include "mcp/base/client_info.hpp"
#include "mcp/base/messages.hpp"
#include "mcp/base/metadata.hpp"
#include "mcp/base/server_capabilities.hpp"
#include "mcp/base/server_info.hpp"

namespace mcp {

/// "initialize": the client's opening request of the handshake.
struct Initialize : BasicMethod<Initialize> {
    static constexpr std::string_view name = "initialize";

    /// What the client asks for and offers. Built as `Parameters{protocolVersion, capabilities, clientInfo}`.
    struct Parameters {
        std::string protocolVersion;
        ClientCapabilities capabilities;
        ClientInfo clientInfo;

        /// All three members, always.
        boost::json::value toJSON() const;
        /// Lenient: an absent or null member takes its default (the latest version, no
        /// capabilities, a client "unknown" of version "0.0.0"); a member of the wrong kind is
        /// still an error. Other members are ignored. Throws DecodingError.
        static Parameters fromJSON(const boost::json::value& json);

        bool operator==(const Parameters&) const = default;
    };

    /// The server's answer. Built as `Result{protocolVersion, capabilities, serverInfo, instructions, meta}`.
    struct Result {
        std::string protocolVersion;
        ServerCapabilities capabilities;
        ServerInfo serverInfo;
        std::optional<std::string> instructions{};
        std::optional<Metadata> meta{};

        /// The first three always, "instructions" and "_meta" only when present.
        boost::json::value toJSON() const;
        /// Requires the first three. Throws DecodingError.
        static Result fromJSON(const boost::json::value& json);

        bool operator==(const Result&) const = default;
    };
};

/// "notifications/initialized": the client's last step of the handshake; no parameters.
struct InitializedNotification : BasicNotification<InitializedNotification> {
    static constexpr std::string_view name = "notifications/initialized";
    using Parameters = Empty;
};

}  // namespace mcp

template <>
struct std::hash<mcp::Initialize::Parameters> {
    std::size_t operator()(const mcp::Initialize::Parameters& parameters) const noexcept;
};

template <>
struct std::hash<mcp::Initialize::Result> {
    std::size_t operator()(const mcp::Initialize::Result& result) const noexcept;
};
