#pragma once

#include "mcp/base/http_request.hpp"
#include "mcp/base/transports/http_server/http_response.hpp"
#include "mcp/base/transports/http_server/stateful_http_server_transport.hpp"
#include "mcp/server/server.hpp"

#include <boost/asio/awaitable.hpp>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace conformance {

/// Hands each HTTP request to a server engine through a transport, as an embedding server would:
/// in stateful mode one transport and server per session, found by the "MCP-Session-Id" header
/// and made for a request without one; in stateless mode a fresh pair for every request.
class ConformanceSessions {
public:
    enum class Mode { stateful, stateless };

    explicit ConformanceSessions(Mode mode) : mode_(mode) {}

    boost::asio::awaitable<mcp::HTTPResponse> handle(mcp::HTTPRequest request);

    /// Stops every server still running.
    boost::asio::awaitable<void> stopAll();

private:
    boost::asio::awaitable<mcp::HTTPResponse> handleStateful(mcp::HTTPRequest request);
    boost::asio::awaitable<mcp::HTTPResponse> handleStateless(mcp::HTTPRequest request);

    Mode mode_;
    std::map<std::string, std::shared_ptr<mcp::Server>> sessions_;
    std::vector<std::shared_ptr<mcp::Server>> running_;
};

}  // namespace conformance
