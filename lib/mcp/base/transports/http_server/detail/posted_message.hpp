#pragma once

#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "mcp/base/http_request.hpp"
#include "mcp/base/transports/http_server/http_request_validation_pipeline.hpp"
#include "mcp/base/transports/http_server/http_response.hpp"
#include "mcp/base/transports/http_server/http_validation_context.hpp"
#include "mcp/base/transports/http_server/jsonrpc_message_kind.hpp"

/// The steps every Streamable HTTP server transport takes with a request before it acts on it.
/// Error responses carry `sessionID` when one is given.
namespace mcp::detail {

/// `method` with ASCII letters upper-cased: HTTP methods are matched in any letter case.
std::string upperCasedMethod(std::string_view method);

/// The one JSON-RPC message a POST carries, or its refusal: 400 parse error "Empty request body"
/// for a missing or empty body, 400 parse error "Invalid JSON-RPC message" for a body that is no
/// single request, notification or response.
std::variant<JSONRPCMessageKind, HTTPResponse> readPostedMessage(const HTTPRequest& request,
                                                                 const std::optional<std::string>& sessionID);

/// The pipeline's answer to `request`, or nothing when it passes. A validator built on
/// caller-supplied checks may throw; the client then gets a 500 all the same.
std::optional<HTTPResponse> validate(const HTTPRequestValidationPipeline& pipeline, const HTTPRequest& request,
                                     const HTTPValidationContext& context);

/// 500 with the internal error "Error processing request: " and the error's description.
HTTPResponse internalFailure(const std::exception_ptr& error, const std::optional<std::string>& sessionID);

}  // namespace mcp::detail
