#include "conformance/conformance_sessions.hpp"

#include "conformance/conformance_fixture.hpp"
#include "mcp/base/transports/http_server/http_header_name.hpp"
#include "mcp/base/transports/http_server/stateless_http_server_transport.hpp"

namespace conformance {

namespace asio = boost::asio;
using namespace mcp;

namespace {
constexpr std::int64_t kRetryMilliseconds = 500;
}

asio::awaitable<HTTPResponse> ConformanceSessions::handle(HTTPRequest request) {
    if (mode_ == Mode::stateless) {
        auto response = co_await handleStateless(std::move(request));
        co_return response;
    }
    auto response = co_await handleStateful(std::move(request));
    co_return response;
}

asio::awaitable<HTTPResponse> ConformanceSessions::handleStateful(HTTPRequest request) {
    if (auto sessionID = request.header(HTTPHeaderName::sessionID)) {
        auto found = sessions_.find(*sessionID);
        if (found == sessions_.end()) {
            co_return HTTPResponse::error(404, MCPError::invalidRequest("Not Found: Invalid or expired session ID"));
        }
        auto transport = std::static_pointer_cast<StatefulHTTPServerTransport>(found->second->connection());
        if (!transport) {
            co_return HTTPResponse::error(404, MCPError::invalidRequest("Not Found: Session has been terminated"));
        }
        auto response = co_await transport->handleRequest(std::move(request));
        co_return response;
    }
    // A request without a session: a new transport, whose pipeline decides whether it opens one.
    // A retry time tells clients how soon to come back for a stream the server closed.
    auto transport = std::make_shared<StatefulHTTPServerTransport>(nullptr, nullptr, kRetryMilliseconds);
    auto server = makeConformanceServer();
    co_await server->start(transport);
    auto response = co_await transport->handleRequest(std::move(request));
    if (transport->sessionID()) {
        sessions_.emplace(*transport->sessionID(), server);
    } else {
        co_await server->stop();
    }
    co_return response;
}

asio::awaitable<HTTPResponse> ConformanceSessions::handleStateless(HTTPRequest request) {
    auto transport = std::make_shared<StatelessHTTPServerTransport>();
    auto server = makeConformanceServer();
    co_await server->start(transport);
    running_.push_back(server);
    auto response = co_await transport->handleRequest(std::move(request));
    std::erase(running_, server);
    co_await server->stop();
    co_return response;
}

asio::awaitable<void> ConformanceSessions::stopAll() {
    auto sessions = std::exchange(sessions_, {});
    for (auto& [id, server] : sessions) co_await server->stop();
    auto running = std::exchange(running_, {});
    for (auto& server : running) co_await server->stop();
}

}  // namespace conformance
