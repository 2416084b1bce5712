#pragma once

#include <cstddef>
#include <functional>
#include <optional>

#include <boost/json/value.hpp>

#include "mcp/base/empty.hpp"

namespace mcp {

/// The feature groups a server declares, "capabilities" of the "initialize" result; a present
/// member declares the group. Declarations are promises to the client, not enforced. The server
/// engine names it `Server::Capabilities`.
struct ServerCapabilities {
    /// The server answers "completion/complete". Read from any non-null JSON value.
    using Completions = Empty;
    /// The server sends "notifications/message". Read from any non-null JSON value.
    using Logging = Empty;

    /// The server serves prompts; `listChanged` true: it announces changes.
    struct Prompts {
        std::optional<bool> listChanged{};

        boost::json::value toJSON() const;
        static Prompts fromJSON(const boost::json::value& json);
        bool operator==(const Prompts&) const = default;
    };

    /// The server serves resources; `subscribe` true: it takes subscriptions; `listChanged` true:
    /// it announces changes.
    struct Resources {
        std::optional<bool> subscribe{};
        std::optional<bool> listChanged{};

        boost::json::value toJSON() const;
        static Resources fromJSON(const boost::json::value& json);
        bool operator==(const Resources&) const = default;
    };

    /// The server serves tools; `listChanged` true: it announces changes.
    struct Tools {
        std::optional<bool> listChanged{};

        boost::json::value toJSON() const;
        static Tools fromJSON(const boost::json::value& json);
        bool operator==(const Tools&) const = default;
    };

    std::optional<Completions> completions{};
    std::optional<Logging> logging{};
    std::optional<Prompts> prompts{};
    std::optional<Resources> resources{};
    std::optional<Tools> tools{};

    /// One key per present member, in member order; {} for none.
    boost::json::value toJSON() const;
    /// Requires an object; "prompts", "resources" and "tools" must be objects with boolean flags.
    /// Unknown keys are ignored. Throws DecodingError.
    static ServerCapabilities fromJSON(const boost::json::value& json);

    bool operator==(const ServerCapabilities&) const = default;
};

}  // namespace mcp

template <>
struct std::hash<mcp::ServerCapabilities::Prompts> {
    std::size_t operator()(const mcp::ServerCapabilities::Prompts& prompts) const noexcept;
};

template <>
struct std::hash<mcp::ServerCapabilities::Resources> {
    std::size_t operator()(const mcp::ServerCapabilities::Resources& resources) const noexcept;
};

template <>
struct std::hash<mcp::ServerCapabilities::Tools> {
    std::size_t operator()(const mcp::ServerCapabilities::Tools& tools) const noexcept;
};

template <>
struct std::hash<mcp::ServerCapabilities> {
    std::size_t operator()(const mcp::ServerCapabilities& capabilities) const noexcept;
};
