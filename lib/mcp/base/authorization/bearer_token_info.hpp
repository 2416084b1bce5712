#pragma once

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace mcp {

/// What a server's token check learned about a valid bearer token. Each member is absent when the
/// check does not know it.
struct BearerTokenInfo {
    /// The resources the token is for, as URL texts.
    std::optional<std::vector<std::string>> audience;
    /// The scopes granted.
    std::optional<std::set<std::string>> scopes;
    /// When the token stops being valid.
    std::optional<std::chrono::system_clock::time_point> expiresAt;

    bool operator==(const BearerTokenInfo&) const = default;
};

}  // namespace mcp
