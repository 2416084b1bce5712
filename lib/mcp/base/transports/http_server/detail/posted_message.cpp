#include "mcp/base/transports/http_server/detail/posted_message.hpp"

#include "platform/describe.hpp"

namespace mcp::detail {

std::string upperCasedMethod(std::string_view method) {
    std::string upper(method);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

std::variant<JSONRPCMessageKind, HTTPResponse> readPostedMessage(const HTTPRequest& request,
                                                                 const std::optional<std::string>& sessionID) {
    if (!request.body || request.body->empty()) {
        return HTTPResponse::error(400, MCPError::parseError("Empty request body"), sessionID);
    }
    auto kind = JSONRPCMessageKind::classify(*request.body);
    if (!kind) return HTTPResponse::error(400, MCPError::parseError("Invalid JSON-RPC message"), sessionID);
    return std::move(*kind);
}

std::optional<HTTPResponse> validate(const HTTPRequestValidationPipeline& pipeline, const HTTPRequest& request,
                                     const HTTPValidationContext& context) {
    try {
        return pipeline.validate(request, context);
    } catch (...) {
        return internalFailure(std::current_exception(), context.sessionID);
    }
}

HTTPResponse internalFailure(const std::exception_ptr& error, const std::optional<std::string>& sessionID) {
    return HTTPResponse::error(500, MCPError::internalError("Error processing request: " + platform::describe(error)),
                               sessionID);
}

}  // namespace mcp::detail
