#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/url/url.hpp>

#include "logging/logger.hpp"
#include "mcp/base/authorization/http_client_authorizer.hpp"
#include "mcp/base/mcp_error.hpp"
#include "mcp/base/transport.hpp"
#include "mcp/base/version.hpp"
#include "mcp/client/detail/protocol_version_receiving.hpp"
#include "platform/async/async_stream.hpp"
#include "platform/async/one_shot.hpp"
#include "platform/async/task.hpp"
#include "platform/http/client.hpp"

namespace mcp {

/// The client side of Streamable HTTP: every message sent is one POST to `endpoint`, whose reply
/// is one JSON message or an event stream of messages; with `streaming` on, a background GET
/// keeps an event stream open on the same endpoint for messages the server sends on its own.
///
/// Carries the server's session id and the negotiated protocol version in its request headers,
/// asks an optional authorizer for "Authorization" before each request and sends a request again
/// after a 401 or 403 once the authorizer has handled the challenge. Redirects are never
/// followed. Confined to the runtime thread of its executor; held through std::shared_ptr.
///
/// @par Example
/// @code
/// auto transport = HTTPClientTransport::create(executor, boost::urls::url("http://127.0.0.1:8080/mcp"));
/// auto client = Client::create("demo", "1.0");
/// co_await client->connect(transport);
/// @endcode
class HTTPClientTransport final : public Transport,
                                  public ProtocolVersionReceiving,
                                  public std::enable_shared_from_this<HTTPClientTransport> {
public:
    using RequestModifier = std::function<platform::http::Request(platform::http::Request)>;

    struct Options {
        /// Keep a GET event stream open while connected.
        bool streaming = true;
        /// The longest wait, in seconds, for a session id before the first GET goes out anyway.
        double sseInitializationTimeout = 10;
        /// Sent as "MCP-Protocol-Version" until the client engine sets the negotiated one.
        std::optional<std::string> protocolVersion = Version::latest();
        std::shared_ptr<HTTPClientAuthorizer> authorizer;
        /// Applied last to every POST and GET request; may change anything.
        RequestModifier requestModifier;
        /// Without one, a logger labelled "mcp.transport.http.client" that discards everything.
        std::optional<logging::Logger> logger;
        /// For the transport's HTTP client (trust for https).
        platform::http::ClientOptions clientOptions;
    };

    static std::shared_ptr<HTTPClientTransport> create(boost::asio::any_io_executor executor, boost::urls::url endpoint,
                                                       Options options);
    static std::shared_ptr<HTTPClientTransport> create(boost::asio::any_io_executor executor, boost::urls::url endpoint);

    HTTPClientTransport(const HTTPClientTransport&) = delete;
    HTTPClientTransport& operator=(const HTTPClientTransport&) = delete;

    logging::Logger logger() const override { return logger_; }

    /// Marks the transport connected and, with streaming, starts the GET listener. Sends nothing.
    /// Throws MCPError internal error "Transport was disconnected" after `disconnect`: its client
    /// and message stream are spent.
    boost::asio::awaitable<void> connect() override;

    /// Cancels the listener and every request in flight and ends the message stream normally.
    /// Sends nothing to the server.
    boost::asio::awaitable<void> disconnect() override;

    /// POSTs `data` and returns once the reply has been handled: a JSON reply yielded, or an
    /// event-stream reply read to its end. Throws MCPError for the statuses it refuses, the
    /// HTTP client's errors unchanged.
    boost::asio::awaitable<void> send(std::string data) override;

    platform::AsyncStream<std::string> receive() override { return messages_; }

    boost::asio::awaitable<void> setProtocolVersion(std::string version) override;

    /// Sets the version every later request carries.
    void updateNegotiatedProtocolVersion(std::string version) { protocolVersion_ = std::move(version); }

    const boost::urls::url& endpoint() const noexcept { return endpoint_; }
    const std::optional<std::string>& sessionID() const noexcept { return sessionID_; }
    const std::optional<std::string>& protocolVersion() const noexcept { return protocolVersion_; }
    /// None removes "MCP-Protocol-Version" from later requests.
    void assignProtocolVersion(std::optional<std::string> version) { protocolVersion_ = std::move(version); }
    double sseInitializationTimeout() const noexcept { return sseInitializationTimeout_; }
    bool isConnected() const noexcept { return connected_; }
    /// The id the next GET sends as "Last-Event-ID": the last event of a reply stream that ended
    /// before its response, else the last event of the server's own stream.
    const std::optional<std::string>& lastEventID() const noexcept {
        return pendingResumptionID_ ? pendingResumptionID_ : lastEventID_;
    }
    /// The pause in milliseconds before each new GET after the first.
    std::int64_t retryInterval() const noexcept { return retryInterval_; }

    /// The method of a JSON-RPC request or notification, trimmed; none for a response, a batch,
    /// a blank method or bytes that are not JSON. Handed to the authorizer with a challenge.
    static std::optional<std::string> jsonRPCOperationKey(std::string_view message);

    /// The error a challenge that was not answered becomes.
    static MCPError mapAuthenticationChallengeError(const HTTPAuthenticationChallengeError& challenge);

private:
    HTTPClientTransport(boost::asio::any_io_executor executor, boost::urls::url endpoint, Options options);

    platform::http::Request buildPost(const std::string& data);
    boost::asio::awaitable<void> processResponse(platform::http::Response response);
    void processHTTPResponse(const platform::http::Response& response, const std::string& contentType);
    /// Which stream an event stream is: a POST's reply, the server's own stream opened by the GET,
    /// or a reply stream resumed by the GET.
    enum class StreamKind { reply, standalone, resumedReply };
    boost::asio::awaitable<bool> processSSE(platform::http::ResponseBody body, StreamKind kind);
    void storeSessionID(const platform::http::Response& response);
    void triggerInitialSessionIDSignal();
    void completeInitialSessionIDSignal();

    static boost::asio::awaitable<void> startListeningForServerEvents(std::shared_ptr<HTTPClientTransport> self);
    boost::asio::awaitable<void> waitForInitialSessionID();
    boost::asio::awaitable<void> connectToEventStream();

    boost::asio::any_io_executor executor_;
    boost::urls::url endpoint_;
    std::unique_ptr<platform::http::Client> session_;
    std::optional<std::string> sessionID_;
    std::optional<std::string> protocolVersion_;
    bool streaming_;
    std::optional<platform::Task<void>> streamingTask_;
    logging::Logger logger_;
    double sseInitializationTimeout_;
    RequestModifier requestModifier_;
    std::shared_ptr<HTTPClientAuthorizer> authorizer_;
    bool connected_ = false;
    bool disconnected_ = false;
    platform::AsyncStream<std::string> messages_;
    // The initial-session-id signal: armed by connect, completed by the first session id or by
    // disconnect; the listener's initial wait registers here.
    bool signalArmed_ = false;
    bool signalPending_ = false;
    std::vector<platform::OneShot<bool>> signalWaiters_;
    std::optional<std::string> lastEventID_;
    // A reply stream cut off before its response, for the next GET to resume.
    std::optional<std::string> pendingResumptionID_;
    std::int64_t retryInterval_ = 3000;
    std::optional<platform::http::ResponseBody> activeGETSessionTask_;
};

}  // namespace mcp
