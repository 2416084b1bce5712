#pragma once

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include <boost/asio/awaitable.hpp>

#include "logging/logger.hpp"
#include "mcp/base/http_context_providing.hpp"
#include "mcp/base/http_request.hpp"
#include "mcp/base/id.hpp"
#include "mcp/base/transport.hpp"
#include "mcp/base/transports/detail/response_routing.hpp"
#include "mcp/base/transports/http_server/http_request_validation_pipeline.hpp"
#include "mcp/base/transports/http_server/http_response.hpp"
#include "platform/async/async_stream.hpp"
#include "platform/async/one_shot.hpp"

namespace mcp {

/// Streamable HTTP without sessions or event streams: each POST carries one JSON-RPC message. A
/// request is answered in the body of its own HTTP response; a notification or a response from the
/// client gets 202; what the server sends on its own has no channel and is dropped.
///
/// Owns no socket: the connection owner calls `handleRequest` with each HTTP request and writes
/// the response it returns. Towards the server engine it is an ordinary Transport, and it names the
/// HTTP request behind each JSON-RPC request (HTTPContextProviding).
///
/// Held through std::shared_ptr and confined to one runtime thread, like the engine it serves.
/// `handleRequest` suspends only while it waits for the server's response; other requests, `send`
/// and termination may run meanwhile. The transport sets no time limit of its own: an exchange
/// ends with the server's response or with termination.
class StatelessHTTPServerTransport final : public Transport, public HTTPContextProviding, public ResponseRouting {
public:
    /// Origin (localhost, any port), Accept (JSON), Content-Type and protocol version, in that
    /// order. Shared by every transport that is given no pipeline.
    static std::shared_ptr<const HTTPRequestValidationPipeline> defaultValidationPipeline();

    /// A transport checking POSTs with `validationPipeline` (the default one when null) and logging
    /// to `logger` (when absent, a logger labelled "mcp.transport.http.server.stateless" that
    /// discards everything). The incoming stream exists at once, so messages handed over before
    /// the server reads are kept.
    explicit StatelessHTTPServerTransport(std::shared_ptr<const HTTPRequestValidationPipeline> validationPipeline = nullptr,
                                          std::optional<logging::Logger> logger = std::nullopt);

    StatelessHTTPServerTransport(const StatelessHTTPServerTransport&) = delete;
    StatelessHTTPServerTransport& operator=(const StatelessHTTPServerTransport&) = delete;

    logging::Logger logger() const override { return logger_; }

    /// Marks the transport started. Throws MCPError (internal, "Transport already started") when it
    /// already was, even after termination: a transport is not restarted.
    boost::asio::awaitable<void> connect() override;

    /// Terminates: every waiting exchange is answered 500, later requests 404, and the incoming
    /// stream ends normally, which ends the server's receive loop. A second call does nothing.
    boost::asio::awaitable<void> disconnect() override;

    /// Routes one message of the server: a response goes to the exchange waiting for its id; a
    /// request or notification of the server's own is dropped (logged at debug level). Throws
    /// MCPError (connection closed) after termination.
    boost::asio::awaitable<void> send(std::string data) override;

    /// As `send` for a response to `id`, routed without reading the text.
    boost::asio::awaitable<void> sendResponse(const ID& id, std::string data) override;

    /// The messages for the server; every call gives the same stream.
    platform::AsyncStream<std::string> receive() override { return incoming_; }

    /// Answers one HTTP request. Never throws: every failure is an error response.
    ///
    /// Checks, in order: terminated (404), method POST in any letter case (405 with "Allow: POST"),
    /// a non-empty body (400) holding one JSON-RPC message (400; batches are not supported), then
    /// the pipeline. A request is handed to the server and answered 200 with its response as the
    /// JSON body, or 500 when the transport terminates first or the server no longer reads; a
    /// notification or a response is handed over and answered 202. A request whose id text is
    /// that of a request still in flight is refused with 409, since its response could not be
    /// told apart.
    boost::asio::awaitable<HTTPResponse> handleRequest(HTTPRequest request);

    /// The HTTP request that carried the request `id` while it is in flight.
    boost::asio::awaitable<std::shared_ptr<const HTTPRequest>> httpRequestContext(ID id) override;

    bool isStarted() const noexcept { return started_; }
    bool isTerminated() const noexcept { return terminated_; }

private:
    /// Answers `request` at once when it is no request to exchange (refused, or a notification or
    /// response handed to the server). Otherwise hands its body to the server, keeps the rest as
    /// its context, registers `waiter` for the answer under `key` and gives nothing.
    std::optional<HTTPResponse> screen(HTTPRequest request, std::string& key, platform::OneShot<std::string>& waiter);
    /// Ends the exchange under `key` with the server's `reply`, or with `failure`.
    HTTPResponse finishExchange(const std::string& key, std::optional<std::string> reply,
                                const std::exception_ptr& failure);
    void terminate();
    void routeResponse(const std::string& key, std::string data);

    logging::Logger logger_;
    std::shared_ptr<const HTTPRequestValidationPipeline> validationPipeline_;
    bool terminated_ = false;
    bool started_ = false;
    platform::AsyncStream<std::string> incoming_;
    std::unordered_map<std::string, platform::OneShot<std::string>> responseWaiters_;
    std::unordered_map<std::string, std::shared_ptr<const HTTPRequest>> httpRequestContexts_;
};

}  // namespace mcp
