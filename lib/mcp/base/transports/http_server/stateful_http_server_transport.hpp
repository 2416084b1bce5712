#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <boost/asio/awaitable.hpp>

#include "logging/logger.hpp"
#include "mcp/base/http_context_providing.hpp"
#include "mcp/base/http_request.hpp"
#include "mcp/base/id.hpp"
#include "mcp/base/transport.hpp"
#include "mcp/base/transports/detail/response_routing.hpp"
#include "mcp/base/transports/http_server/http_request_validation_pipeline.hpp"
#include "mcp/base/transports/http_server/http_response.hpp"
#include "mcp/base/transports/http_server/session_id_generator.hpp"
#include "platform/async/async_stream.hpp"

namespace mcp {

/// Streamable HTTP with a session: one transport serves one MCP session. It makes the session id
/// at "initialize", answers every POSTed request on an event stream of its own, keeps one
/// standalone GET stream for what the server sends on its own, stores every event it makes so a
/// client that lost a stream can resume it with "Last-Event-ID", and ends the session on DELETE.
///
/// Owns no socket: the connection owner calls `handleRequest` with each HTTP request of the
/// session and writes the response it returns; for the stream case it writes each element of
/// `eventStream()` as it comes (each one whole event text) and ends the response when the stream
/// ends. An owner whose client went away calls `cancel()` on the stream; the events stay stored
/// for resumption.
///
/// Held through std::shared_ptr and confined to one runtime thread. `handleRequest` never
/// suspends: it returns as soon as the response is built, and the server's answer reaches the
/// client later, through `send`, as an event on the stream.
///
/// The event store is never trimmed while the session lasts: it keeps one entry per outgoing
/// message and per priming event, so memory grows with the session until it is terminated.
class StatefulHTTPServerTransport final : public Transport, public HTTPContextProviding, public ResponseRouting {
public:
    /// The stream id of the standalone GET stream.
    static constexpr std::string_view standaloneStreamID = "_GET_stream";

    /// One stored event. The event id is the stream id, "_" and the event number, so the event
    /// names its stream without a copy of the stream id.
    struct StoredEvent {
        std::string eventID;
        /// The JSON-RPC message the event carried; absent for a priming event.
        std::optional<std::string> message;
        std::uint32_t streamIDSize = 0;

        std::string_view streamID() const noexcept { return std::string_view(eventID).substr(0, streamIDSize); }
    };

    /// Origin (localhost, any port), Accept (JSON and event streams), Content-Type, protocol
    /// version and session, in that order. Shared by every transport that is given no pipeline.
    static std::shared_ptr<const HTTPRequestValidationPipeline> defaultValidationPipeline();

    /// A transport making its session id with `sessionIDGenerator` (random UUIDs when null),
    /// checking requests with `validationPipeline` (the default one when null), writing
    /// `retryInterval` into priming events when given, and logging to `logger` (when absent, a
    /// logger labelled "mcp.transport.http.server.stateful" that discards everything).
    explicit StatefulHTTPServerTransport(std::shared_ptr<SessionIDGenerator> sessionIDGenerator = nullptr,
                                         std::shared_ptr<const HTTPRequestValidationPipeline> validationPipeline = nullptr,
                                         std::optional<std::int64_t> retryInterval = std::nullopt,
                                         std::optional<logging::Logger> logger = std::nullopt);

    StatefulHTTPServerTransport(const StatefulHTTPServerTransport&) = delete;
    StatefulHTTPServerTransport& operator=(const StatefulHTTPServerTransport&) = delete;

    logging::Logger logger() const override { return logger_; }

    /// Marks the transport started. Throws MCPError (internal, "Transport already started") when it
    /// already was, even after termination.
    boost::asio::awaitable<void> connect() override;

    /// Terminates the session: every event stream ends, the event store is emptied, later
    /// requests get 404 and the incoming stream ends normally. A second call does nothing.
    boost::asio::awaitable<void> disconnect() override;

    /// Routes one message of the server: a response to the stream of the request it answers
    /// (which then ends), the progress of an open request to that request's stream (so it comes
    /// before the answer, which ends the client's interest in it), any other request or
    /// notification to the GET stream; each is stored as an event whether or not its stream is
    /// open. Throws MCPError (connection closed) after termination.
    boost::asio::awaitable<void> send(std::string data) override;

    /// As `send` for a response to `id`, routed without reading the text.
    boost::asio::awaitable<void> sendResponse(const ID& id, std::string data) override;

    /// The messages for the server; every call gives the same stream.
    platform::AsyncStream<std::string> receive() override { return incoming_; }

    /// Answers one HTTP request of the session: POST, GET or DELETE in any letter case, anything
    /// else 405. Never throws and never suspends: every failure is an error response.
    boost::asio::awaitable<HTTPResponse> handleRequest(HTTPRequest request);

    /// The same, without a coroutine, for owners outside one.
    HTTPResponse handle(HTTPRequest request);

    /// The HTTP request that carried the open request `id`.
    boost::asio::awaitable<std::shared_ptr<const HTTPRequest>> httpRequestContext(ID id) override;

    /// Ends the event stream of the request key `requestID` normally and forgets it and its HTTP
    /// request; an unknown key does nothing.
    void closeSSEStream(std::string_view requestID);

    const std::optional<std::string>& sessionID() const noexcept { return sessionID_; }
    bool isStarted() const noexcept { return started_; }
    bool isTerminated() const noexcept { return terminated_; }
    const std::vector<StoredEvent>& storedEvents() const noexcept { return storedEvents_; }

private:
    HTTPResponse handlePost(HTTPRequest request);
    HTTPResponse handleGet(const HTTPRequest& request);
    HTTPResponse handleDelete(const HTTPRequest& request);
    HTTPResponse handleResumeRequest(const HTTPRequest& request, std::string_view lastEventID);
    HTTPResponse openRequestStream(std::string key, HTTPRequest request, std::string_view protocolVersion);
    HTTPResponse streamResponse(platform::AsyncStream<std::string> stream) const;
    HTTPResponse errorResponse(int statusCode, MCPError error) const;
    void terminate();

    std::string storeEvent(std::string_view streamID, std::optional<std::string> message);
    void sendPrimingEvent(std::string_view streamID, const platform::AsyncStream<std::string>& stream,
                          std::string_view protocolVersion);
    void routeResponse(const std::string& key, std::string data);
    void routeServerInitiatedMessage(std::string data, const std::string& method);
    /// The request key of the open request whose progress a "notifications/progress" reports.
    std::optional<std::string> progressRequest(std::string_view notification) const;
    void forgetRequest(const std::string& key);
    /// The stored events after `lastEventID` on its stream, and that stream's id; nothing when no
    /// stored event has that id.
    std::optional<std::pair<std::string, std::vector<const StoredEvent*>>> replayEventsAfter(std::string_view lastEventID) const;

    logging::Logger logger_;
    std::shared_ptr<SessionIDGenerator> sessionIDGenerator_;
    std::shared_ptr<const HTTPRequestValidationPipeline> validationPipeline_;
    std::optional<std::int64_t> retryInterval_;
    std::optional<std::string> sessionID_;
    bool terminated_ = false;
    bool started_ = false;
    platform::AsyncStream<std::string> incoming_;
    std::unordered_map<std::string, platform::AsyncStream<std::string>> requestStreams_;
    std::unordered_map<std::string, std::shared_ptr<const HTTPRequest>> httpRequestContexts_;
    // Progress tokens of the open requests (as JSON text) and the request key each belongs to.
    std::unordered_map<std::string, std::string> progressTokens_;
    std::unordered_map<std::string, std::string> requestProgressTokens_;
    std::optional<platform::AsyncStream<std::string>> standaloneStream_;
    std::vector<StoredEvent> storedEvents_;
    std::int64_t eventCounter_ = 0;
};

}  // namespace mcp
