#pragma once

#include <concepts>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <variant>
#include <vector>

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/json/value.hpp>

#include "logging/logger.hpp"
#include "mcp/base/cancelled_notification.hpp"
#include "mcp/base/client_capabilities.hpp"
#include "mcp/base/client_info.hpp"
#include "mcp/base/http_request.hpp"
#include "mcp/base/initialize.hpp"
#include "mcp/base/messages.hpp"
#include "mcp/base/notification_handler_box.hpp"
#include "mcp/base/pending_request.hpp"
#include "mcp/base/request_handler_box.hpp"
#include "mcp/base/server_capabilities.hpp"
#include "mcp/base/server_info.hpp"
#include "mcp/base/transport.hpp"
#include "mcp/client/create_sampling_message.hpp"
#include "mcp/client/elicitation.hpp"
#include "mcp/client/roots.hpp"
#include "mcp/server/detail/method_box.hpp"
#include "mcp/server/log_level.hpp"
#include "mcp/server/log_message_notification.hpp"
#include "mcp/server/server_configuration.hpp"
#include "platform/async/one_shot.hpp"
#include "platform/async/task.hpp"
#include "platform/json/write.hpp"

namespace mcp {

/// The MCP server engine: one transport connection, the handler registries and the protocol state
/// of that connection. Answers "initialize" and "ping" itself, runs every request in a task of its
/// own, answers batches as one array, honours the client's cancellations and sends its own
/// requests to the client.
///
/// Owned by std::shared_ptr (made by `create`) and confined to one runtime thread: call it only
/// from coroutines running on that thread. State interleaves only at suspensions. Everything it
/// writes is encoded with sorted keys and unescaped "/".
class Server : public std::enable_shared_from_this<Server> {
public:
    using Info = ServerInfo;
    using Capabilities = ServerCapabilities;
    using Configuration = ServerConfiguration;

    /// The request a method handler serves, read through `currentHandlerContext()`.
    class HandlerContext {
    public:
        explicit HandlerContext(ID id, std::shared_ptr<const HTTPRequest> httpContext = nullptr)
            : id_(std::move(id)), httpContext_(std::move(httpContext)) {}

        /// The JSON-RPC id of the request being handled.
        const ID& id() const noexcept { return id_; }
        /// The HTTP request that carried it, without its body (the request itself), when the
        /// transport can name it; null otherwise.
        const HTTPRequest* httpContext() const noexcept { return httpContext_.get(); }

    private:
        ID id_;
        std::shared_ptr<const HTTPRequest> httpContext_;
    };

    /// A decoded JSON array of requests and notifications. An element with an "id" member is a
    /// request, any other a notification; one element that does not decode fails the whole batch.
    struct Batch {
        using Item = std::variant<Request<AnyMethod>, Message<AnyNotification>>;

        std::vector<Item> items;

        /// Throws DecodingError for anything but an array of erased envelopes.
        static Batch fromJSON(const boost::json::value& json);
    };

    /// Called while answering "initialize", before anything is stored; an error it throws is the
    /// answer and leaves the server uninitialised.
    using InitializeHook = std::function<boost::asio::awaitable<void>(ClientInfo, ClientCapabilities)>;

    template <Method M>
    using MethodHandler = std::function<boost::asio::awaitable<typename M::Result>(typename M::Parameters)>;

    /// A handler that answers with a result it keeps, such as a fixed list: it is written without
    /// a copy. A null result is answered as an internal error.
    template <Method M>
    using SharedMethodHandler =
        std::function<boost::asio::awaitable<std::shared_ptr<const typename M::Result>>(typename M::Parameters)>;

    template <Notification N>
    using NotificationHandler = std::function<boost::asio::awaitable<void>(Message<N>)>;

    /// A server with nothing registered and nothing started. Its info holds only name, version
    /// and title.
    static std::shared_ptr<Server> create(std::string name, std::string version,
                                          std::optional<std::string> title = std::nullopt,
                                          std::optional<std::string> instructions = std::nullopt,
                                          Capabilities capabilities = {},
                                          Configuration configuration = Configuration::default_);

    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    const Info& serverInfo() const noexcept { return serverInfo_; }
    const std::string& name() const noexcept { return serverInfo_.name; }
    const std::optional<std::string>& title() const noexcept { return serverInfo_.title; }
    const std::string& version() const noexcept { return serverInfo_.version; }
    const std::optional<std::string>& instructions() const noexcept { return instructions_; }

    /// Only answering "initialize" reads them; a change shows in the next answer.
    const Capabilities& capabilities() const noexcept { return capabilities_; }
    void setCapabilities(Capabilities capabilities) { capabilities_ = std::move(capabilities); }

    /// A change applies to every check made after it.
    const Configuration& configuration() const noexcept { return configuration_; }
    void setConfiguration(Configuration configuration) { configuration_ = configuration; }

    /// The transport bound by `start`; null before `start` and after `stop`.
    const std::shared_ptr<Transport>& connection() const noexcept { return connection_; }

    bool isInitialized() const noexcept { return isInitialized_; }
    const std::optional<ClientInfo>& clientInfo() const noexcept { return clientInfo_; }
    const std::optional<ClientCapabilities>& clientCapabilities() const noexcept { return clientCapabilities_; }
    /// The negotiated protocol version.
    const std::optional<std::string>& protocolVersion() const noexcept { return protocolVersion_; }

    /// Binds `transport`, registers the "initialize", "ping" and "notifications/cancelled"
    /// handlers, connects and starts the receive loop without waiting for it. Throws what
    /// `connect()` throws; the transport and handlers then stay, but no loop runs. Start once.
    boost::asio::awaitable<void> start(std::shared_ptr<Transport> transport, InitializeHook initializeHook = nullptr);

    /// Cancels the receive loop (without waiting for it), fails every waiting request to the client
    /// with "Server disconnected" and disconnects the transport. Running request handlers go on;
    /// their responses then find no connection. Never throws.
    boost::asio::awaitable<void> stop();

    /// Returns when the receive loop stored at the time of the call has ended; at once when there
    /// is none. Never throws.
    boost::asio::awaitable<void> waitUntilCompleted();

    /// Registers the handler for `M::name`, replacing any earlier one ("initialize" and "ping"
    /// included: `start` replaces them with its own, a later registration replaces those). The
    /// handler may run several times at once.
    template <Method M>
    Server& withMethodHandler(MethodHandler<M> handler);
    template <Method M>
    Server& withMethodHandler(SharedMethodHandler<M> handler);

    /// Adds a handler for `N::name`; handlers run in registration order, and registering one twice
    /// makes it run twice.
    template <Notification N>
    Server& onNotification(NotificationHandler<N> handler);

    /// Writes one response. Throws MCPError "Server connection not initialized" without a
    /// transport, and what encoding or the transport throws.
    template <Method M>
    boost::asio::awaitable<void> send(Response<M> response);

    /// Writes one notification; throws as `send` does.
    template <Notification N>
    boost::asio::awaitable<void> notify(Message<N> message);

    /// Sends one "notifications/message" to the client, whatever the capabilities and whatever
    /// level the client asked for. Throws as `notify` does.
    boost::asio::awaitable<void> log(LogLevel level, std::optional<std::string> logger, Value data);

    /// As above, with a payload converted to the Value it writes as at once, so `data` need not
    /// outlive the call (a conversion error is thrown here, before anything is sent).
    template <class T>
        requires(!std::convertible_to<const T&, Value>)
    boost::asio::awaitable<void> log(LogLevel level, std::optional<std::string> logger, const T& data);

    /// Asks the client to run a model on `messages` and waits for its answer, however long it
    /// takes; `stop` fails the wait with "Server disconnected". The parameters go out exactly as
    /// given, without tools, tool choice or metadata. In strict mode the client must have declared
    /// sampling. Throws MCPError, the transport's error, or TypeMismatchError for an answer that
    /// is no sampling result.
    boost::asio::awaitable<CreateSamplingMessage::Result> requestSampling(
        std::vector<Sampling::Message> messages, std::optional<Sampling::ModelPreferences> modelPreferences,
        std::optional<std::string> systemPrompt, std::optional<Sampling::ContextInclusion> includeContext,
        std::optional<double> temperature, std::int64_t maxTokens,
        std::optional<std::vector<std::string>> stopSequences = std::nullopt,
        std::optional<Metadata> meta = std::nullopt);

    /// Asks the user, through the client, to fill in the form `requestedSchema`, and waits as
    /// `requestSampling` does. In strict mode the client must have declared elicitation.
    boost::asio::awaitable<CreateElicitation::Result> requestElicitation(
        std::string message, Elicitation::RequestSchema requestedSchema,
        std::optional<Elicitation::Mode> mode = std::nullopt, std::optional<Metadata> meta = std::nullopt);

    /// Asks the user, through the client, to open `url`; `elicitationId` names the interaction
    /// for a later "notifications/elicitation/complete". Waits and checks as above.
    boost::asio::awaitable<CreateElicitation::Result> requestElicitation(std::string message, std::string url,
                                                                         std::string elicitationId,
                                                                         std::optional<Metadata> meta = std::nullopt);

    /// Asks the client for its roots and waits for the answer, however long it takes; `stop`
    /// fails the wait with "Server disconnected". In strict mode the client must have declared
    /// roots. Throws MCPError, the transport's error, or TypeMismatchError for an answer that is
    /// no roots list.
    boost::asio::awaitable<std::vector<Root>> listRoots();

    /// Runs the handler of `request` in a task of its own and answers with its result or an error
    /// response: sent when `sendResponse` is true (then nothing is returned), returned otherwise. A
    /// cancelled request is never answered.
    boost::asio::awaitable<std::optional<Response<AnyMethod>>> handleRequest(Request<AnyMethod> request,
                                                                             bool sendResponse);

    /// Runs every handler registered for the notification, in order; a failing handler is logged
    /// and the next one runs. Throws only the strict-mode refusal.
    boost::asio::awaitable<void> handleMessage(Message<AnyNotification> message);

    /// Processes the items one after another and answers with one array of their responses.
    boost::asio::awaitable<void> handleBatch(Batch batch);

    /// Resumes the caller waiting for this response, or warns of a response nobody waits for.
    boost::asio::awaitable<void> handleResponse(Response<AnyMethod> response);

    /// Tells the client that the server no longer wants the answer to its request `id`; changes
    /// nothing locally (the caller waiting for it stays waiting).
    boost::asio::awaitable<void> cancelRequest(ID id, std::optional<std::string> reason = std::nullopt);

    /// The context of the method handler running in this task; nothing outside method handlers.
    static std::optional<HandlerContext> currentHandlerContext();

private:
    /// What a request's task gives: an erased response, or a typed success still to be written.
    using Reply = std::variant<Response<AnyMethod>, detail::TypedAnswer>;

    Server(std::string name, std::string version, std::optional<std::string> title,
           std::optional<std::string> instructions, Capabilities capabilities, Configuration configuration);

    template <Method M>
    platform::Task<typename M::Result> send(Request<M> request);

    template <class T>
    static boost::asio::awaitable<T> awaitReply(platform::OneShot<T> continuation);

    static boost::asio::awaitable<void> writeRequest(std::shared_ptr<Server> self,
                                                     std::shared_ptr<Transport> connection, ID id,
                                                     std::string data);

    static boost::asio::awaitable<void> receiveLoop(std::shared_ptr<Server> self,
                                                    std::shared_ptr<Transport> transport);
    boost::asio::awaitable<void> handleChunk(std::string chunk);
    /// A request or a success read straight to a Value; nothing for anything else.
    using PlainMessage = std::variant<std::monostate, Request<AnyMethod>, Response<AnyMethod>>;
    static PlainMessage readPlainMessage(std::string_view chunk);
    boost::asio::awaitable<void> handleOtherChunk(std::string chunk);
    /// Pauses after a message the transport could not take, or logs the failure and answers it
    /// with an error under `idForError` (a fresh id without one).
    boost::asio::awaitable<void> reportChunkFailure(std::optional<ID> idForError, std::exception_ptr failure);
    static boost::asio::awaitable<std::optional<Response<AnyMethod>>> dispatchRequest(std::shared_ptr<Server> self,
                                                                                      Request<AnyMethod> request,
                                                                                      bool sendResponse);
    /// A request's handler, or why there is none: the refusal was sent when `sendResponse` is true
    /// and is returned otherwise (the strict-mode refusal is then thrown).
    struct Admission {
        std::shared_ptr<const detail::MethodBox> box;
        std::shared_ptr<const HTTPRequest> httpContext;
        std::optional<Response<AnyMethod>> refusal;
    };
    /// The handler of `request`, or the refusal to answer (thrown in strict mode when it is not
    /// sent); logs the request.
    Admission lookUp(const Request<AnyMethod>& request, bool sendResponse) const;
    static boost::asio::awaitable<Admission> admit(std::shared_ptr<Server> self, const Request<AnyMethod>& request,
                                                   bool sendResponse);
    /// A request read by the receive loop, handled and answered in one task.
    static boost::asio::awaitable<void> serveRequest(std::shared_ptr<Server> self, Request<AnyMethod> request);
    static boost::asio::awaitable<void> serveAdmitted(std::shared_ptr<Server> self,
                                                      std::shared_ptr<const detail::MethodBox> box,
                                                      std::shared_ptr<const HTTPRequest> httpContext,
                                                      Request<AnyMethod> request);
    /// Runs the handler in the current task, `task`, listed as running while it runs, and stores
    /// its reply in `reply`.
    static boost::asio::awaitable<void> runTracked(std::shared_ptr<Server> self,
                                                   std::shared_ptr<platform::detail::TaskContext> task,
                                                   std::shared_ptr<const detail::MethodBox> box,
                                                   std::shared_ptr<const HTTPRequest> httpContext,
                                                   Request<AnyMethod> request, std::optional<Reply>& reply);
    /// Answers the request `id` with the error `failure` stands for.
    boost::asio::awaitable<void> sendFailure(ID id, std::exception_ptr failure);
    static boost::asio::awaitable<Reply> runHandler(std::shared_ptr<Server> self,
                                                    std::shared_ptr<const detail::MethodBox> box,
                                                    Request<AnyMethod> request, bool erased);
    boost::asio::awaitable<void> sendReply(Reply reply);
    /// Hands one encoded response to `connection`, with its id where the transport routes by it.
    static boost::asio::awaitable<void> deliverResponse(std::shared_ptr<Transport> connection, const ID& id,
                                                        std::string data);

    /// Both forms of `requestElicitation`, once their parameters are made.
    boost::asio::awaitable<CreateElicitation::Result> elicit(CreateElicitation::Parameters parameters);

    std::optional<AnyPendingRequest> removePendingResponse(const ID& id);
    void validateClientCapability(bool declared, std::string_view name) const;

    void registerDefaultHandlers(InitializeHook initializeHook);
    void setInitialState(ClientInfo clientInfo, ClientCapabilities clientCapabilities, std::string protocolVersion);
    static boost::asio::awaitable<Initialize::Result> answerInitialize(std::weak_ptr<Server> weak,
                                                                       InitializeHook hook,
                                                                       Initialize::Parameters parameters);
    static boost::asio::awaitable<void> handleCancellation(std::weak_ptr<Server> weak,
                                                           Message<CancelledNotification> message);
    std::optional<std::function<void()>> removePendingRequest(const ID& id);

    /// The logger of the connected transport, read afresh; nothing without a transport.
    std::optional<logging::Logger> logger() const;

    static std::string encode(const boost::json::value& json) {
        return platform::json::write(json, {.sortedKeys = true, .escapeSlashes = false});
    }
    /// As `encode(response.toJSON())`, writing a success's Value without a DOM.
    static std::string encodeResponse(const Response<AnyMethod>& response);
    /// As `encode` of the response holding the answer's result read as a Value, or of the error
    /// response the handler task gives when that reading fails.
    static std::string encodeAnswer(const detail::TypedAnswer& answer);

    Info serverInfo_;
    std::shared_ptr<Transport> connection_;
    std::optional<std::string> instructions_;
    Capabilities capabilities_;
    Configuration configuration_;
    std::map<std::string, std::shared_ptr<const detail::MethodBox>, std::less<>> methodHandlers_;
    std::map<std::string, std::vector<std::shared_ptr<const NotificationHandlerBox>>, std::less<>> notificationHandlers_;
    /// How to cancel each running request, by id.
    std::unordered_map<ID, std::function<void()>> pendingRequestTasks_;
    std::unordered_map<ID, AnyPendingRequest> pendingRequests_;
    bool isInitialized_ = false;
    std::optional<ClientInfo> clientInfo_;
    std::optional<ClientCapabilities> clientCapabilities_;
    std::optional<std::string> protocolVersion_;
    /// Resource subscriptions by URI, for the resource methods; the engine itself never touches it.
    std::map<std::string, std::unordered_set<ID>, std::less<>> subscriptions_;
    std::optional<platform::Task<void>> task_;
    /// The runtime the server was started on, where its own requests to the client run.
    boost::asio::any_io_executor executor_;
};

template <Method M>
Server& Server::withMethodHandler(MethodHandler<M> handler) {
    methodHandlers_.insert_or_assign(std::string(M::name),
                                     std::make_shared<const detail::TypedMethodBox<M>>(std::move(handler)));
    return *this;
}

template <Method M>
Server& Server::withMethodHandler(SharedMethodHandler<M> handler) {
    methodHandlers_.insert_or_assign(std::string(M::name),
                                     std::make_shared<const detail::TypedMethodBox<M, true>>(std::move(handler)));
    return *this;
}

template <Notification N>
Server& Server::onNotification(NotificationHandler<N> handler) {
    auto& handlers = notificationHandlers_[std::string(N::name)];
    handlers.push_back(std::make_shared<const TypedNotificationHandler<N>>(std::move(handler)));
    return *this;
}

template <Method M>
boost::asio::awaitable<void> Server::send(Response<M> response) {
    // Held here: `stop` may drop the connection while the transport sends.
    auto connection = connection_;
    if (!connection) throw MCPError::internalError("Server connection not initialized");
    std::string data;
    if constexpr (std::same_as<M, AnyMethod>) data = encodeResponse(response);
    else data = encode(response.toJSON());
    co_await deliverResponse(std::move(connection), response.id, std::move(data));
}

template <Notification N>
boost::asio::awaitable<void> Server::notify(Message<N> message) {
    // Held here: `stop` may drop the connection while the transport sends.
    auto connection = connection_;
    if (!connection) throw MCPError::internalError("Server connection not initialized");
    auto data = encode(message.toJSON());
    co_await connection->send(std::move(data));
}

template <class T>
    requires(!std::convertible_to<const T&, Value>)
boost::asio::awaitable<void> Server::log(LogLevel level, std::optional<std::string> logger, const T& data) {
    return log(level, std::move(logger), Value::from(data));
}

template <Method M>
platform::Task<typename M::Result> Server::send(Request<M> request) {
    using Result = typename M::Result;
    if (!connection_) throw MCPError::internalError("Server connection not initialized");
    auto data = encode(request.toJSON());
    // Recorded before the write is even started, so no answer can arrive for an id not yet known.
    platform::OneShot<Result> continuation;
    pendingRequests_.insert_or_assign(request.id, AnyPendingRequest(PendingRequest<Result>(continuation)));
    platform::spawn(executor_, writeRequest(shared_from_this(), connection_, request.id, std::move(data)));
    return platform::spawn(executor_, awaitReply<Result>(std::move(continuation)));
}

template <class T>
boost::asio::awaitable<T> Server::awaitReply(platform::OneShot<T> continuation) {
    auto result = co_await continuation.wait();
    co_return result;
}

}  // namespace mcp
