#pragma once

#include <optional>
#include <set>
#include <string>
#include <variant>

#include "mcp/base/authorization/bearer_token_info.hpp"

namespace mcp {

/// What a caller's token check tells `BearerTokenValidator` about one bearer token.
struct BearerTokenValidationResult {
    /// The token is good; the validator still checks its expiry and audience.
    struct Valid {
        BearerTokenInfo info;
        bool operator==(const Valid&) const = default;
    };
    /// The token is good but lacks scopes: 403.
    struct InsufficientScope {
        std::set<std::string> requiredScopes;
        std::optional<std::string> errorDescription;
        bool operator==(const InsufficientScope&) const = default;
    };
    /// The token is unknown, revoked or otherwise unusable: 401.
    struct InvalidToken {
        std::optional<std::string> errorDescription;
        bool operator==(const InvalidToken&) const = default;
    };
    /// The request itself is wrong: 400.
    struct MalformedRequest {
        std::optional<std::string> errorDescription;
        bool operator==(const MalformedRequest&) const = default;
    };

    static BearerTokenValidationResult valid(BearerTokenInfo info) { return {Valid{std::move(info)}}; }
    static BearerTokenValidationResult insufficientScope(std::set<std::string> requiredScopes,
                                                         std::optional<std::string> errorDescription = std::nullopt) {
        return {InsufficientScope{std::move(requiredScopes), std::move(errorDescription)}};
    }
    static BearerTokenValidationResult invalidToken(std::optional<std::string> errorDescription = std::nullopt) {
        return {InvalidToken{std::move(errorDescription)}};
    }
    static BearerTokenValidationResult malformedRequest(std::optional<std::string> errorDescription = std::nullopt) {
        return {MalformedRequest{std::move(errorDescription)}};
    }

    std::variant<Valid, InsufficientScope, InvalidToken, MalformedRequest> value;

    bool operator==(const BearerTokenValidationResult&) const = default;
};

}  // namespace mcp
