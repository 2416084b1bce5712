#include "mcp/base/transports/http_server/stateless_http_server_transport.hpp"

#include <exception>
#include <utility>

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
#include "mcp/base/transports/http_server/standard_validation_pipeline.hpp"
#include "mcp/base/version.hpp"

namespace mcp {

namespace asio = boost::asio;

namespace {

constexpr std::string_view kLabel = "mcp.transport.http.server.stateless";

/// The contexts every stateless transport checks requests in, made once: they differ only in
/// whether the body is an "initialize" request.
const HTTPValidationContext& validationContext(bool isInitializationRequest) {
    static const HTTPValidationContext request{"POST", std::nullopt, false, Version::supported()};
    static const HTTPValidationContext initialize{"POST", std::nullopt, true, Version::supported()};
    return isInitializationRequest ? initialize : request;
}

/// Copies of one logger share its storage, so a transport given none costs no allocation here.
const logging::Logger& silentLogger() {
    static const logging::Logger logger{std::string(kLabel), logging::NoOpLogHandler()};
    return logger;
}

HTTPResponse internalFailure(const std::exception_ptr& error) {
    return detail::internalFailure(error, std::nullopt);
}

}  // namespace

std::shared_ptr<const HTTPRequestValidationPipeline> StatelessHTTPServerTransport::defaultValidationPipeline() {
    static const std::shared_ptr<const HTTPRequestValidationPipeline> pipeline =
        std::make_shared<const StandardValidationPipeline>(std::vector<std::shared_ptr<const HTTPRequestValidator>>{
            std::make_shared<const OriginValidator>(OriginValidator::localhost()),
            std::make_shared<const AcceptHeaderValidator>(AcceptHeaderValidator::Mode::jsonOnly),
            std::make_shared<const ContentTypeValidator>(),
            std::make_shared<const ProtocolVersionValidator>(),
        });
    return pipeline;
}

StatelessHTTPServerTransport::StatelessHTTPServerTransport(
    std::shared_ptr<const HTTPRequestValidationPipeline> validationPipeline, std::optional<logging::Logger> logger)
    : logger_(logger ? std::move(*logger) : silentLogger()),
      validationPipeline_(validationPipeline ? std::move(validationPipeline) : defaultValidationPipeline()) {}

asio::awaitable<void> StatelessHTTPServerTransport::connect() {
    if (started_) throw MCPError::internalError("Transport already started");
    started_ = true;
    logger_.debug("Stateless HTTP server transport started");
    co_return;
}

asio::awaitable<void> StatelessHTTPServerTransport::disconnect() {
    terminate();
    co_return;
}

void StatelessHTTPServerTransport::terminate() {
    if (terminated_) return;
    terminated_ = true;
    logger_.debug("Stateless HTTP server transport terminated");
    auto waiters = std::exchange(responseWaiters_, {});
    for (auto& [key, waiter] : waiters) {
        waiter.fail(std::make_exception_ptr(MCPError::connectionClosed()));
        logger_.debug("Cancelled waiter for request", {{"requestID", key}});
    }
    httpRequestContexts_.clear();
    incoming_.finish();
}

asio::awaitable<void> StatelessHTTPServerTransport::send(std::string data) {
    if (terminated_) throw MCPError::connectionClosed();
    auto kind = JSONRPCMessageKind::classify(data);
    if (!kind) {
        logger_.warning("Could not classify outgoing message for routing");
        co_return;
    }
    switch (kind->kind) {
    case JSONRPCMessageKind::Case::response:
        routeResponse(kind->id, std::move(data));
        co_return;
    case JSONRPCMessageKind::Case::request:
        logger_.debug("Server-initiated request dropped in stateless mode (no GET SSE stream)",
                      {{"method", kind->method}});
        co_return;
    case JSONRPCMessageKind::Case::notification:
        logger_.debug("Server-initiated notification dropped in stateless mode (no GET SSE stream)",
                      {{"method", kind->method}});
        co_return;
    }
}

asio::awaitable<void> StatelessHTTPServerTransport::sendResponse(const ID& id, std::string data) {
    if (terminated_) throw MCPError::connectionClosed();
    routeResponse(id.description(), std::move(data));
    co_return;
}

void StatelessHTTPServerTransport::routeResponse(const std::string& key, std::string data) {
    auto found = responseWaiters_.find(key);
    if (found == responseWaiters_.end()) {
        logger_.debug("No waiter for response, may have timed out", {{"requestID", key}});
        return;
    }
    // Out of the map before it is resumed, so nothing can resume it twice.
    auto waiter = std::move(found->second);
    responseWaiters_.erase(found);
    waiter.resume(std::move(data));
}

asio::awaitable<HTTPResponse> StatelessHTTPServerTransport::handleRequest(HTTPRequest request) {
    // All but the wait for the server's answer is done in plain calls, so that the coroutine's
    // frame stays small.
    std::string key;
    platform::OneShot<std::string> waiter;
    auto answer = screen(std::move(request), key, waiter);
    if (!answer) {
        std::optional<std::string> reply;
        std::exception_ptr failure;
        try {
            reply = co_await waiter.wait();
        } catch (...) {
            failure = std::current_exception();
        }
        answer = finishExchange(key, std::move(reply), failure);
    }
    co_return std::move(*answer);
}

std::optional<HTTPResponse> StatelessHTTPServerTransport::screen(HTTPRequest request, std::string& key,
                                                                 platform::OneShot<std::string>& waiter) {
    if (terminated_) return HTTPResponse::error(404, MCPError::invalidRequest("Not Found: Transport has been terminated"));
    if (detail::upperCasedMethod(request.method) != "POST") {
        return HTTPResponse::error(405, MCPError::invalidRequest("Method Not Allowed"), std::nullopt,
                                   {{std::string(HTTPHeaderName::allow), "POST"}});
    }
    auto posted = detail::readPostedMessage(request, std::nullopt);
    if (auto* refused = std::get_if<HTTPResponse>(&posted)) return std::move(*refused);
    auto* kind = std::get_if<JSONRPCMessageKind>(&posted);

    auto refusal = detail::validate(*validationPipeline_, request, validationContext(kind->isInitializeRequest()));
    if (refusal) return refusal;

    if (kind->kind != JSONRPCMessageKind::Case::request) {
        // Acknowledge only what the server will read.
        if (!incoming_.yield(std::move(*request.body)))
            return internalFailure(std::make_exception_ptr(MCPError::connectionClosed()));
        return HTTPResponse::accepted();
    }
    key = std::move(kind->id);
    // The context outlives the waiter by a turn, so it marks the id as taken until the exchange ends.
    if (httpRequestContexts_.contains(key)) {
        return HTTPResponse::error(409, MCPError::invalidRequest("Conflict: Request ID already in use"));
    }
    // The body goes to the server, which reads it as the message; the context keeps the rest, so a
    // large body is never held twice.
    std::string body = std::move(*request.body);
    request.body.reset();
    if (!incoming_.yield(std::move(body))) {
        // The server stopped reading without terminating the transport: no answer can come.
        return internalFailure(std::make_exception_ptr(MCPError::connectionClosed()));
    }
    httpRequestContexts_.emplace(key, std::make_shared<const HTTPRequest>(std::move(request)));
    // Stored in the same turn as the hand-over: the server runs only once the exchange suspends.
    responseWaiters_.emplace(key, waiter);
    return std::nullopt;
}

HTTPResponse StatelessHTTPServerTransport::finishExchange(const std::string& key, std::optional<std::string> reply,
                                                          const std::exception_ptr& failure) {
    httpRequestContexts_.erase(key);
    if (failure) return internalFailure(failure);
    return HTTPResponse::data(std::move(*reply),
                              {{std::string(HTTPHeaderName::contentType), std::string(ContentType::json)}});
}

asio::awaitable<std::shared_ptr<const HTTPRequest>> StatelessHTTPServerTransport::httpRequestContext(ID id) {
    auto found = httpRequestContexts_.find(id.description());
    if (found == httpRequestContexts_.end()) co_return nullptr;
    co_return found->second;
}

}  // namespace mcp
