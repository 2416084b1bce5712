#pragma once

#include <string>

#include "mcp/base/transports/http_server/http_request_validator.hpp"

namespace inkwarden {

/// The host's access check: "Authorization" must be exactly "Bearer " and the token, compared
/// in constant time. Anything else is refused with 401 and an invalid-request error telling the
/// user where to find the settings (no "WWW-Authenticate").
class BearerTokenValidator final : public mcp::HTTPRequestValidator {
public:
    explicit BearerTokenValidator(std::string token) : token(std::move(token)) {}

    static constexpr const char* kRefusal =
        "Missing or wrong access token. Copy the connection settings from the Inkwarden menu bar item.";

    /// True when `request` carries the token.
    bool accepts(const mcp::HTTPRequest& request) const;

    std::optional<mcp::HTTPResponse> validate(const mcp::HTTPRequest& request,
                                              const mcp::HTTPValidationContext& context) const override;

    std::string token;
};

}  // namespace inkwarden
