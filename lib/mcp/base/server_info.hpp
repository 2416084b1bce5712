#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <boost/json/value.hpp>

#include "mcp/base/icon.hpp"

namespace mcp {

/// The server's implementation record, "serverInfo" of the "initialize" result. The server
/// engine names it `Server::Info`.
struct ServerInfo {
    std::string name;
    std::optional<std::string> title;
    std::string version;
    std::optional<std::string> description;
    std::optional<std::string> websiteUrl;
    std::optional<std::vector<Icon>> icons;

    /// Note the order: the two required texts first.
    ServerInfo(std::string name, std::string version, std::optional<std::string> title = std::nullopt,
               std::optional<std::string> description = std::nullopt,
               std::optional<std::string> websiteUrl = std::nullopt,
               std::optional<std::vector<Icon>> icons = std::nullopt);

    /// "name", "title", "version", "description", "websiteUrl", "icons"; optional ones only when present.
    boost::json::value toJSON() const;
    /// Requires "name" and "version" as strings; the others may be absent or null. Throws DecodingError.
    static ServerInfo fromJSON(const boost::json::value& json);

    bool operator==(const ServerInfo&) const = default;
};

}  // namespace mcp

template <>
struct std::hash<mcp::ServerInfo> {
    std::size_t operator()(const mcp::ServerInfo& info) const noexcept;
};
