#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>

namespace mcp {

/// What a transport tells the validators about the request it is handling.
struct HTTPValidationContext {
    /// The method the transport is handling ("POST" in the stateless transport), compared exactly.
    std::string httpMethod;
    /// The session the transport has established; absent without sessions and before one starts.
    std::optional<std::string> sessionID;
    /// Whether the body is an "initialize" request.
    bool isInitializationRequest = false;
    /// The protocol versions the transport accepts.
    std::set<std::string, std::less<>> supportedProtocolVersions;
};

}  // namespace mcp
