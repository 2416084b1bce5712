#pragma once

#include <string>

#include "mcp/base/transports/http_server/http_response.hpp"
#include "mcp/base/transports/http_server/http_validation_context.hpp"

namespace mcp::detail {

/// A validator's refusal: `statusCode` with an invalid-request error whose detail is `text`, the
/// context's session id, and `extraHeaders`.
inline HTTPResponse refusal(int statusCode, std::string text, const HTTPValidationContext& context,
                            HTTPResponse::Headers extraHeaders = {}) {
    return HTTPResponse::error(statusCode, MCPError::invalidRequest(std::move(text)), context.sessionID,
                               std::move(extraHeaders));
}

}  // namespace mcp::detail
