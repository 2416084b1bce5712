#pragma once

#include <optional>

#include "mcp/base/http_request.hpp"
#include "mcp/base/transports/http_server/http_response.hpp"
#include "mcp/base/transports/http_server/http_validation_context.hpp"

namespace mcp {

/// The whole set of checks a transport runs on each request before it reaches the server.
///
/// May be shared by many transports; an implementation keeps no state between calls.
class HTTPRequestValidationPipeline {
public:
    virtual ~HTTPRequestValidationPipeline() = default;

    /// Nothing when the request passes every check; otherwise the response that answers it.
    virtual std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                                 const HTTPValidationContext& context) const = 0;
};

}  // namespace mcp
