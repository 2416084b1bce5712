#include "mcp/base/transports/http_server/session_validator.hpp"

#include "mcp/base/transports/http_server/detail/refusal.hpp"
#include "mcp/base/transports/http_server/http_header_name.hpp"

namespace mcp {

std::optional<HTTPResponse> SessionValidator::validate(const HTTPRequest& request,
                                                       const HTTPValidationContext& context) const {
    if (context.isInitializationRequest) return std::nullopt;
    if (!context.sessionID) return detail::refusal(400, "Bad Request: Session not initialized", context);
    auto given = request.header(HTTPHeaderName::sessionID);
    if (!given) return detail::refusal(400, "Bad Request: Missing MCP-Session-Id header", context);
    if (*given != *context.sessionID) return detail::refusal(404, "Not Found: Invalid or expired session ID", context);
    return std::nullopt;
}

}  // namespace mcp
