#include "mcp/client/client.hpp"

#include <chrono>
#include <exception>

#include <boost/asio/this_coro.hpp>
#include <boost/json/array.hpp>

#include "mcp/base/detail/plain_envelope.hpp"
#include "mcp/base/ping.hpp"
#include "mcp/base/version.hpp"
#include "mcp/client/detail/protocol_version_receiving.hpp"
#include "mcp/server/set_logging_level.hpp"
#include "platform/async/cancellation.hpp"
#include "platform/async/task_context.hpp"
#include "platform/async/task_local.hpp"
#include "platform/describe.hpp"
#include "platform/json/decoding_error.hpp"
#include "platform/json/parse.hpp"
#include "platform/utf8.hpp"

namespace mcp {

namespace asio = boost::asio;

namespace {

constexpr auto kWouldBlockPause = std::chrono::milliseconds(10);

/// The client whose receive loop runs the current task, so that a handler that disconnects does
/// not wait for the loop that is running it.
const platform::TaskLocal<const Client*>& loopOwnerLocal() {
    static const platform::TaskLocal<const Client*> local{nullptr};
    return local;
}

/// The error the server is told about: an MCPError as it is, anything else as an internal error
/// carrying its description.
MCPError asProtocolError(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const MCPError& e) {
        return e;
    } catch (...) {
        return MCPError::internalError(platform::describe(error));
    }
}

template <class T>
std::optional<T> tryDecode(const boost::json::value& json) {
    try {
        return T::fromJSON(json);
    } catch (const platform::json::DecodingError&) {
        return std::nullopt;
    }
}

/// Every element of `array` read as a response, or nothing when one does not read.
std::optional<std::vector<Response<AnyMethod>>> decodeResponses(const boost::json::array& array) {
    std::vector<Response<AnyMethod>> responses;
    responses.reserve(array.size());
    for (const auto& element : array) {
        auto response = tryDecode<Response<AnyMethod>>(element);
        if (!response) return std::nullopt;
        responses.push_back(std::move(*response));
    }
    return responses;
}

// Cheap tests of what each envelope needs at least, so that a message is not put through
// decodings that cannot succeed (each failed one costs an exception).
bool mayBeResponse(const boost::json::object& object) {
    return object.contains("id") && (object.contains("result") || object.contains("error"));
}

bool mayBeRequest(const boost::json::object& object) {
    return object.contains("id") && object.contains("method");
}

bool mayBeNotification(const boost::json::object& object) {
    return object.contains("method");
}

using RootsHandler = std::function<asio::awaitable<std::vector<Root>>()>;

asio::awaitable<ListRoots::Result> answerRoots(RootsHandler handler) {
    auto roots = co_await handler();
    co_return ListRoots::Result{std::move(roots)};
}

}  // namespace

std::shared_ptr<Client> Client::create(std::string name, std::string version, std::optional<std::string> title,
                                       std::optional<std::string> description, std::optional<std::string> websiteUrl,
                                       std::optional<std::vector<Icon>> icons, Capabilities capabilities,
                                       Configuration configuration) {
    Info info(std::move(name), std::move(version), std::move(title), std::move(description), std::move(websiteUrl),
              std::move(icons));
    return std::shared_ptr<Client>(new Client(std::move(info), std::move(capabilities), configuration));
}

Client::Client(Info clientInfo, Capabilities capabilities, Configuration configuration)
    : clientInfo_(std::move(clientInfo)), capabilities_(std::move(capabilities)), configuration_(configuration) {}

std::optional<logging::Logger> Client::logger() const {
    if (!connection_) return std::nullopt;
    return connection_->logger();
}

const std::shared_ptr<Transport>& Client::requireConnection() const {
    if (!connection_) throw MCPError::internalError("Client connection not initialized");
    return connection_;
}

// Lifecycle

asio::awaitable<Initialize::Result> Client::connect(std::shared_ptr<Transport> transport) {
    auto executor = co_await asio::this_coro::executor;
    executor_ = platform::detail::unwrapExecutor(executor);
    connection_ = transport;
    co_await transport->connect();
    if (auto logger = this->logger()) logger->debug("Client connected", {{"name", name()}, {"version", version()}});
    // An earlier loop, if any, keeps running: only `disconnect` stops one.
    task_ = platform::spawn(executor_, loopOwnerLocal().withValue(this, receiveLoop(shared_from_this())));
    onNotification<CancelledNotification>([weak = weak_from_this()](Message<CancelledNotification> message) {
        return handleCancellation(weak, std::move(message));
    });
    auto result = co_await performInitialize();
    co_return result;
}

asio::awaitable<void> Client::disconnect() {
    if (auto logger = this->logger()) logger->debug("Initiating client disconnect...");
    // All in one step, so whatever runs while this waits finds nothing left to end.
    auto task = std::exchange(task_, std::nullopt);
    auto connection = std::exchange(connection_, nullptr);
    auto waiters = std::exchange(pendingRequests_, {});
    std::optional<logging::Logger> logger;
    if (connection) logger = connection->logger();

    for (auto& [id, waiter] : waiters) {
        waiter.resumeThrowing(std::make_exception_ptr(MCPError::internalError("Client disconnected")));
    }
    if (logger) logger->debug("Pending requests cancelled.");
    if (task) task->cancel();
    if (logger) logger->debug("Message loop task cancellation requested.");
    if (connection) {
        co_await connection->disconnect();
        logger->debug("Transport disconnected.");
    }
    // Called from a handler, this runs inside the loop, which ends once the handler returns.
    if (task && loopOwnerLocal().get() != this) co_await task->value();
    if (logger) {
        logger->debug("Client message loop task finished.");
        logger->debug("Client disconnect complete.");
    }
}

// The receive loop

asio::awaitable<void> Client::receiveLoop(std::shared_ptr<Client> self) {
    // The transport of this loop for as long as it runs, whatever `connect` and `disconnect` do.
    auto transport = self->connection_;
    if (!transport) co_return;
    while (!platform::isCancelled()) {
        auto stream = transport->receive();
        bool received = false;
        std::exception_ptr failure;
        try {
            while (!platform::isCancelled()) {
                auto chunk = co_await stream.next();
                if (!chunk) break;
                received = true;
                co_await self->handleChunk(std::move(*chunk));
            }
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure) {
            if (!MCPError::isResourceTemporarilyUnavailable(failure)) {
                if (auto logger = self->logger()) {
                    logger->error("Error in message handling loop",
                                  {{"error", [&] { return platform::describe(failure); }}});
                }
                break;
            }
            try {
                co_await platform::sleepFor(kWouldBlockPause);
            } catch (const platform::CancellationError&) {
                break;
            }
            continue;
        }
        // A transport whose stream has ended hands out an ended stream again; asking it without
        // end would only spin.
        if (!received) break;
    }
    if (auto logger = self->logger()) logger->debug("Client message handling loop task is terminating.");
}

asio::awaitable<void> Client::handleChunk(std::string chunk) {
    // The usual answer is read straight to a Value; any other message, and text that is no JSON,
    // takes the DOM's road below.
    {
        std::optional<Value> message;
        try {
            message = Value::fromJSONText(chunk);
        } catch (const platform::json::DecodingError&) {
        }
        if (message) {
            if (auto response = detail::plainSuccess(*message)) {
                message.reset();
                handleResponse(std::move(*response));
                co_return;
            }
        }
    }
    std::optional<boost::json::value> json;
    try {
        json = platform::json::parse(chunk);
    } catch (const platform::json::DecodingError&) {
    }
    if (json) {
        if (const auto* array = json->if_array()) {
            if (auto responses = decodeResponses(*array)) {
                handleBatchResponse(std::move(*responses));
                co_return;
            }
        } else if (const auto* object = json->if_object()) {
            if (mayBeResponse(*object)) {
                if (auto response = tryDecode<Response<AnyMethod>>(*json)) {
                    handleResponse(std::move(*response));
                    co_return;
                }
            }
            if (mayBeRequest(*object)) {
                if (auto request = tryDecode<Request<AnyMethod>>(*json)) {
                    co_await handleIncomingRequest(std::move(*request));
                    co_return;
                }
            }
            if (mayBeNotification(*object)) {
                if (auto message = tryDecode<Message<AnyNotification>>(*json)) {
                    co_await handleMessage(std::move(*message));
                    co_return;
                }
            }
        }
    }
    if (auto logger = this->logger()) {
        static constexpr std::string_view unexpected =
            "Unexpected message received by client (not single/batch response or notification)";
        if (platform::isValidUTF8(chunk)) {
            logger->warning(unexpected, {{"message", chunk}});
        } else {
            logger->warning(unexpected);
        }
    }
}

// Dispatch

void Client::resume(const AnyPendingRequest& waiter, Response<AnyMethod> response) {
    if (const auto* error = response.failure()) {
        waiter.resumeThrowing(std::make_exception_ptr(*error));
    } else {
        waiter.resumeReturning(std::move(*std::get_if<0>(&response.result)));
    }
}

void Client::handleResponse(Response<AnyMethod> response) {
    if (auto logger = this->logger()) {
        logger->trace("Processing response", {{"id", [&] { return response.id.description(); }}});
    }
    if (auto waiter = removePendingRequest(response.id)) {
        resume(*waiter, std::move(response));
        return;
    }
    if (auto logger = this->logger()) {
        logger->warning("Attempted to handle response for already removed request",
                        {{"id", [&] { return response.id.description(); }}});
    }
}

void Client::handleBatchResponse(std::vector<Response<AnyMethod>> responses) {
    if (auto logger = this->logger()) logger->trace("Processing batch response", {{"count", responses.size()}});
    for (auto& response : responses) {
        if (auto waiter = removePendingRequest(response.id)) {
            resume(*waiter, std::move(response));
        } else if (auto logger = this->logger()) {
            logger->warning("Received response in batch for unknown or already handled request ID",
                            {{"id", [&] { return response.id.description(); }}});
        }
    }
}

asio::awaitable<void> Client::handleIncomingRequest(Request<AnyMethod> request) {
    if (auto logger = this->logger()) {
        logger->trace("Processing incoming request from server",
                      {{"method", request.method}, {"id", [&] { return request.id.description(); }}});
    }
    ID id = request.id;
    std::exception_ptr failure;
    auto found = methodHandlers_.find(request.method);
    if (found == methodHandlers_.end()) {
        if (auto logger = this->logger()) logger->warning("No handler registered for method", {{"method", request.method}});
        failure = std::make_exception_ptr(MCPError::methodNotFound("Unknown method: " + request.method));
    } else {
        // Held here: a registration made meanwhile may replace the table's entry.
        auto box = found->second;
        try {
            auto response = co_await (*box)(std::move(request));
            co_await sendResponse(std::move(response));
            co_return;
        } catch (...) {
            failure = std::current_exception();
        }
    }
    try {
        Response<AnyMethod> response(std::move(id), asProtocolError(failure));
        co_await sendResponse(std::move(response));
    } catch (...) {
        if (auto logger = this->logger()) {
            auto error = std::current_exception();
            logger->error("Failed to send error response", {{"error", [&] { return platform::describe(error); }}});
        }
    }
}

asio::awaitable<void> Client::handleMessage(Message<AnyNotification> message) {
    if (auto logger = this->logger()) logger->trace("Processing notification", {{"method", message.method}});
    auto found = notificationHandlers_.find(message.method);
    if (found == notificationHandlers_.end()) co_return;
    // A copy: handlers may register further handlers while the list runs.
    auto handlers = found->second;
    for (const auto& handler : handlers) {
        std::exception_ptr failure;
        try {
            co_await (*handler)(message);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!failure) continue;
        if (auto logger = this->logger()) {
            logger->error("Error handling notification",
                          {{"method", message.method}, {"error", [&] { return platform::describe(failure); }}});
        }
    }
}

asio::awaitable<void> Client::handleCancellation(std::weak_ptr<Client> weak, Message<CancelledNotification> message) {
    auto client = weak.lock();
    if (!client) co_return;
    const auto& requestId = message.params.requestId;
    if (auto logger = client->logger()) {
        logger->debug("Received cancellation notification",
                      {{"requestId", [&] { return requestId ? requestId->description() : std::string("none"); }},
                       {"reason", [&] { return message.params.reason.value_or("none"); }}});
    }
    if (!requestId) co_return;
    if (auto waiter = client->removePendingRequest(*requestId)) {
        waiter->resumeThrowing(std::make_exception_ptr(platform::CancellationError()));
    }
}

// Outgoing messages

std::optional<AnyPendingRequest> Client::removePendingRequest(const ID& id) {
    auto found = pendingRequests_.find(id);
    if (found == pendingRequests_.end()) return std::nullopt;
    auto waiter = std::move(found->second);
    pendingRequests_.erase(found);
    return waiter;
}

asio::awaitable<void> Client::writeRequest(std::shared_ptr<Client> self, std::shared_ptr<Transport> connection, ID id,
                                           std::string data) {
    // Ended before the write began (cancelled, disconnected): nobody waits for an answer any more.
    if (!self->pendingRequests_.contains(id)) co_return;
    std::exception_ptr failure;
    try {
        co_await connection->send(std::move(data));
    } catch (...) {
        failure = std::current_exception();
    }
    if (!failure) co_return;
    // When the entry is gone, an answer, a cancellation or `disconnect` got there first.
    if (auto waiter = self->removePendingRequest(id)) waiter->resumeThrowing(failure);
}

asio::awaitable<void> Client::sendResponse(Response<AnyMethod> response) {
    // Held here: `disconnect` may drop the connection while the transport sends.
    auto connection = requireConnection();
    auto data = encode(response.toJSON());
    co_await connection->send(std::move(data));
}

asio::awaitable<void> Client::cancelRequest(ID id, std::optional<std::string> reason) {
    if (auto waiter = removePendingRequest(id)) {
        waiter->resumeThrowing(std::make_exception_ptr(platform::CancellationError()));
    }
    auto message = CancelledNotification::message({std::move(id), std::move(reason)});
    co_await notify(std::move(message));
}

asio::awaitable<void> Client::withBatch(BatchBody body) {
    auto connection = requireConnection();
    auto batch = std::make_shared<Batch>(shared_from_this());
    // Whatever stops the batch from going out ends the waiters it registered, with that error.
    auto failWaiters = [&](const std::exception_ptr& error) {
        for (const auto& request : batch->requests_) {
            if (auto waiter = removePendingRequest(request.id)) waiter->resumeThrowing(error);
        }
    };
    std::exception_ptr failure;
    try {
        co_await body(batch);
    } catch (...) {
        failure = std::current_exception();
    }
    batch->closed_ = true;
    if (failure) {
        failWaiters(failure);
        std::rethrow_exception(failure);
    }
    const auto& requests = batch->requests_;
    if (requests.empty()) {
        if (auto logger = this->logger()) logger->debug("Batch requested but no requests were added.");
        co_return;
    }
    if (auto logger = this->logger()) logger->debug("Sending batch request", {{"count", requests.size()}});
    try {
        boost::json::array array;
        array.reserve(requests.size());
        for (const auto& request : requests) array.push_back(request.toJSON());
        auto data = encode(array);
        co_await connection->send(std::move(data));
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        failWaiters(failure);
        std::rethrow_exception(failure);
    }
}

// The handshake

asio::awaitable<Initialize::Result> Client::initialize() {
    auto result = co_await performInitialize();
    co_return result;
}

asio::awaitable<Initialize::Result> Client::performInitialize() {
    auto request = Initialize::request(ID::random(), {Version::latest(), capabilities_, clientInfo_});
    auto result = co_await sendAndAwait(std::move(request));
    serverCapabilities_ = result.capabilities;
    serverVersion_ = result.protocolVersion;
    instructions_ = result.instructions;
    if (auto* receiver = dynamic_cast<ProtocolVersionReceiving*>(connection_.get())) {
        co_await receiver->setProtocolVersion(result.protocolVersion);
    }
    auto initialized = InitializedNotification::message();
    co_await notify(std::move(initialized));
    co_return result;
}

// Calls to the server

void Client::validateServerCapability(bool declared, std::string_view name) const {
    if (!configuration_.strict) return;
    if (!serverCapabilities_) throw MCPError::methodNotFound("Server capabilities not initialized");
    if (!declared) throw MCPError::methodNotFound(std::string(name) + " is not supported by the server");
}

asio::awaitable<void> Client::ping() {
    auto request = Ping::request(ID::random());
    co_await sendAndAwait(std::move(request));
}

namespace {

CursorParameters cursorParameters(std::optional<std::string> cursor) {
    CursorParameters parameters;
    parameters.cursor = std::move(cursor);
    return parameters;
}

}  // namespace

asio::awaitable<Client::PromptMessages> Client::getPrompt(std::string name,
                                                          std::optional<std::map<std::string, std::string>> arguments) {
    validateServerCapability(serverCapabilities_ && serverCapabilities_->prompts, "Prompts");
    auto request = GetPrompt::request(ID::random(), {std::move(name), std::move(arguments)});
    auto result = co_await sendAndAwait(std::move(request));
    co_return PromptMessages{std::move(result.description), std::move(result.messages)};
}

asio::awaitable<Client::Page<Prompt>> Client::listPrompts(std::optional<std::string> cursor) {
    validateServerCapability(serverCapabilities_ && serverCapabilities_->prompts, "Prompts");
    auto request = ListPrompts::request(ID::random(), cursorParameters(std::move(cursor)));
    auto result = co_await sendAndAwait(std::move(request));
    co_return page(&ListPrompts::Result::prompts, std::move(result));
}

asio::awaitable<std::vector<Resource::Content>> Client::readResource(std::string uri) {
    validateServerCapability(serverCapabilities_ && serverCapabilities_->resources, "Resources");
    auto request = ReadResource::request(ID::random(), {std::move(uri)});
    auto result = co_await sendAndAwait(std::move(request));
    co_return std::move(result.contents);
}

asio::awaitable<Client::Page<Resource>> Client::listResources(std::optional<std::string> cursor) {
    validateServerCapability(serverCapabilities_ && serverCapabilities_->resources, "Resources");
    auto request = ListResources::request(ID::random(), cursorParameters(std::move(cursor)));
    auto result = co_await sendAndAwait(std::move(request));
    co_return page(&ListResources::Result::resources, std::move(result));
}

asio::awaitable<void> Client::subscribeToResource(std::string uri) {
    validateServerCapability(serverCapabilities_ && serverCapabilities_->resources &&
                                 serverCapabilities_->resources->subscribe,
                             "Resource subscription");
    auto request = ResourceSubscribe::request(ID::random(), {std::move(uri)});
    co_await sendAndAwait(std::move(request));
}

asio::awaitable<Client::Page<Resource::Template>> Client::listResourceTemplates(std::optional<std::string> cursor) {
    validateServerCapability(serverCapabilities_ && serverCapabilities_->resources, "Resources");
    auto request = ListResourceTemplates::request(ID::random(), cursorParameters(std::move(cursor)));
    auto result = co_await sendAndAwait(std::move(request));
    co_return page(&ListResourceTemplates::Result::templates, std::move(result));
}

asio::awaitable<Client::Page<Tool>> Client::listTools(std::optional<std::string> cursor) {
    validateServerCapability(serverCapabilities_ && serverCapabilities_->tools, "Tools");
    auto request = ListTools::request(ID::random(), cursorParameters(std::move(cursor)));
    auto result = co_await sendAndAwait(std::move(request));
    co_return page(&ListTools::Result::tools, std::move(result));
}

asio::awaitable<Client::ToolOutcome> Client::callTool(std::string name,
                                                      std::optional<std::map<std::string, Value>> arguments,
                                                      std::optional<Metadata> meta) {
    validateServerCapability(serverCapabilities_ && serverCapabilities_->tools, "Tools");
    auto request = CallTool::request(ID::random(), {std::move(name), std::move(arguments), std::move(meta)});
    auto result = co_await sendAndAwait(std::move(request));
    co_return ToolOutcome{std::move(result.content), result.isError};
}

RequestContext<CallTool::Result> Client::startToolCall(std::string name,
                                                       std::optional<std::map<std::string, Value>> arguments,
                                                       std::optional<Metadata> meta) {
    validateServerCapability(serverCapabilities_ && serverCapabilities_->tools, "Tools");
    return send(CallTool::request(ID::random(), {std::move(name), std::move(arguments), std::move(meta)}));
}

asio::awaitable<void> Client::setLoggingLevel(LogLevel level) {
    validateServerCapability(serverCapabilities_ && serverCapabilities_->logging, "Logging");
    auto request = SetLoggingLevel::request(ID::random(), {level});
    co_await sendAndAwait(std::move(request));
}

asio::awaitable<Complete::Result::Completion> Client::completePrompt(
    std::string promptName, std::string argumentName, std::string argumentValue,
    std::optional<std::map<std::string, std::string>> context) {
    return complete(Prompt::Reference{std::move(promptName)}, std::move(argumentName), std::move(argumentValue),
                    std::move(context));
}

asio::awaitable<Complete::Result::Completion> Client::completeResource(
    std::string resourceURI, std::string argumentName, std::string argumentValue,
    std::optional<std::map<std::string, std::string>> context) {
    return complete(ResourceReference{std::move(resourceURI)}, std::move(argumentName), std::move(argumentValue),
                    std::move(context));
}

asio::awaitable<Complete::Result::Completion> Client::complete(
    CompletionReference reference, std::string argumentName, std::string argumentValue,
    std::optional<std::map<std::string, std::string>> context) {
    validateServerCapability(serverCapabilities_ && serverCapabilities_->completions, "Completions");
    std::optional<Complete::Parameters::Context> arguments;
    if (context) arguments = Complete::Parameters::Context{std::move(*context)};
    Complete::Parameters parameters{std::move(reference), {std::move(argumentName), std::move(argumentValue)},
                                    std::move(arguments)};
    auto request = Complete::request(ID::random(), std::move(parameters));
    auto result = co_await sendAndAwait(std::move(request));
    co_return std::move(result.completion);
}

asio::awaitable<void> Client::notifyRootsChanged() {
    auto message = RootsListChangedNotification::message();
    co_await notify(std::move(message));
}

Client& Client::withSamplingHandler(MethodHandler<CreateSamplingMessage> handler) {
    return withMethodHandler<CreateSamplingMessage>(std::move(handler));
}

Client& Client::withElicitationHandler(MethodHandler<CreateElicitation> handler) {
    return withMethodHandler<CreateElicitation>(std::move(handler));
}

Client& Client::withRootsHandler(std::function<asio::awaitable<std::vector<Root>>()> handler) {
    return withMethodHandler<ListRoots>([handler = std::move(handler)](Empty) { return answerRoots(handler); });
}

}  // namespace mcp
