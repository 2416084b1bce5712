#pragma once

#include "mcp/base/transports/http_server/http_request_validator.hpp"

namespace mcp {

/// Refuses a request that names, in "MCP-Protocol-Version", a version the transport does not
/// support. "initialize" requests and requests without the header pass.
class ProtocolVersionValidator final : public HTTPRequestValidator {
public:
    ProtocolVersionValidator() = default;

    std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                         const HTTPValidationContext& context) const override;
};

}  // namespace mcp
