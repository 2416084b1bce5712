#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <boost/json/value.hpp>

#include "mcp/base/icon.hpp"

namespace mcp {

/// A client's implementation record, "clientInfo" of the "initialize" parameters. The client
/// engine names it `Client::Info`.
struct ClientInfo {
    std::string name;
    std::optional<std::string> title;
    std::string version;
    std::optional<std::string> description;
    std::optional<std::string> websiteUrl;
    std::optional<std::vector<Icon>> icons;

    /// Note the order: the two required texts first.
    ClientInfo(std::string name, std::string version, std::optional<std::string> title = std::nullopt,
               std::optional<std::string> description = std::nullopt,
               std::optional<std::string> websiteUrl = std::nullopt,
               std::optional<std::vector<Icon>> icons = std::nullopt);

    /// "name", "title", "version", "description", "websiteUrl", "icons"; optional ones only when present.
    boost::json::value toJSON() const;
    /// Requires "name" and "version" as strings; the others may be absent or null. Throws DecodingError.
    static ClientInfo fromJSON(const boost::json::value& json);

    bool operator==(const ClientInfo&) const = default;
};

}  // namespace mcp

template <>
struct std::hash<mcp::ClientInfo> {
    std::size_t operator()(const mcp::ClientInfo& info) const noexcept;
};
