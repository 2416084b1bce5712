#pragma once

#include "mcp/base/transports/http_server/http_request_validator.hpp"

namespace mcp {

/// For session-based transports: every request but "initialize" must name, in "MCP-Session-Id",
/// the session the transport has established.
class SessionValidator final : public HTTPRequestValidator {
public:
    SessionValidator() = default;

    std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                         const HTTPValidationContext& context) const override;
};

}  // namespace mcp
