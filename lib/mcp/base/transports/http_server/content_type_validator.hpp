#pragma once

#include "mcp/base/transports/http_server/http_request_validator.hpp"

namespace mcp {

/// Requires a POST to declare a JSON body: the media type before any ";" parameters, trimmed,
/// must be exactly "application/json" (letter case matters). Other methods pass.
class ContentTypeValidator final : public HTTPRequestValidator {
public:
    ContentTypeValidator() = default;

    std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                         const HTTPValidationContext& context) const override;
};

}  // namespace mcp
