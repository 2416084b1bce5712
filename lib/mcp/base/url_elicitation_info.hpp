#pragma once

#include <cstddef>
#include <string>

#include <boost/json/value.hpp>

namespace mcp {

/// One external page the user has to visit before a request can succeed; carried by the
/// URL-elicitation-required error. Built as `URLElicitationInfo{mode, elicitationId, url, message}`.
struct URLElicitationInfo {
    std::string mode;
    std::string elicitationId;
    std::string url;
    std::string message;

    /// An object with exactly "mode", "elicitationId", "url" and "message".
    boost::json::value toJSON() const;
    /// Requires the four members as strings; other members are ignored. Throws DecodingError.
    static URLElicitationInfo fromJSON(const boost::json::value& json);

    bool operator==(const URLElicitationInfo&) const = default;
};

}  // namespace mcp

template <>
struct std::hash<mcp::URLElicitationInfo> {
    std::size_t operator()(const mcp::URLElicitationInfo& info) const noexcept;
};
