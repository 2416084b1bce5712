#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace mcp {

/// One HTTP request as the connection owner hands it to an HTTP server transport.
struct HTTPRequest {
    /// The method in the letter case received ("POST", "GET", ...).
    std::string method;
    /// One value per header name, as the owner built them.
    std::map<std::string, std::string> headers;
    /// The body bytes; absent and empty are both possible.
    std::optional<std::string> body;
    /// The request target path, when the owner supplies it.
    std::optional<std::string> path;

    /// The value of the header whose name equals `name` ignoring ASCII letter case.
    std::optional<std::string> header(std::string_view name) const;
    /// The same value seen in place, for callers that only read it while the request stands.
    std::optional<std::string_view> headerView(std::string_view name) const;

    bool operator==(const HTTPRequest&) const = default;
};

}  // namespace mcp
