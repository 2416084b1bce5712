#pragma once

#include <optional>

#include "mcp/base/method.hpp"
#include "mcp/base/request.hpp"
#include "mcp/base/response.hpp"
#include "mcp/base/value.hpp"

namespace mcp::detail {

// A message read straight from its text as a Value skips the DOM. Only the usual shapes are read
// here, each exactly as the envelope's JSON reader reads it; anything else gives nothing and takes
// that reader's road, for its errors and its outcome.

/// A request: "jsonrpc" "2.0", a text or integer "id", a text "method", any "params", and neither
/// "result" nor "error".
std::optional<Request<AnyMethod>> plainRequest(const Value& message);

/// A success: "jsonrpc" "2.0", a text or integer "id" and a "result".
std::optional<Response<AnyMethod>> plainSuccess(const Value& message);

}  // namespace mcp::detail
