#include "mcp/base/transports/http_server/stateful_http_server_transport.hpp"

#include <utility>

#include <boost/json/value.hpp>

#include "logging/no_op_log_handler.hpp"
#include "mcp/base/mcp_error.hpp"
#include "mcp/base/transports/http_server/accept_header_validator.hpp"
#include "mcp/base/transports/http_server/content_type.hpp"
#include "mcp/base/transports/http_server/content_type_validator.hpp"
#include "mcp/base/transports/http_server/detail/posted_message.hpp"
#include "mcp/base/transports/http_server/http_header_name.hpp"
#include "mcp/base/transports/http_server/jsonrpc_message_kind.hpp"
#include "mcp/base/transports/http_server/origin_validator.hpp"
#include "mcp/base/transports/http_server/protocol_version_validator.hpp"
#include "mcp/base/transports/http_server/session_validator.hpp"
#include "mcp/base/transports/http_server/sse_event.hpp"
#include "mcp/base/transports/http_server/standard_validation_pipeline.hpp"
#include "mcp/base/transports/http_server/uuid_session_id_generator.hpp"
#include "mcp/base/version.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"

namespace mcp {

namespace asio = boost::asio;

namespace {

constexpr std::string_view kLabel = "mcp.transport.http.server.stateful";
// Versions before this one know no priming event.
constexpr std::string_view kFirstPrimedVersion = "2025-03-26";

const logging::Logger& silentLogger() {
    static const logging::Logger logger{std::string(kLabel), logging::NoOpLogHandler()};
    return logger;
}

bool isValidSessionID(std::string_view id) {
    if (id.empty()) return false;
    for (unsigned char c : id) {
        if (c < 0x21 || c > 0x7E) return false;
    }
    return true;
}

HTTPValidationContext validationContext(std::string method, const std::optional<std::string>& sessionID,
                                        bool isInitializationRequest) {
    return HTTPValidationContext{std::move(method), sessionID, isInitializationRequest, Version::supported()};
}

/// The progress token of a request or a progress notification, as JSON text; nothing when there is
/// none. `inMeta` reads it from params._meta (a request), else from params (the notification).
std::optional<std::string> progressToken(std::string_view body, bool inMeta) {
    // Most requests ask for no progress; they are not parsed again.
    if (body.find("progressToken") == std::string_view::npos) return std::nullopt;
    try {
        auto json = platform::json::parse(body);
        const auto* params = json.is_object() ? json.get_object().if_contains("params") : nullptr;
        if (!params || !params->is_object()) return std::nullopt;
        const auto* holder = params;
        if (inMeta) {
            holder = params->get_object().if_contains("_meta");
            if (!holder || !holder->is_object()) return std::nullopt;
        }
        const auto* token = holder->get_object().if_contains("progressToken");
        if (!token || !(token->is_string() || token->is_int64() || token->is_uint64())) return std::nullopt;
        return platform::json::write(*token);
    } catch (...) {
        return std::nullopt;
    }
}

/// The version a request names in its header, or the latest.
std::string headerVersion(const HTTPRequest& request) {
    if (auto version = request.header(HTTPHeaderName::protocolVersion)) return std::move(*version);
    return Version::latest();
}

/// The version an "initialize" body asks for in params.protocolVersion, when it names one.
std::optional<std::string> initializeVersion(std::string_view body) {
    try {
        auto json = platform::json::parse(body);
        const auto* object = json.if_object();
        if (!object) return std::nullopt;
        const auto* method = object->if_contains("method");
        if (!method || !method->is_string() || method->get_string() != "initialize") return std::nullopt;
        const auto* params = object->if_contains("params");
        if (!params || !params->is_object()) return std::nullopt;
        const auto* version = params->get_object().if_contains("protocolVersion");
        if (!version || !version->is_string()) return std::nullopt;
        return std::string(version->get_string());
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace

std::shared_ptr<const HTTPRequestValidationPipeline> StatefulHTTPServerTransport::defaultValidationPipeline() {
    static const std::shared_ptr<const HTTPRequestValidationPipeline> pipeline =
        std::make_shared<const StandardValidationPipeline>(std::vector<std::shared_ptr<const HTTPRequestValidator>>{
            std::make_shared<const OriginValidator>(OriginValidator::localhost()),
            std::make_shared<const AcceptHeaderValidator>(AcceptHeaderValidator::Mode::sseRequired),
            std::make_shared<const ContentTypeValidator>(),
            std::make_shared<const ProtocolVersionValidator>(),
            std::make_shared<const SessionValidator>(),
        });
    return pipeline;
}

StatefulHTTPServerTransport::StatefulHTTPServerTransport(
    std::shared_ptr<SessionIDGenerator> sessionIDGenerator,
    std::shared_ptr<const HTTPRequestValidationPipeline> validationPipeline, std::optional<std::int64_t> retryInterval,
    std::optional<logging::Logger> logger)
    : logger_(logger ? std::move(*logger) : silentLogger()),
      sessionIDGenerator_(sessionIDGenerator ? std::move(sessionIDGenerator)
                                             : std::make_shared<UUIDSessionIDGenerator>()),
      validationPipeline_(validationPipeline ? std::move(validationPipeline) : defaultValidationPipeline()),
      retryInterval_(retryInterval) {}

asio::awaitable<void> StatefulHTTPServerTransport::connect() {
    if (started_) throw MCPError::internalError("Transport already started");
    started_ = true;
    logger_.debug("Stateful HTTP server transport started");
    co_return;
}

asio::awaitable<void> StatefulHTTPServerTransport::disconnect() {
    terminate();
    co_return;
}

void StatefulHTTPServerTransport::terminate() {
    if (terminated_) return;
    terminated_ = true;
    logger_.info("Terminating session", {{"sessionID", sessionID_ ? std::string_view(*sessionID_) : "none"}});
    for (auto& [key, stream] : std::exchange(requestStreams_, {})) stream.finish();
    httpRequestContexts_.clear();
    progressTokens_.clear();
    requestProgressTokens_.clear();
    if (standaloneStream_) std::exchange(standaloneStream_, std::nullopt)->finish();
    // The counter keeps its value, so no event id is ever handed out twice.
    storedEvents_.clear();
    storedEvents_.shrink_to_fit();
    incoming_.finish();
}

// MARK: Requests

asio::awaitable<HTTPResponse> StatefulHTTPServerTransport::handleRequest(HTTPRequest request) {
    co_return handle(std::move(request));
}

HTTPResponse StatefulHTTPServerTransport::handle(HTTPRequest request) {
    if (terminated_) return errorResponse(404, MCPError::invalidRequest("Not Found: Session has been terminated"));
    auto method = detail::upperCasedMethod(request.method);
    if (method == "POST") return handlePost(std::move(request));
    if (method == "GET") return handleGet(request);
    if (method == "DELETE") return handleDelete(request);
    return HTTPResponse::error(405, MCPError::invalidRequest("Method Not Allowed"), sessionID_,
                               {{std::string(HTTPHeaderName::allow), "GET, POST, DELETE"}});
}

HTTPResponse StatefulHTTPServerTransport::errorResponse(int statusCode, MCPError error) const {
    return HTTPResponse::error(statusCode, std::move(error), sessionID_);
}

HTTPResponse StatefulHTTPServerTransport::handlePost(HTTPRequest request) {
    auto posted = detail::readPostedMessage(request, sessionID_);
    if (auto* refused = std::get_if<HTTPResponse>(&posted)) return std::move(*refused);
    auto kind = std::move(std::get<JSONRPCMessageKind>(posted));

    auto refusal = detail::validate(*validationPipeline_, request,
                                    validationContext("POST", sessionID_, kind.isInitializeRequest()));
    if (refusal) return std::move(*refusal);

    if (kind.kind != JSONRPCMessageKind::Case::request) {
        // Acknowledge only what the server will read.
        if (!incoming_.yield(std::move(*request.body))) {
            return detail::internalFailure(std::make_exception_ptr(MCPError::connectionClosed()), sessionID_);
        }
        HTTPResponse::Headers headers;
        if (sessionID_) headers.emplace(HTTPHeaderName::sessionID, *sessionID_);
        return HTTPResponse::accepted(std::move(headers));
    }

    if (!kind.isInitializeRequest()) {
        auto version = headerVersion(request);
        return openRequestStream(std::move(kind.id), std::move(request), version);
    }

    if (sessionID_) return errorResponse(400, MCPError::invalidRequest("Bad Request: Session already initialized"));
    auto id = sessionIDGenerator_->generateSessionID();
    if (!isValidSessionID(id)) {
        logger_.error("Generated session ID contains invalid characters");
        return HTTPResponse::error(500, MCPError::internalError("Internal error: Invalid session ID generated"));
    }
    sessionID_ = std::move(id);
    logger_.info("Session initialized", {{"sessionID", *sessionID_}});
    auto version = initializeVersion(*request.body);
    if (!version) version = headerVersion(request);
    return openRequestStream(std::move(kind.id), std::move(request), *version);
}

HTTPResponse StatefulHTTPServerTransport::openRequestStream(std::string key, HTTPRequest request,
                                                            std::string_view protocolVersion) {
    platform::AsyncStream<std::string> stream;
    // A stream still open under a reused key is finished, so its HTTP response ends.
    if (auto [slot, inserted] = requestStreams_.try_emplace(key, stream); !inserted) {
        slot->second.finish();
        slot->second = stream;
    }
    // The body goes to the server, which reads it as the message; the context keeps the rest.
    std::string body = std::move(*request.body);
    request.body.reset();
    forgetRequest(key);
    if (auto token = progressToken(body, true); token && !progressTokens_.contains(*token)) {
        progressTokens_.emplace(*token, key);
        requestProgressTokens_.emplace(key, std::move(*token));
    }
    httpRequestContexts_.insert_or_assign(key, std::make_shared<const HTTPRequest>(std::move(request)));
    sendPrimingEvent(key, stream, protocolVersion);
    if (!incoming_.yield(std::move(body))) {
        // The server stopped reading without terminating the transport: no answer can come.
        closeSSEStream(key);
        return detail::internalFailure(std::make_exception_ptr(MCPError::connectionClosed()), sessionID_);
    }
    return streamResponse(std::move(stream));
}

HTTPResponse StatefulHTTPServerTransport::streamResponse(platform::AsyncStream<std::string> stream) const {
    HTTPResponse::Headers headers{
        {std::string(HTTPHeaderName::contentType), std::string(ContentType::sse)},
        {std::string(HTTPHeaderName::cacheControl), "no-cache, no-transform"},
        {std::string(HTTPHeaderName::connection), "keep-alive"},
    };
    if (sessionID_) headers.emplace(HTTPHeaderName::sessionID, *sessionID_);
    return HTTPResponse::stream(std::move(stream), std::move(headers));
}

HTTPResponse StatefulHTTPServerTransport::handleGet(const HTTPRequest& request) {
    auto refusal = detail::validate(*validationPipeline_, request, validationContext("GET", sessionID_, false));
    if (refusal) return std::move(*refusal);
    if (auto lastEventID = request.header(HTTPHeaderName::lastEventID)) return handleResumeRequest(request, *lastEventID);
    if (standaloneStream_) {
        return errorResponse(409, MCPError::invalidRequest("Conflict: Only one SSE stream is allowed per session"));
    }
    platform::AsyncStream<std::string> stream;
    standaloneStream_ = stream;
    sendPrimingEvent(standaloneStreamID, stream, headerVersion(request));
    return streamResponse(std::move(stream));
}

HTTPResponse StatefulHTTPServerTransport::handleResumeRequest(const HTTPRequest& request, std::string_view lastEventID) {
    auto replay = replayEventsAfter(lastEventID);
    if (!replay) return errorResponse(400, MCPError::invalidRequest("Invalid Last-Event-ID"));
    auto& [streamID, events] = *replay;

    platform::AsyncStream<std::string> stream;
    for (const auto* event : events) stream.yield(SSEEvent::message(*event->message, event->eventID).formatted());
    // The resumed stream takes the place of the one it continues, which is finished so its HTTP
    // response ends.
    if (streamID == standaloneStreamID) {
        if (standaloneStream_) standaloneStream_->finish();
        standaloneStream_ = stream;
    } else {
        auto [slot, inserted] = requestStreams_.try_emplace(streamID, stream);
        if (!inserted) {
            slot->second.finish();
            slot->second = stream;
        }
    }
    sendPrimingEvent(streamID, stream, headerVersion(request));
    return streamResponse(std::move(stream));
}

HTTPResponse StatefulHTTPServerTransport::handleDelete(const HTTPRequest& request) {
    auto refusal = detail::validate(*validationPipeline_, request, validationContext("DELETE", sessionID_, false));
    if (refusal) return std::move(*refusal);
    terminate();
    HTTPResponse::Headers headers;
    if (sessionID_) headers.emplace(HTTPHeaderName::sessionID, *sessionID_);
    return HTTPResponse::ok(std::move(headers));
}

void StatefulHTTPServerTransport::closeSSEStream(std::string_view requestID) {
    std::string key(requestID);
    if (auto found = requestStreams_.find(key); found != requestStreams_.end()) {
        found->second.finish();
        requestStreams_.erase(found);
    }
    forgetRequest(key);
}

void StatefulHTTPServerTransport::forgetRequest(const std::string& key) {
    httpRequestContexts_.erase(key);
    if (auto found = requestProgressTokens_.find(key); found != requestProgressTokens_.end()) {
        progressTokens_.erase(found->second);
        requestProgressTokens_.erase(found);
    }
}

asio::awaitable<std::shared_ptr<const HTTPRequest>> StatefulHTTPServerTransport::httpRequestContext(ID id) {
    auto found = httpRequestContexts_.find(id.description());
    if (found == httpRequestContexts_.end()) co_return nullptr;
    co_return found->second;
}

// MARK: Events

std::string StatefulHTTPServerTransport::storeEvent(std::string_view streamID, std::optional<std::string> message) {
    ++eventCounter_;
    std::string eventID;
    auto number = std::to_string(eventCounter_);
    eventID.reserve(streamID.size() + 1 + number.size());
    eventID.append(streamID).append("_").append(number);
    storedEvents_.push_back(StoredEvent{eventID, std::move(message), static_cast<std::uint32_t>(streamID.size())});
    return eventID;
}

void StatefulHTTPServerTransport::sendPrimingEvent(std::string_view streamID,
                                                   const platform::AsyncStream<std::string>& stream,
                                                   std::string_view protocolVersion) {
    if (protocolVersion < kFirstPrimedVersion) return;
    auto eventID = storeEvent(streamID, std::nullopt);
    stream.yield(SSEEvent{std::move(eventID), std::nullopt, std::string(), retryInterval_}.formatted());
}

asio::awaitable<void> StatefulHTTPServerTransport::send(std::string data) {
    if (terminated_) throw MCPError::connectionClosed();
    auto kind = JSONRPCMessageKind::classify(data);
    if (!kind) {
        logger_.warning("Could not classify outgoing message for routing");
        co_return;
    }
    if (kind->kind == JSONRPCMessageKind::Case::response) {
        routeResponse(kind->id, std::move(data));
    } else {
        routeServerInitiatedMessage(std::move(data), kind->method);
    }
}

asio::awaitable<void> StatefulHTTPServerTransport::sendResponse(const ID& id, std::string data) {
    if (terminated_) throw MCPError::connectionClosed();
    routeResponse(id.description(), std::move(data));
    co_return;
}

void StatefulHTTPServerTransport::routeResponse(const std::string& key, std::string data) {
    auto open = requestStreams_.find(key);
    auto event = SSEEvent::message(data);
    event.id = storeEvent(key, std::move(data));
    if (open != requestStreams_.end()) {
        open->second.yield(event.formatted());
        open->second.finish();
        requestStreams_.erase(open);
    } else {
        logger_.debug("No active stream for request, message stored for replay", {{"requestID", key}});
    }
    forgetRequest(key);
}

std::optional<std::string> StatefulHTTPServerTransport::progressRequest(std::string_view notification) const {
    if (progressTokens_.empty()) return std::nullopt;
    auto token = progressToken(notification, false);
    if (!token) return std::nullopt;
    auto found = progressTokens_.find(*token);
    if (found == progressTokens_.end()) return std::nullopt;
    return found->second;
}

void StatefulHTTPServerTransport::routeServerInitiatedMessage(std::string data, const std::string& method) {
    // On the GET stream the progress would race the answer on the request's own stream, and a
    // client stops listening for a request's progress once it has the answer.
    if (method == "notifications/progress") {
        if (auto key = progressRequest(data)) {
            if (auto open = requestStreams_.find(*key); open != requestStreams_.end()) {
                auto event = SSEEvent::message(data);
                event.id = storeEvent(*key, std::move(data));
                open->second.yield(event.formatted());
                return;
            }
        }
    }
    auto event = SSEEvent::message(data);
    event.id = storeEvent(standaloneStreamID, std::move(data));
    if (standaloneStream_) {
        standaloneStream_->yield(event.formatted());
    } else {
        logger_.debug("No standalone GET stream connected, message stored for replay");
    }
}

std::optional<std::pair<std::string, std::vector<const StatefulHTTPServerTransport::StoredEvent*>>>
StatefulHTTPServerTransport::replayEventsAfter(std::string_view lastEventID) const {
    auto start = storedEvents_.begin();
    while (start != storedEvents_.end() && start->eventID != lastEventID) ++start;
    if (start == storedEvents_.end()) return std::nullopt;
    auto streamID = start->streamID();
    std::vector<const StoredEvent*> events;
    for (auto it = std::next(start); it != storedEvents_.end(); ++it) {
        if (it->message && it->streamID() == streamID) events.push_back(&*it);
    }
    return std::pair{std::string(streamID), std::move(events)};
}

}  // namespace mcp
