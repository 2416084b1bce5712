#include "mcp/base/transports/http_client_transport.hpp"

#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>

#include <boost/asio/this_coro.hpp>
#include <boost/json/parse.hpp>

#include "eventsource/async_server_sent_events_sequence.hpp"
#include "mcp/base/transports/detail/failure_text.hpp"
#include "logging/no_op_log_handler.hpp"
#include "mcp/base/transports/http_server/content_type.hpp"
#include "mcp/base/transports/http_server/http_header_name.hpp"
#include "platform/async/cancellation.hpp"
#include "platform/describe.hpp"
#include "platform/text.hpp"

namespace mcp {

namespace asio = boost::asio;
using platform::http::Request;
using platform::http::Response;
using platform::http::ResponseBody;

namespace {

// Durations from settings or from the server: NaN and negatives wait nothing, and nothing waits
// longer than a day, so the conversion to a chrono duration can never overflow.
constexpr double longestWaitSeconds = 24 * 60 * 60;

std::chrono::steady_clock::duration clampedSeconds(double seconds) {
    if (!(seconds > 0)) return std::chrono::steady_clock::duration::zero();
    seconds = std::min(seconds, longestWaitSeconds);
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
}

std::chrono::steady_clock::duration clampedMilliseconds(std::int64_t milliseconds) {
    return clampedSeconds(static_cast<double>(milliseconds) / 1000.0);
}

bool containsIgnoringCase(std::string_view text, std::string_view part) {
    if (part.size() > text.size()) return false;
    for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
        if (platform::http::equalsIgnoringCase(text.substr(i, part.size()), part)) return true;
    }
    return false;
}

const char* truth(bool value) {
    return value ? "true" : "false";
}

}  // namespace

std::shared_ptr<HTTPClientTransport> HTTPClientTransport::create(asio::any_io_executor executor, boost::urls::url endpoint,
                                                                 Options options) {
    return std::shared_ptr<HTTPClientTransport>(
        new HTTPClientTransport(std::move(executor), std::move(endpoint), std::move(options)));
}

std::shared_ptr<HTTPClientTransport> HTTPClientTransport::create(asio::any_io_executor executor, boost::urls::url endpoint) {
    return create(std::move(executor), std::move(endpoint), Options());
}

HTTPClientTransport::HTTPClientTransport(asio::any_io_executor executor, boost::urls::url endpoint, Options options)
    : executor_(std::move(executor)),
      endpoint_(std::move(endpoint)),
      session_(std::make_unique<platform::http::Client>(executor_, std::move(options.clientOptions))),
      protocolVersion_(std::move(options.protocolVersion)),
      streaming_(options.streaming),
      logger_(options.logger ? std::move(*options.logger)
                             : logging::Logger("mcp.transport.http.client", logging::NoOpLogHandler())),
      sseInitializationTimeout_(options.sseInitializationTimeout),
      requestModifier_(std::move(options.requestModifier)),
      authorizer_(std::move(options.authorizer)) {}

asio::awaitable<void> HTTPClientTransport::setProtocolVersion(std::string version) {
    protocolVersion_ = std::move(version);
    co_return;
}

asio::awaitable<void> HTTPClientTransport::connect() {
    if (connected_) co_return;
    if (disconnected_) throw MCPError::internalError("Transport was disconnected");
    connected_ = true;
    signalArmed_ = true;
    signalPending_ = true;
    if (streaming_) streamingTask_ = platform::spawnDetached(executor_, startListeningForServerEvents(shared_from_this()));
    logger_.debug("HTTP transport connected");
}

asio::awaitable<void> HTTPClientTransport::disconnect() {
    if (!connected_) co_return;
    connected_ = false;
    disconnected_ = true;
    if (streamingTask_) {
        streamingTask_->cancel();
        streamingTask_.reset();
    }
    session_->invalidateAndCancel();
    messages_.finish();
    completeInitialSessionIDSignal();
    signalArmed_ = false;
    logger_.debug("HTTP clienttransport disconnected");
}

void HTTPClientTransport::completeInitialSessionIDSignal() {
    signalPending_ = false;
    for (auto& waiter : std::exchange(signalWaiters_, {})) waiter.resume(true);
}

void HTTPClientTransport::triggerInitialSessionIDSignal() {
    if (signalPending_) {
        completeInitialSessionIDSignal();
        logger_.debug("✓ Initial session ID signal triggered for SSE task");
    } else {
        logger_.debug("✗ No continuation to trigger - signal already consumed or SSE task not waiting");
    }
}

std::optional<std::string> HTTPClientTransport::jsonRPCOperationKey(std::string_view message) {
    boost::system::error_code ec;
    auto json = boost::json::parse(message, ec);
    if (ec || !json.is_object()) return std::nullopt;
    auto* method = json.as_object().if_contains("method");
    if (!method || !method->is_string()) return std::nullopt;
    std::string_view text = method->as_string();
    constexpr std::string_view whitespace = " \t\n\r\v\f";
    auto first = text.find_first_not_of(whitespace);
    if (first == std::string_view::npos) return std::nullopt;
    auto last = text.find_last_not_of(whitespace);
    return std::string(text.substr(first, last - first + 1));
}

MCPError HTTPClientTransport::mapAuthenticationChallengeError(const HTTPAuthenticationChallengeError& challenge) {
    switch (challenge.statusCode()) {
        case 401: return MCPError::internalError("Authentication required");
        case 403: return MCPError::internalError("Access forbidden");
        default: return MCPError::internalError("HTTP authorization error: " + std::to_string(challenge.statusCode()));
    }
}

Request HTTPClientTransport::buildPost(const std::string& data) {
    Request request;
    request.method = "POST";
    request.url = endpoint_;
    request.timeout = std::chrono::seconds(60);
    request.followRedirects = false;
    request.headers.add(HTTPHeaderName::accept, "application/json, text/event-stream");
    request.headers.add(HTTPHeaderName::contentType, "application/json");
    request.body = data;
    if (protocolVersion_) request.headers.add(HTTPHeaderName::protocolVersion, *protocolVersion_);
    if (sessionID_) request.headers.add(HTTPHeaderName::sessionID, *sessionID_);
    if (authorizer_) {
        if (auto header = authorizer_->authorizationHeader(endpoint_))
            request.headers.set(HTTPHeaderName::authorization, *header);
    }
    if (requestModifier_) request = requestModifier_(std::move(request));
    return request;
}

asio::awaitable<void> HTTPClientTransport::send(std::string data) {
    if (!connected_) throw MCPError::internalError("Transport not connected");
    if (authorizer_) {
        try {
            authorizer_->validateEndpointSecurity(endpoint_);
        } catch (...) {
            throw MCPError::internalError("Authorization flow failed: " + platform::describe(std::current_exception()));
        }
        try {
            co_await authorizer_->prepareAuthorization(endpoint_, *session_);
        } catch (...) {
            // The request goes out with whatever credentials there are.
        }
    }
    const auto operationKey = jsonRPCOperationKey(data);
    int attempt = 0;
    for (;;) {
        auto request = buildPost(data);
        std::optional<HTTPAuthenticationChallengeError> challenge;
        try {
            auto response = co_await session_->send(std::move(request));
            co_await processResponse(std::move(response));
            co_return;
        } catch (const HTTPAuthenticationChallengeError& e) {
            challenge = e;
        }
        if (!authorizer_) throw mapAuthenticationChallengeError(*challenge);
        bool handled = false;
        std::exception_ptr flowFailure;
        try {
            handled = co_await authorizer_->handleChallenge(challenge->statusCode(), challenge->headers(), endpoint_,
                                                            operationKey, *session_);
        } catch (...) {
            flowFailure = std::current_exception();
        }
        if (flowFailure) throw MCPError::internalError("Authorization flow failed: " + platform::describe(flowFailure));
        if (!handled || attempt + 1 >= authorizer_->maxAuthorizationAttempts())
            throw mapAuthenticationChallengeError(*challenge);
        ++attempt;
    }
}

void HTTPClientTransport::storeSessionID(const Response& response) {
    auto value = response.headers.get(HTTPHeaderName::sessionID);
    if (!value) return;
    bool first = !sessionID_;
    sessionID_ = *value;
    if (first) triggerInitialSessionIDSignal();
    logger_.debug("Session ID received", {{"sessionID", *value}});
}

asio::awaitable<void> HTTPClientTransport::processResponse(Response response) {
    auto contentType = response.headers.get(HTTPHeaderName::contentType).value_or("");
    storeSessionID(response);
    processHTTPResponse(response, contentType);
    // Media types are case-insensitive: "Text/Event-Stream" is still an event stream.
    if (containsIgnoringCase(contentType, ContentType::sse)) {
        logger_.trace("Received SSE response, processing in streaming task");
        bool hadData = co_await processSSE(response.body, StreamKind::reply);
        if (!hadData) {
            logger_.debug("POST SSE stream closed without data, triggering GET reconnection");
            if (activeGETSessionTask_) activeGETSessionTask_->cancel();
        }
    } else if (containsIgnoringCase(contentType, ContentType::json)) {
        auto body = co_await response.body.readAll();
        logger_.trace("Received JSON response", {{"size", std::to_string(body.size())}});
        messages_.yield(std::move(body));
    } else {
        logger_.warning("Unexpected content type: " + contentType);
    }
}

void HTTPClientTransport::processHTTPResponse(const Response& response, const std::string& contentType) {
    const int status = response.status;
    if (status >= 200 && status <= 299) return;
    switch (status) {
        case 400: throw MCPError::internalError("Bad request");
        case 401:
        case 403: throw HTTPAuthenticationChallengeError(status, response.headers);
        case 404:
            if (sessionID_) {
                logger_.warning("Session has expired");
                sessionID_.reset();
                throw MCPError::internalError("Session expired");
            }
            throw MCPError::internalError("Endpoint not found");
        case 405:
            if (streaming_) {
                if (streamingTask_) streamingTask_->cancel();
                throw MCPError::internalError("Server does not support streaming");
            }
            throw MCPError::internalError("Method not allowed");
        case 408: throw MCPError::internalError("Request timeout");
        case 429: throw MCPError::internalError("Too many requests");
        default: break;
    }
    if (status >= 500 && status <= 599) throw MCPError::internalError("Server error: " + std::to_string(status));
    throw MCPError::internalError("Unexpected HTTP response: " + std::to_string(status) + " (" + contentType + ")");
}

namespace {

bool isResponse(std::string_view data) {
    boost::system::error_code ec;
    auto json = boost::json::parse(data, ec);
    if (ec || !json.is_object()) return false;
    const auto& object = json.as_object();
    return object.contains("id") && (object.contains("result") || object.contains("error"));
}

}  // namespace

asio::awaitable<bool> HTTPClientTransport::processSSE(ResponseBody body, StreamKind kind) {
    logger_.debug("📥 Starting SSE event processing");
    auto events = eventsource::events(std::move(body)).makeAsyncIterator();
    std::int64_t count = 0;
    bool hadData = false;
    // A reply stream is resumed only when it ended before its response: resuming a finished one
    // would replay it, and the GET would never open the server's own stream.
    std::optional<std::string> streamLastID;
    bool deliveredResponse = false;
    std::exception_ptr failure;
    try {
        for (;;) {
            auto event = co_await events.next();
            if (!event) break;
            ++count;
            if (platform::isCancelled()) {
                logger_.debug("⏹️ SSE processing cancelled", {{"eventsProcessed", std::to_string(count)}});
                break;
            }
            logger_.trace("SSE event received",
                          {{"type", event->event.value_or("message")}, {"id", event->id.value_or("none")}});
            if (event->id && !event->id->empty()) {
                streamLastID = *event->id;
                if (kind == StreamKind::standalone) lastEventID_ = *event->id;
                logger_.debug("Stored event ID for resumability", {{"eventID", *event->id}});
            }
            if (event->retry) {
                retryInterval_ = *event->retry;
                logger_.debug("SSE retry interval updated", {{"retryMs", std::to_string(*event->retry)}});
            }
            if (!event->data.empty()) {
                if (kind != StreamKind::standalone && isResponse(event->data)) deliveredResponse = true;
                messages_.yield(std::move(event->data));
                hadData = true;
            }
        }
    } catch (...) {
        failure = std::current_exception();
    }
    if (kind == StreamKind::reply && !deliveredResponse && streamLastID) {
        pendingResumptionID_ = streamLastID;
    } else if (kind == StreamKind::resumedReply) {
        // A resumed stream that brought its response, or ended with nothing new, is done.
        if (!deliveredResponse && streamLastID) pendingResumptionID_ = streamLastID;
        else if (!failure) pendingResumptionID_.reset();
    }
    if (failure) std::rethrow_exception(failure);
    logger_.debug("✓ SSE event stream completed",
                  {{"eventsProcessed", std::to_string(count)}, {"hadData", truth(hadData)}});
    co_return hadData;
}

asio::awaitable<void> HTTPClientTransport::startListeningForServerEvents(std::shared_ptr<HTTPClientTransport> self) {
    if (!self->connected_) co_return;
    if (!self->sessionID_ && self->signalArmed_) {
        co_await self->waitForInitialSessionID();
    } else {
        self->logger_.debug("✓ Session ID already available, proceeding with SSE connection immediately");
    }
    self->logger_.debug("🔄 Starting SSE retry loop", {{"isConnected", truth(self->connected_)},
                                                       {"isCancelled", truth(platform::isCancelled())}});
    std::int64_t attempt = 0;
    while (self->connected_ && !platform::isCancelled()) {
        ++attempt;
        self->logger_.debug("🔄 SSE retry loop iteration",
                            {{"attempt", std::to_string(attempt)}, {"isFirstAttempt", truth(attempt == 1)}});
        std::exception_ptr failure;
        try {
            if (attempt > 1) {
                auto pause = self->retryInterval_;
                self->logger_.debug("⏳ Waiting before SSE reconnection", {{"retryMs", std::to_string(pause)}});
                co_await platform::sleepFor(clampedMilliseconds(pause));
                self->logger_.debug("✓ Wait complete, reconnecting now");
            }
            self->logger_.debug("📡 Calling connectToEventStream (attempt #" + std::to_string(attempt) + ")");
            co_await self->connectToEventStream();
            self->logger_.info("🔌 SSE stream closed gracefully, will reconnect",
                               {{"attempt", std::to_string(attempt)},
                                {"willRetryAfter", std::to_string(self->retryInterval_) + "ms"}});
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure) {
            if (!platform::isCancelled()) {
                self->logger_.error("❌ SSE connection error (attempt #" + std::to_string(attempt) +
                                    "): " + detail::failureText(failure));
            } else {
                self->logger_.debug("⏹️ SSE task cancelled");
            }
        }
        bool cancelled = platform::isCancelled();
        self->logger_.debug("🔄 End of retry loop iteration",
                            {{"isConnected", truth(self->connected_)},
                             {"isCancelled", truth(cancelled)},
                             {"willContinue", truth(self->connected_ && !cancelled)}});
    }
    self->logger_.debug("⏹️ SSE retry loop exited", {{"isConnected", truth(self->connected_)},
                                                     {"isCancelled", truth(platform::isCancelled())},
                                                     {"totalAttempts", std::to_string(attempt)}});
}

asio::awaitable<void> HTTPClientTransport::waitForInitialSessionID() {
    const auto timeoutText = platform::describeDouble(sseInitializationTimeout_);
    logger_.debug("⏳ Waiting for session ID to be set (timeout: " + timeoutText + "s)...");
    const auto started = std::chrono::system_clock::now();
    bool signalled = !signalPending_;
    if (!signalled) {
        // Whichever comes first wins: the signal (true), or the timer (false), which also ends
        // early when the listener is cancelled.
        platform::OneShot<bool> wake;
        signalWaiters_.push_back(wake);
        auto timer = platform::spawnDetached(
            executor_, [](platform::OneShot<bool> wake, std::chrono::steady_clock::duration limit) -> asio::awaitable<void> {
                try {
                    co_await platform::sleepFor(limit);
                } catch (...) {
                }
                wake.resume(false);
            }(wake, clampedSeconds(sseInitializationTimeout_)));
        {
            platform::CancellationHandler onCancel([timer] { timer.cancel(); });
            if (platform::isCancelled()) timer.cancel();
            signalled = co_await wake.wait();
        }
        timer.cancel();
        co_await timer.value();
    }
    if (!signalled) {
        logger_.warning("⏱️ Timeout waiting for session ID (" + timeoutText + "s). SSE stream will proceed anyway.");
    }
    if (sessionID_) {
        auto elapsed = std::chrono::duration<double>(std::chrono::system_clock::now() - started).count();
        auto milliseconds = static_cast<std::int64_t>(elapsed * 1000.0);
        logger_.debug("✓ Session ID received after " + std::to_string(milliseconds) +
                      "ms, proceeding with SSE connection");
    }
}

asio::awaitable<void> HTTPClientTransport::connectToEventStream() {
    if (!connected_) {
        logger_.debug("⚠️ Skipping connectToEventStream - transport not connected");
        co_return;
    }
    if (authorizer_) {
        try {
            authorizer_->validateEndpointSecurity(endpoint_);
        } catch (...) {
            throw MCPError::internalError("Authorization flow failed: " + platform::describe(std::current_exception()));
        }
        try {
            co_await authorizer_->prepareAuthorization(endpoint_, *session_);
        } catch (const platform::CancellationError&) {
            throw;
        } catch (...) {
        }
    }
    logger_.debug("🔌 Preparing SSE connection request");
    Request request;
    request.method = "GET";
    request.url = endpoint_;
    request.timeout = std::chrono::seconds(60);
    request.followRedirects = false;
    request.headers.add(HTTPHeaderName::accept, "text/event-stream");
    request.headers.add(HTTPHeaderName::cacheControl, "no-cache");
    if (protocolVersion_) request.headers.add(HTTPHeaderName::protocolVersion, *protocolVersion_);
    if (sessionID_) request.headers.add(HTTPHeaderName::sessionID, *sessionID_);
    const auto resuming = lastEventID();
    const auto kind = pendingResumptionID_ ? StreamKind::resumedReply : StreamKind::standalone;
    if (resuming) {
        request.headers.add(HTTPHeaderName::lastEventID, *resuming);
        logger_.info("→ Resuming SSE stream with Last-Event-ID", {{"lastEventID", *resuming}});
    } else {
        logger_.info("→ Connecting to SSE stream (no last event ID to resume from)");
    }
    if (authorizer_) {
        if (auto header = authorizer_->authorizationHeader(endpoint_))
            request.headers.set(HTTPHeaderName::authorization, *header);
    }
    if (requestModifier_) request = requestModifier_(std::move(request));
    logger_.debug("Starting SSE connection");
    auto response = co_await session_->send(std::move(request));
    activeGETSessionTask_ = response.body;
    if (response.status != 200) {
        if (response.status == 405 && streamingTask_) streamingTask_->cancel();
        throw MCPError::internalError("HTTP error: " + std::to_string(response.status));
    }
    storeSessionID(response);
    std::exception_ptr failure;
    try {
        co_await processSSE(response.body, kind);
    } catch (...) {
        failure = std::current_exception();
    }
    activeGETSessionTask_.reset();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace mcp
