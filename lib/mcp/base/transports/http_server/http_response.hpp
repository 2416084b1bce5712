#pragma once

#include <map>
#include <optional>
#include <string>

#include "mcp/base/mcp_error.hpp"
#include "platform/async/async_stream.hpp"

namespace mcp {

/// What an HTTP server transport answers: a status, a header map and a body, or for the stream
/// case the elements of an event stream, which the connection owner writes as they arrive.
///
/// Status, headers and body are fixed when the value is made, so reading them costs nothing and
/// the body can be written straight from `bodyData()`.
class HTTPResponse {
public:
    using Headers = std::map<std::string, std::string>;

    enum class Kind { accepted, ok, data, stream, error };

    /// 202, no body.
    static HTTPResponse accepted(Headers headers = {});
    /// 200, no body.
    static HTTPResponse ok(Headers headers = {});
    /// 200 with `body`.
    static HTTPResponse data(std::string body, Headers headers = {});
    /// 200; the owner writes the stream's elements as they arrive. Each element is one whole event
    /// text, ready for the wire: write it as it comes (`next()`), end the response when the stream
    /// ends, and `cancel()` the stream when the client has gone, so nothing more piles up for it.
    static HTTPResponse stream(platform::AsyncStream<std::string> events, Headers headers = {});
    /// `statusCode` with the JSON-RPC error object {"jsonrpc":"2.0","error":{"code","message"},"id":null}.
    /// Headers: "Content-Type: application/json", then "MCP-Session-Id" when `sessionID` is given,
    /// then `extraHeaders`, a later entry replacing an earlier one of the same name.
    static HTTPResponse error(int statusCode, MCPError error, std::optional<std::string> sessionID = std::nullopt,
                              Headers extraHeaders = {});

    Kind kind() const noexcept { return kind_; }
    int statusCode() const noexcept { return statusCode_; }
    const Headers& headers() const noexcept { return headers_; }
    /// Absent for accepted, ok and stream; for an error whose body could not be written too.
    const std::optional<std::string>& bodyData() const noexcept { return body_; }

    /// The events of the stream case; absent for the others.
    const std::optional<platform::AsyncStream<std::string>>& eventStream() const noexcept { return stream_; }
    /// The error of the error case; absent for the others.
    const std::optional<MCPError>& mcpError() const noexcept { return error_; }

private:
    HTTPResponse(Kind kind, int statusCode, Headers headers) noexcept
        : kind_(kind), statusCode_(statusCode), headers_(std::move(headers)) {}

    Kind kind_;
    int statusCode_;
    Headers headers_;
    std::optional<std::string> body_;
    std::optional<platform::AsyncStream<std::string>> stream_;
    std::optional<MCPError> error_;
};

}  // namespace mcp
