#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/json/value.hpp>

#include "logging/logger.hpp"
#include "mcp/base/cancelled_notification.hpp"
#include "mcp/base/client_capabilities.hpp"
#include "mcp/base/client_configuration.hpp"
#include "mcp/base/client_info.hpp"
#include "mcp/base/icon.hpp"
#include "mcp/base/initialize.hpp"
#include "mcp/base/messages.hpp"
#include "mcp/base/metadata.hpp"
#include "mcp/base/notification_handler_box.hpp"
#include "mcp/base/pending_request.hpp"
#include "mcp/base/request_context.hpp"
#include "mcp/base/request_handler_box.hpp"
#include "mcp/base/server_capabilities.hpp"
#include "mcp/base/transport.hpp"
#include "mcp/client/create_sampling_message.hpp"
#include "mcp/client/elicitation.hpp"
#include "mcp/client/roots.hpp"
#include "mcp/server/call_tool.hpp"
#include "mcp/server/complete.hpp"
#include "mcp/server/list_tools.hpp"
#include "mcp/server/log_level.hpp"
#include "mcp/server/prompt.hpp"
#include "mcp/server/prompt_methods.hpp"
#include "mcp/server/resource_methods.hpp"
#include "platform/async/one_shot.hpp"
#include "platform/async/task.hpp"
#include "platform/json/write.hpp"

namespace mcp {

/// The MCP client engine: one connection to a server, the handshake, requests correlated with
/// their responses by id, cancellation, batches, and the handlers that answer the server's own
/// requests and notifications.
///
/// Owned by std::shared_ptr (made by `create`) and confined to one runtime thread: call it only
/// from that thread. State interleaves only at suspensions. Every message it receives is handled
/// in its receive loop, one at a time and in arrival order: a request from the server is answered
/// before the next message is read, so a handler must not wait for another message from the same
/// server. Everything it writes is encoded with
/// the writer's default options. Its log lines go to the logger of the connected transport.
class Client : public std::enable_shared_from_this<Client> {
public:
    using Info = ClientInfo;
    using Capabilities = ClientCapabilities;
    using Configuration = ClientConfiguration;

    class Batch;

    template <Method M>
    using MethodHandler = std::function<boost::asio::awaitable<typename M::Result>(typename M::Parameters)>;

    template <Notification N>
    using NotificationHandler = std::function<boost::asio::awaitable<void>(Message<N>)>;

    /// Fills a batch; see `withBatch`.
    using BatchBody = std::function<boost::asio::awaitable<void>(std::shared_ptr<Batch>)>;

    /// One page of a list method: the items and the cursor of the next page, if any.
    template <class T>
    struct Page {
        std::vector<T> items;
        std::optional<std::string> nextCursor;
    };

    /// What `getPrompt` gives: the prompt's description and its messages.
    struct PromptMessages {
        std::optional<std::string> description;
        std::vector<Prompt::Message> messages;
    };

    /// What the waiting `callTool` gives: the content and the error flag of the tool's result.
    struct ToolOutcome {
        std::vector<Tool::Content> content;
        std::optional<bool> isError;
    };

    /// A client with nothing registered and no connection. It does no input or output.
    static std::shared_ptr<Client> create(std::string name, std::string version,
                                          std::optional<std::string> title = std::nullopt,
                                          std::optional<std::string> description = std::nullopt,
                                          std::optional<std::string> websiteUrl = std::nullopt,
                                          std::optional<std::vector<Icon>> icons = std::nullopt,
                                          Capabilities capabilities = {},
                                          Configuration configuration = Configuration::default_);

    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    const Info& clientInfo() const noexcept { return clientInfo_; }
    const std::string& name() const noexcept { return clientInfo_.name; }
    const std::optional<std::string>& title() const noexcept { return clientInfo_.title; }
    const std::string& version() const noexcept { return clientInfo_.version; }

    /// Sent in each handshake as it stands then; registering handlers never changes it.
    const Capabilities& capabilities() const noexcept { return capabilities_; }
    void setCapabilities(Capabilities capabilities) { capabilities_ = std::move(capabilities); }

    /// A change applies to every check made after it.
    const Configuration& configuration() const noexcept { return configuration_; }
    void setConfiguration(Configuration configuration) { configuration_ = configuration; }

    /// What the last successful handshake stored; they survive `disconnect`.
    const std::optional<ServerCapabilities>& serverCapabilities() const noexcept { return serverCapabilities_; }
    /// The protocol version the server answered, taken as it is.
    const std::optional<std::string>& serverVersion() const noexcept { return serverVersion_; }
    const std::optional<std::string>& instructions() const noexcept { return instructions_; }

    /// The transport stored by `connect`; null before and after `disconnect`.
    const std::shared_ptr<Transport>& connection() const noexcept { return connection_; }

    // Lifecycle

    /// Stores `transport` (replacing any stored one, which is not told), connects it, starts the
    /// receive loop, adds the handler of "notifications/cancelled" and runs the handshake. Throws
    /// what the transport's `connect` throws (the transport stays stored, no loop starts) or what
    /// the handshake throws (the loop and the connection stay).
    boost::asio::awaitable<Initialize::Result> connect(std::shared_ptr<Transport> transport);

    /// Fails every waiting request with the internal error "Client disconnected", stops the
    /// receive loop, disconnects the transport and waits for the loop to end. Handlers and what
    /// the handshake stored stay; the client may connect again. Called from a handler, which runs
    /// inside the loop, it returns without waiting for the loop. Never throws.
    boost::asio::awaitable<void> disconnect();

    /// Runs the handshake again: "initialize" with a fresh id, then "notifications/initialized".
    /// Any protocol version the server answers is adopted. Throws what the request throws (nothing
    /// is stored then) or what the notification throws (what was stored stays).
    boost::asio::awaitable<Initialize::Result> initialize();

    // Requests and notifications

    /// Registers the request's waiter and starts writing it, without waiting; the context's task
    /// ends with the typed result, the server's error, TypeMismatchError for a result that does not
    /// read as one, the transport's error, CancellationError, or "Client disconnected". Cancelling
    /// that task does not end the wait. Throws the internal error "Client connection not
    /// initialized" without a transport, MCPError invalidRequest while another request with the
    /// same id waits, and what encoding throws; nothing is registered then.
    template <Method M>
    RequestContext<typename M::Result> send(Request<M> request);

    /// `send`, then waits for the result; throws what the task of `send` would end with.
    template <Method M>
    boost::asio::awaitable<typename M::Result> sendAndAwait(Request<M> request);

    /// Writes one notification. Throws "Client connection not initialized" without a transport,
    /// and what encoding or the transport throws.
    template <Notification N>
    boost::asio::awaitable<void> notify(Message<N> message);

    /// Fails the waiter of request `id` (if it still waits) with CancellationError, then tells the
    /// server with "notifications/cancelled", whether or not it waited. Throws what `notify`
    /// throws; the waiter stays failed.
    boost::asio::awaitable<void> cancelRequest(ID id, std::optional<std::string> reason = std::nullopt);

    /// Runs `body` with a new batch, then writes every request it added as one JSON array, in the
    /// order they were added; writes nothing when none was. Each request's task ends as those of
    /// `send` do. Throws "Client connection not initialized" without a transport (`body` does not
    /// run), and what `body`, encoding or the transport throws; the batch's waiters are then failed
    /// with that error. Await the requests' tasks only after this returns.
    boost::asio::awaitable<void> withBatch(BatchBody body);

    // Handlers

    /// Adds a handler for `N::name`; handlers run in registration order, and registering one twice
    /// makes it run twice. A failing handler is logged and the next one runs.
    template <Notification N>
    Client& onNotification(NotificationHandler<N> handler);

    /// Registers the handler answering the server's requests of method M, replacing any earlier
    /// one. An error it throws is the answer: an MCPError as it is, any other as an internal error.
    template <Method M>
    Client& withMethodHandler(MethodHandler<M> handler);

    /// Answers "sampling/createMessage" through `handler`.
    Client& withSamplingHandler(MethodHandler<CreateSamplingMessage> handler);

    /// Answers "elicitation/create" through `handler`.
    Client& withElicitationHandler(MethodHandler<CreateElicitation> handler);

    /// Answers "roots/list" with the roots `handler` gives.
    Client& withRootsHandler(std::function<boost::asio::awaitable<std::vector<Root>>()> handler);

    // Calls to the server. In strict mode each checks first that the server declared the
    // capability it needs, and throws MCPError methodNotFound without sending when it did not.

    boost::asio::awaitable<void> ping();

    boost::asio::awaitable<PromptMessages> getPrompt(
        std::string name, std::optional<std::map<std::string, std::string>> arguments = std::nullopt);
    boost::asio::awaitable<Page<Prompt>> listPrompts(std::optional<std::string> cursor = std::nullopt);

    /// The resource's contents.
    boost::asio::awaitable<std::vector<Resource::Content>> readResource(std::string uri);
    boost::asio::awaitable<Page<Resource>> listResources(std::optional<std::string> cursor = std::nullopt);
    /// Needs the server's resource subscriptions, declared true or false.
    boost::asio::awaitable<void> subscribeToResource(std::string uri);
    boost::asio::awaitable<Page<Resource::Template>> listResourceTemplates(
        std::optional<std::string> cursor = std::nullopt);

    boost::asio::awaitable<Page<Tool>> listTools(std::optional<std::string> cursor = std::nullopt);

    /// Waits for the tool's result; its structured content is dropped.
    boost::asio::awaitable<ToolOutcome> callTool(std::string name,
                                                 std::optional<std::map<std::string, Value>> arguments = std::nullopt,
                                                 std::optional<Metadata> meta = std::nullopt);

    /// Sends the call and returns at once: the context's task gives the whole result.
    RequestContext<CallTool::Result> startToolCall(std::string name,
                                                   std::optional<std::map<std::string, Value>> arguments = std::nullopt,
                                                   std::optional<Metadata> meta = std::nullopt);

    boost::asio::awaitable<void> setLoggingLevel(LogLevel level);

    /// Candidates for an argument of the prompt `promptName`; `context` holds the arguments
    /// already chosen.
    boost::asio::awaitable<Complete::Result::Completion> completePrompt(
        std::string promptName, std::string argumentName, std::string argumentValue,
        std::optional<std::map<std::string, std::string>> context = std::nullopt);
    /// Candidates for an argument of the resource (or URI template) `resourceURI`.
    boost::asio::awaitable<Complete::Result::Completion> completeResource(
        std::string resourceURI, std::string argumentName, std::string argumentValue,
        std::optional<std::map<std::string, std::string>> context = std::nullopt);

    /// Sends "notifications/roots/list_changed"; checks nothing.
    boost::asio::awaitable<void> notifyRootsChanged();

private:
    Client(Info clientInfo, Capabilities capabilities, Configuration configuration);

    template <class T>
    static boost::asio::awaitable<T> awaitReply(platform::OneShot<T> continuation);
    /// Checks the connection, encodes the request and registers its waiter; throws, registering
    /// nothing, as `send` does.
    template <class T, Method M>
    std::pair<platform::OneShot<T>, std::string> registerRequest(const Request<M>& request);
    template <class T>
    static boost::asio::awaitable<T> writeAndAwait(std::shared_ptr<Client> self, std::shared_ptr<Transport> connection,
                                                   ID id, std::string data, platform::OneShot<T> continuation);
    template <Method M>
    static boost::asio::awaitable<Response<M>> answerWith(MethodHandler<M> handler, Request<M> request);

    static boost::asio::awaitable<void> writeRequest(std::shared_ptr<Client> self,
                                                     std::shared_ptr<Transport> connection, ID id,
                                                     std::string data);
    static boost::asio::awaitable<void> receiveLoop(std::shared_ptr<Client> self);
    static boost::asio::awaitable<void> handleCancellation(std::weak_ptr<Client> weak,
                                                           Message<CancelledNotification> message);

    boost::asio::awaitable<Initialize::Result> performInitialize();

    // Dispatch of what the server sends; none of them throws.
    boost::asio::awaitable<void> handleChunk(std::string chunk);
    void handleResponse(Response<AnyMethod> response);
    void handleBatchResponse(std::vector<Response<AnyMethod>> responses);
    boost::asio::awaitable<void> handleIncomingRequest(Request<AnyMethod> request);
    boost::asio::awaitable<void> handleMessage(Message<AnyNotification> message);

    boost::asio::awaitable<void> sendResponse(Response<AnyMethod> response);

    /// Registers a waiter for T under `id`; throws when one already waits there.
    template <class T>
    platform::OneShot<T> addPendingRequest(const ID& id);
    std::optional<AnyPendingRequest> removePendingRequest(const ID& id);
    static void resume(const AnyPendingRequest& waiter, Response<AnyMethod> response);

    void validateServerCapability(bool declared, std::string_view name) const;
    boost::asio::awaitable<Complete::Result::Completion> complete(
        CompletionReference reference, std::string argumentName, std::string argumentValue,
        std::optional<std::map<std::string, std::string>> context);
    template <class T, class Result>
    static Page<T> page(std::vector<T> Result::*items, Result result) {
        return Page<T>{std::move(result.*items), std::move(result.nextCursor)};
    }
    const std::shared_ptr<Transport>& requireConnection() const;

    /// The logger of the connected transport, read afresh; nothing without a transport.
    std::optional<logging::Logger> logger() const;

    static std::string encode(const boost::json::value& json) { return platform::json::write(json); }

    Info clientInfo_;
    std::shared_ptr<Transport> connection_;
    Capabilities capabilities_;
    Configuration configuration_;
    std::optional<ServerCapabilities> serverCapabilities_;
    std::optional<std::string> serverVersion_;
    std::optional<std::string> instructions_;
    std::map<std::string, std::vector<std::shared_ptr<const NotificationHandlerBox>>, std::less<>> notificationHandlers_;
    std::map<std::string, std::shared_ptr<const RequestHandlerBox>, std::less<>> methodHandlers_;
    std::optional<platform::Task<void>> task_;
    std::unordered_map<ID, AnyPendingRequest> pendingRequests_;
    /// The runtime of the last `connect`, where requests' tasks run.
    boost::asio::any_io_executor executor_;
};

/// The requests of one batch, collected by the body of `Client::withBatch`. Holds its client
/// alive. Confined to the client's runtime thread.
class Client::Batch {
public:
    explicit Batch(std::shared_ptr<Client> client) : client_(std::move(client)) {}

    /// Adds the request and registers its waiter at once, so no answer can arrive unawaited; the
    /// task ends as a task of `Client::send` does. Throws, adding nothing, when the request does
    /// not encode, another request with its id waits, or the batch has already been written.
    template <Method M>
    platform::Task<typename M::Result> addRequest(Request<M> request);

    const std::vector<Request<AnyMethod>>& requests() const noexcept { return requests_; }

private:
    friend class Client;

    std::shared_ptr<Client> client_;
    std::vector<Request<AnyMethod>> requests_;
    bool closed_ = false;
};

template <Method M>
RequestContext<typename M::Result> Client::send(Request<M> request) {
    using Result = typename M::Result;
    auto continuation = registerRequest<Result>(request);
    auto task = platform::spawn(executor_, writeAndAwait<Result>(shared_from_this(), connection_, request.id,
                                                                 std::move(continuation.second),
                                                                 std::move(continuation.first)));
    return RequestContext<Result>(std::move(request.id), std::move(task));
}

template <Method M>
boost::asio::awaitable<typename M::Result> Client::sendAndAwait(Request<M> request) {
    using Result = typename M::Result;
    // As `send` followed by waiting, without a task of its own: the caller waits anyway.
    auto continuation = registerRequest<Result>(request);
    co_await writeRequest(shared_from_this(), connection_, request.id, std::move(continuation.second));
    auto result = co_await continuation.first.wait();
    co_return result;
}

template <class T, Method M>
std::pair<platform::OneShot<T>, std::string> Client::registerRequest(const Request<M>& request) {
    requireConnection();
    auto data = encode(request.toJSON());
    // Registered before the write starts, so an answer always finds its waiter.
    return {addPendingRequest<T>(request.id), std::move(data)};
}

template <class T>
boost::asio::awaitable<T> Client::writeAndAwait(std::shared_ptr<Client> self, std::shared_ptr<Transport> connection,
                                                ID id, std::string data, platform::OneShot<T> continuation) {
    co_await writeRequest(std::move(self), std::move(connection), std::move(id), std::move(data));
    auto result = co_await continuation.wait();
    co_return result;
}

template <Notification N>
boost::asio::awaitable<void> Client::notify(Message<N> message) {
    // Held here: `disconnect` may drop the connection while the transport sends.
    auto connection = requireConnection();
    auto data = encode(message.toJSON());
    co_await connection->send(std::move(data));
}

template <Notification N>
Client& Client::onNotification(NotificationHandler<N> handler) {
    auto& handlers = notificationHandlers_[std::string(N::name)];
    handlers.push_back(std::make_shared<const TypedNotificationHandler<N>>(std::move(handler)));
    return *this;
}

template <Method M>
Client& Client::withMethodHandler(MethodHandler<M> handler) {
    auto box = std::make_shared<const TypedRequestHandler<M>>(
        [handler = std::move(handler)](Request<M> request) { return answerWith<M>(handler, std::move(request)); });
    methodHandlers_.insert_or_assign(std::string(M::name), std::move(box));
    return *this;
}

template <Method M>
boost::asio::awaitable<Response<M>> Client::answerWith(MethodHandler<M> handler, Request<M> request) {
    auto result = co_await handler(std::move(request.params));
    co_return Response<M>(std::move(request.id), std::move(result));
}

template <class T>
platform::OneShot<T> Client::addPendingRequest(const ID& id) {
    // One waiter per id: a second would leave the first unanswered for ever.
    if (pendingRequests_.contains(id)) {
        throw MCPError::invalidRequest("A request with id " + id.description() + " is already pending");
    }
    platform::OneShot<T> continuation;
    pendingRequests_.emplace(id, AnyPendingRequest(PendingRequest<T>(continuation)));
    return continuation;
}

template <class T>
boost::asio::awaitable<T> Client::awaitReply(platform::OneShot<T> continuation) {
    auto result = co_await continuation.wait();
    co_return result;
}

template <Method M>
platform::Task<typename M::Result> Client::Batch::addRequest(Request<M> request) {
    using Result = typename M::Result;
    if (closed_) throw MCPError::internalError("The batch has already been sent");
    Request<AnyMethod> erased = [&] {
        if constexpr (std::same_as<M, AnyMethod>) return request;
        else return Request<AnyMethod>(request);
    }();
    auto continuation = client_->addPendingRequest<Result>(erased.id);
    requests_.push_back(std::move(erased));
    return platform::spawn(client_->executor_, awaitReply<Result>(std::move(continuation)));
}

}  // namespace mcp
