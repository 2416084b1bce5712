#pragma once

#include <optional>

#include "mcp/base/http_request.hpp"
#include "mcp/base/transports/http_server/http_response.hpp"
#include "mcp/base/transports/http_server/http_validation_context.hpp"

namespace mcp {

/// One check of the requests a Streamable HTTP server transport handles.
///
/// Validators keep no state between calls and may be shared by many transports and threads.
class HTTPRequestValidator {
public:
    virtual ~HTTPRequestValidator() = default;

    /// Nothing when the request passes; otherwise the response that answers it.
    virtual std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                                 const HTTPValidationContext& context) const = 0;
};

}  // namespace mcp
