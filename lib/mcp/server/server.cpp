#include "mcp/server/server.hpp"

#include <chrono>
#include <exception>

#include <boost/asio/error.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/json/array.hpp>
#include <boost/system/system_error.hpp>

#include "mcp/base/detail/plain_envelope.hpp"
#include "mcp/base/detail/value_text.hpp"
#include "mcp/base/http_context_providing.hpp"
#include "mcp/base/ping.hpp"
#include "mcp/base/transports/detail/response_routing.hpp"
#include "mcp/base/version.hpp"
#include "platform/async/cancellation.hpp"
#include "platform/async/task_context.hpp"
#include "platform/async/task_local.hpp"
#include "platform/describe.hpp"
#include "platform/json/codec.hpp"
#include "platform/json/decoding_error.hpp"
#include "platform/json/integer.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/text_writer.hpp"

namespace mcp {

namespace asio = boost::asio;

namespace {

constexpr auto kWouldBlockPause = std::chrono::milliseconds(10);

const platform::TaskLocal<std::optional<Server::HandlerContext>>& handlerContextLocal() {
    static const platform::TaskLocal<std::optional<Server::HandlerContext>> local;
    return local;
}

/// Takes a request's task out of the table however the request's handling ends; keeps the server
/// alive for that.
class RunningRequestEntry {
public:
    using Table = std::unordered_map<ID, std::function<void()>>;

    RunningRequestEntry(std::shared_ptr<Server> server, Table& table, ID id)
        : server_(std::move(server)), table_(table), id_(std::move(id)) {}
    ~RunningRequestEntry() { table_.erase(id_); }
    RunningRequestEntry(const RunningRequestEntry&) = delete;
    RunningRequestEntry& operator=(const RunningRequestEntry&) = delete;

private:
    std::shared_ptr<Server> server_;
    Table& table_;
    ID id_;
};

/// True for the error with which a cancelled task's handler ends.
bool isCancellation(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const platform::CancellationError&) {
        return true;
    } catch (const boost::system::system_error& e) {
        return e.code() == asio::error::operation_aborted && platform::isCancelled();
    } catch (...) {
        return false;
    }
}

/// The error a peer is told about: an MCPError as it is, anything else as an internal error
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

Response<AnyMethod> errorResponse(ID id, const std::exception_ptr& error) {
    return Response<AnyMethod>(std::move(id), asProtocolError(error));
}

/// The "id" of an unreadable message, when it is a string or an integer.
std::optional<ID> idOfUnreadable(const boost::json::value& json) {
    const auto* object = json.if_object();
    if (!object) return std::nullopt;
    const auto* id = object->if_contains("id");
    if (!id) return std::nullopt;
    if (const auto* text = id->if_string()) return ID(std::string(text->data(), text->size()));
    if (auto number = platform::json::asInteger(*id)) return ID(*number);
    return std::nullopt;
}

template <class T>
std::optional<T> tryDecode(const boost::json::value& json) {
    try {
        return T::fromJSON(json);
    } catch (const platform::json::DecodingError&) {
        return std::nullopt;
    }
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

/// The text of a success response, sorted and with "/" unescaped: "id", "jsonrpc", then "result"
/// written by `writeResult`.
template <class WriteResult>
std::string encodeSuccess(const ID& id, WriteResult writeResult) {
    std::string text;
    platform::json::TextWriter writer(text, false);
    writer.beginObject();
    writer.key("id");
    if (const auto* string = id.stringValue()) writer.string(*string);
    else writer.integer(*id.numberValue());
    writer.key("jsonrpc");
    writer.string("2.0");
    writer.key("result");
    writeResult(writer);
    writer.endObject();
    writer.finish();
    return text;
}

}  // namespace

Server::Batch Server::Batch::fromJSON(const boost::json::value& json) {
    if (!json.is_array()) platform::json::detail::throwUnexpected("Array", json);
    const auto& array = json.get_array();
    Batch batch;
    batch.items.reserve(array.size());
    for (std::size_t i = 0; i < array.size(); ++i) {
        const auto& element = array[i];
        platform::json::detail::atPath(std::to_string(i), [&] {
            if (element.is_object() && element.get_object().contains("id")) {
                batch.items.emplace_back(std::in_place_index<0>, Request<AnyMethod>::fromJSON(element));
            } else {
                batch.items.emplace_back(std::in_place_index<1>, Message<AnyNotification>::fromJSON(element));
            }
        });
    }
    return batch;
}

std::shared_ptr<Server> Server::create(std::string name, std::string version, std::optional<std::string> title,
                                       std::optional<std::string> instructions, Capabilities capabilities,
                                       Configuration configuration) {
    return std::shared_ptr<Server>(new Server(std::move(name), std::move(version), std::move(title),
                                              std::move(instructions), std::move(capabilities), configuration));
}

Server::Server(std::string name, std::string version, std::optional<std::string> title,
               std::optional<std::string> instructions, Capabilities capabilities, Configuration configuration)
    : serverInfo_(std::move(name), std::move(version), std::move(title)),
      instructions_(std::move(instructions)),
      capabilities_(std::move(capabilities)),
      configuration_(configuration) {}

std::optional<Server::HandlerContext> Server::currentHandlerContext() {
    return handlerContextLocal().get();
}

std::optional<logging::Logger> Server::logger() const {
    if (!connection_) return std::nullopt;
    return connection_->logger();
}

// Lifecycle

asio::awaitable<void> Server::start(std::shared_ptr<Transport> transport, InitializeHook initializeHook) {
    auto executor = co_await asio::this_coro::executor;
    executor_ = platform::detail::unwrapExecutor(executor);
    connection_ = transport;
    registerDefaultHandlers(std::move(initializeHook));
    onNotification<CancelledNotification>([weak = weak_from_this()](Message<CancelledNotification> message) {
        return handleCancellation(weak, std::move(message));
    });
    co_await transport->connect();
    if (auto logger = this->logger()) {
        logger->debug("Server started", {{"name", name()}, {"version", version()}});
    }
    // The loop and the notification handlers it runs are in no request, even when this server
    // was started from another server's method handler.
    task_ = platform::spawn(executor_,
                            handlerContextLocal().withValue(std::nullopt, receiveLoop(shared_from_this(), std::move(transport))));
}

asio::awaitable<void> Server::stop() {
    if (task_) {
        task_->cancel();
        task_.reset();
    }
    auto waiters = std::exchange(pendingRequests_, {});
    for (auto& [id, waiter] : waiters) {
        waiter.resumeThrowing(std::make_exception_ptr(MCPError::internalError("Server disconnected")));
    }
    if (auto connection = connection_) {
        co_await connection->disconnect();
        if (connection_ == connection) connection_.reset();
    }
}

asio::awaitable<void> Server::waitUntilCompleted() {
    if (auto task = task_) {
        try {
            co_await task->value();
        } catch (...) {
            // The loop ends quietly; nothing to report here.
        }
    }
}

// The receive loop

asio::awaitable<void> Server::receiveLoop(std::shared_ptr<Server> self, std::shared_ptr<Transport> transport) {
    auto stream = transport->receive();
    try {
        while (true) {
            auto chunk = co_await stream.next();
            if (!chunk || platform::isCancelled()) break;
            co_await self->handleChunk(std::move(*chunk));
        }
    } catch (...) {
        if (auto logger = self->logger()) {
            auto error = std::current_exception();
            logger->error("Fatal error in message handling loop", {{"error", [&] { return platform::describe(error); }}});
        }
    }
    if (auto logger = self->logger()) logger->debug("Server finished");
}

asio::awaitable<void> Server::handleChunk(std::string chunk) {
    // The usual request or answer is read straight to a Value; any other message, and text that
    // is no JSON, takes the DOM's road. Each road is its own coroutine, so that the usual one
    // keeps a small frame.
    PlainMessage plain;
    std::exception_ptr failure;
    try {
        plain = readPlainMessage(chunk);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!failure && std::holds_alternative<std::monostate>(plain)) {
        co_await handleOtherChunk(std::move(chunk));
        co_return;
    }
    std::string().swap(chunk);
    if (!failure) {
        try {
            if (auto* request = std::get_if<Request<AnyMethod>>(&plain)) {
                // Not awaited: the loop goes on with the next message while the request runs.
                auto executor = co_await asio::this_coro::executor;
                platform::spawn(executor, serveRequest(shared_from_this(), std::move(*request)));
            } else {
                co_await handleResponse(std::get<Response<AnyMethod>>(std::move(plain)));
            }
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (failure) co_await reportChunkFailure(std::nullopt, failure);
}

Server::PlainMessage Server::readPlainMessage(std::string_view chunk) {
    std::optional<Value> message;
    try {
        message = Value::fromJSONText(chunk);
    } catch (const platform::json::DecodingError&) {
        return {};
    }
    if (auto request = detail::plainRequest(*message)) return std::move(*request);
    if (auto response = detail::plainSuccess(*message)) return std::move(*response);
    return {};
}

asio::awaitable<void> Server::handleOtherChunk(std::string chunk) {
    std::optional<ID> idForError;
    std::exception_ptr failure;
    try {
        boost::json::value json;
        bool parsed = true;
        try {
            json = platform::json::parse(chunk);
        } catch (const platform::json::DecodingError&) {
            parsed = false;
        }
        // The text is not needed once read; a large message need not be held twice.
        std::string().swap(chunk);
        if (parsed) {
            if (json.is_array()) {
                if (auto batch = tryDecode<Batch>(json)) {
                    co_await handleBatch(std::move(*batch));
                    co_return;
                }
            } else if (const auto* object = json.if_object()) {
                if (mayBeResponse(*object)) {
                    if (auto response = tryDecode<Response<AnyMethod>>(json)) {
                        co_await handleResponse(std::move(*response));
                        co_return;
                    }
                }
                if (mayBeRequest(*object)) {
                    if (auto request = tryDecode<Request<AnyMethod>>(json)) {
                        // Not awaited: the loop goes on with the next message while the request runs.
                        auto executor = co_await asio::this_coro::executor;
                        // Its outcome is dropped: what could be answered has been.
                        platform::spawn(executor, serveRequest(shared_from_this(), std::move(*request)));
                        co_return;
                    }
                }
                if (mayBeNotification(*object)) {
                    if (auto message = tryDecode<Message<AnyNotification>>(json)) {
                        co_await handleMessage(std::move(*message));
                        co_return;
                    }
                }
            }
            idForError = idOfUnreadable(json);
        }
        throw MCPError::parseError("Invalid message format");
    } catch (...) {
        failure = std::current_exception();
    }
    co_await reportChunkFailure(std::move(idForError), failure);
}

asio::awaitable<void> Server::reportChunkFailure(std::optional<ID> idForError, std::exception_ptr failure) {
    if (MCPError::isResourceTemporarilyUnavailable(failure)) {
        // The message is dropped; pause before the next one.
        try {
            co_await platform::sleepFor(kWouldBlockPause);
        } catch (const platform::CancellationError&) {
        }
        co_return;
    }
    if (auto logger = this->logger()) {
        logger->error("Error processing message", {{"error", [&] { return platform::describe(failure); }}});
    }
    auto response = errorResponse(idForError ? std::move(*idForError) : ID::random(), failure);
    try {
        co_await send(std::move(response));
    } catch (...) {
        // Nobody is left to tell.
    }
}

// Dispatch

asio::awaitable<std::optional<Response<AnyMethod>>> Server::handleRequest(Request<AnyMethod> request,
                                                                          bool sendResponse) {
    auto response = co_await dispatchRequest(shared_from_this(), std::move(request), sendResponse);
    co_return response;
}

Server::Admission Server::lookUp(const Request<AnyMethod>& request, bool sendResponse) const {
    if (auto logger = this->logger()) {
        logger->trace("Processing request",
                      {{"method", request.method}, {"id", [&] { return request.id.description(); }}});
    }
    Admission admission;
    if (configuration_.strict && !isInitialized_ && request.method != Initialize::name &&
        request.method != Ping::name) {
        auto refusal = MCPError::invalidRequest("Server is not initialized");
        if (!sendResponse) throw refusal;
        admission.refusal.emplace(request.id, std::move(refusal));
        return admission;
    }
    auto found = methodHandlers_.find(request.method);
    if (found == methodHandlers_.end()) {
        admission.refusal.emplace(request.id, MCPError::methodNotFound("Unknown method: " + request.method));
        return admission;
    }
    admission.box = found->second;
    return admission;
}

asio::awaitable<Server::Admission> Server::admit(std::shared_ptr<Server> self, const Request<AnyMethod>& request,
                                                bool sendResponse) {
    auto admission = self->lookUp(request, sendResponse);
    if (admission.refusal) {
        if (sendResponse) {
            co_await self->send(std::move(*admission.refusal));
            admission.refusal.reset();
        }
        co_return admission;
    }
    if (auto connection = self->connection_) {
        if (auto* provider = dynamic_cast<HTTPContextProviding*>(connection.get())) {
            admission.httpContext = co_await provider->httpRequestContext(request.id);
        }
    }
    co_return admission;
}

asio::awaitable<std::optional<Response<AnyMethod>>> Server::dispatchRequest(std::shared_ptr<Server> self,
                                                                            Request<AnyMethod> request,
                                                                            bool sendResponse) {
    if (!sendResponse && request.method.empty()) {
        co_return Response<AnyMethod>(std::move(request.id), MCPError::invalidRequest("Invalid batch item format"));
    }
    auto admission = co_await admit(self, request, sendResponse);
    if (!admission.box) co_return std::move(admission.refusal);

    ID id = request.id;
    auto executor = co_await asio::this_coro::executor;
    // The task inherits the binding; nothing else sees it. It cannot run before it is stored below,
    // since spawn never starts a task before the caller suspends. A response returned to the caller
    // must be erased in the task; one sent at once need not be.
    auto task = handlerContextLocal().withValue(HandlerContext(id, std::move(admission.httpContext)), [&] {
        return platform::spawn(executor,
                               runHandler(self, std::move(admission.box), std::move(request), !sendResponse));
    });
    self->pendingRequestTasks_.insert_or_assign(id, [task] { task.cancel(); });
    RunningRequestEntry entry(self, self->pendingRequestTasks_, id);

    std::optional<Reply> reply;
    std::exception_ptr failure;
    try {
        reply = co_await task.value();
    } catch (...) {
        failure = std::current_exception();
    }
    if (reply) {
        if (!sendResponse) co_return std::get<Response<AnyMethod>>(std::move(*reply));
        try {
            co_await self->sendReply(std::move(*reply));
            co_return std::nullopt;
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (isCancellation(failure)) co_return std::nullopt;

    auto fallback = errorResponse(std::move(id), failure);
    if (!sendResponse) co_return fallback;
    co_await self->send(std::move(fallback));
    co_return std::nullopt;
}

asio::awaitable<void> Server::serveRequest(std::shared_ptr<Server> self, Request<AnyMethod> request) {
    auto admission = co_await admit(self, request, true);
    if (!admission.box) co_return;
    co_await serveAdmitted(std::move(self), std::move(admission.box), std::move(admission.httpContext),
                           std::move(request));
}

asio::awaitable<void> Server::serveAdmitted(std::shared_ptr<Server> self, std::shared_ptr<const detail::MethodBox> box,
                                            std::shared_ptr<const HTTPRequest> httpContext, Request<AnyMethod> request) {
    auto task = platform::detail::currentTaskContext()->shared_from_this();
    ID id = request.id;
    std::exception_ptr failure;
    try {
        std::optional<Reply> reply;
        co_await runTracked(self, task, std::move(box), std::move(httpContext), std::move(request), reply);
        // A cancellation the handler did not heed stops nothing: its answer goes out whole, and
        // a send is never cut short by it.
        task->cancel.cancelled = false;
        co_await self->sendReply(std::move(*reply));
        co_return;
    } catch (...) {
        failure = std::current_exception();
    }
    if (isCancellation(failure)) co_return;
    co_await self->sendFailure(std::move(id), failure);
}

asio::awaitable<void> Server::runTracked(std::shared_ptr<Server> self, std::shared_ptr<platform::detail::TaskContext> task,
                                        std::shared_ptr<const detail::MethodBox> box,
                                        std::shared_ptr<const HTTPRequest> httpContext, Request<AnyMethod> request,
                                        std::optional<Reply>& reply) {
    // The handler runs in this request's own task, which a cancellation stops while the handler
    // runs; the request leaves the table before its answer is sent.
    ID id = request.id;
    self->pendingRequestTasks_.insert_or_assign(id, [task] { task->cancel.cancel(); });
    RunningRequestEntry entry(self, self->pendingRequestTasks_, id);
    reply = co_await handlerContextLocal().withValue(HandlerContext(std::move(id), std::move(httpContext)),
                                                     runHandler(self, std::move(box), std::move(request), false));
}

asio::awaitable<void> Server::sendFailure(ID id, std::exception_ptr failure) {
    co_await send(errorResponse(std::move(id), failure));
}

asio::awaitable<Server::Reply> Server::runHandler(std::shared_ptr<Server> self,
                                                 std::shared_ptr<const detail::MethodBox> box,
                                                 Request<AnyMethod> request, bool erased) {
    ID id = request.id;
    std::string method = request.method;
    std::exception_ptr failure;
    try {
        platform::checkCancellation();
        if (erased) {
            auto response = co_await (*box)(std::move(request));
            co_return response;
        }
        auto answer = co_await box->answer(std::move(request));
        co_return answer;
    } catch (...) {
        failure = std::current_exception();
    }
    if (isCancellation(failure)) {
        if (auto logger = self->logger()) {
            logger->debug("Request cancelled", {{"id", [&] { return id.description(); }}, {"method", method}});
        }
        throw platform::CancellationError();
    }
    co_return errorResponse(std::move(id), failure);
}

asio::awaitable<void> Server::sendReply(Reply reply) {
    auto* response = std::get_if<Response<AnyMethod>>(&reply);
    if (response) {
        co_await send(std::move(*response));
        co_return;
    }
    // Held here: `stop` may drop the connection while the transport sends.
    auto connection = connection_;
    if (!connection) throw MCPError::internalError("Server connection not initialized");
    const auto& answer = std::get<detail::TypedAnswer>(reply);
    auto data = encodeAnswer(answer);
    co_await deliverResponse(std::move(connection), answer.id, std::move(data));
}

asio::awaitable<void> Server::deliverResponse(std::shared_ptr<Transport> connection, const ID& id, std::string data) {
    if (auto* routing = dynamic_cast<ResponseRouting*>(connection.get())) {
        co_await routing->sendResponse(id, std::move(data));
        co_return;
    }
    co_await connection->send(std::move(data));
}

std::string Server::encodeResponse(const Response<AnyMethod>& response) {
    const auto* result = response.success();
    if (!result) return encode(response.toJSON());
    return encodeSuccess(response.id, [&](platform::json::TextWriter& writer) { detail::writeValue(writer, *result); });
}

std::string Server::encodeAnswer(const detail::TypedAnswer& answer) {
    try {
        return encodeSuccess(answer.id, [&](platform::json::TextWriter& writer) { answer.result->write(writer); });
    } catch (...) {
        // A result that does not read as a Value fails the handler task's box, whose answer is then
        // the error response.
        return encodeResponse(errorResponse(answer.id, std::current_exception()));
    }
}

asio::awaitable<void> Server::handleMessage(Message<AnyNotification> message) {
    if (auto logger = this->logger()) logger->trace("Processing notification", {{"method", message.method}});
    if (configuration_.strict && !isInitialized_ && message.method != InitializedNotification::name) {
        throw MCPError::invalidRequest("Server is not initialized");
    }
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

asio::awaitable<void> Server::handleBatch(Batch batch) {
    if (auto logger = this->logger()) logger->trace("Processing batch request", {{"size", batch.items.size()}});
    if (batch.items.empty()) {
        Response<AnyMethod> response(ID::random(), MCPError::invalidRequest("Batch array must not be empty"));
        co_await send(std::move(response));
        co_return;
    }
    boost::json::array responses;
    for (auto& item : batch.items) {
        if (auto* request = std::get_if<Request<AnyMethod>>(&item)) {
            ID id = request->id;
            std::optional<Response<AnyMethod>> response;
            std::exception_ptr failure;
            try {
                response = co_await dispatchRequest(shared_from_this(), std::move(*request), false);
            } catch (...) {
                failure = std::current_exception();
            }
            if (failure) {
                responses.push_back(errorResponse(std::move(id), failure).toJSON());
            } else if (response) {
                responses.push_back(response->toJSON());
            }
        } else {
            try {
                auto& message = std::get<Message<AnyNotification>>(item);
                co_await handleMessage(std::move(message));
            } catch (...) {
                // A notification in a batch is never answered.
            }
        }
    }
    if (responses.empty()) co_return;
    auto data = encode(boost::json::value(std::move(responses)));
    auto connection = connection_;
    if (!connection) throw MCPError::internalError("Server connection not initialized");
    co_await connection->send(std::move(data));
}

// Logging to the client

asio::awaitable<void> Server::log(LogLevel level, std::optional<std::string> logger, Value data) {
    auto message = LogMessageNotification::message({level, std::move(logger), std::move(data)});
    co_await notify(std::move(message));
}

// Requests to the client

std::optional<AnyPendingRequest> Server::removePendingResponse(const ID& id) {
    auto found = pendingRequests_.find(id);
    if (found == pendingRequests_.end()) return std::nullopt;
    auto waiter = std::move(found->second);
    pendingRequests_.erase(found);
    return waiter;
}

void Server::validateClientCapability(bool declared, std::string_view name) const {
    if (!configuration_.strict) return;
    if (!clientCapabilities_) throw MCPError::methodNotFound("Client capabilities not initialized");
    if (!declared) throw MCPError::methodNotFound(std::string(name) + " is not supported by the client");
}

asio::awaitable<CreateSamplingMessage::Result> Server::requestSampling(
    std::vector<Sampling::Message> messages, std::optional<Sampling::ModelPreferences> modelPreferences,
    std::optional<std::string> systemPrompt, std::optional<Sampling::ContextInclusion> includeContext,
    std::optional<double> temperature, std::int64_t maxTokens, std::optional<std::vector<std::string>> stopSequences,
    std::optional<Metadata> meta) {
    if (!connection_) throw MCPError::internalError("Server connection not initialized");
    validateClientCapability(clientCapabilities_ && clientCapabilities_->sampling, "Sampling");
    CreateSamplingMessage::Parameters parameters{std::move(messages)};
    parameters.modelPreferences = std::move(modelPreferences);
    parameters.systemPrompt = std::move(systemPrompt);
    parameters.includeContext = includeContext;
    parameters.temperature = temperature;
    parameters.maxTokens = maxTokens;
    parameters.stopSequences = std::move(stopSequences);
    parameters.meta = std::move(meta);
    auto task = send(CreateSamplingMessage::request(ID::random(), std::move(parameters)));
    auto result = co_await task.value();
    co_return result;
}

asio::awaitable<CreateElicitation::Result> Server::requestElicitation(std::string message,
                                                                      Elicitation::RequestSchema requestedSchema,
                                                                      std::optional<Elicitation::Mode> mode,
                                                                      std::optional<Metadata> meta) {
    CreateElicitation::Parameters::FormParameters form{std::move(message), mode, std::move(requestedSchema),
                                                       std::move(meta)};
    auto result = co_await elicit(std::move(form));
    co_return result;
}

asio::awaitable<CreateElicitation::Result> Server::requestElicitation(std::string message, std::string url,
                                                                      std::string elicitationId,
                                                                      std::optional<Metadata> meta) {
    CreateElicitation::Parameters::URLParameters parameters(std::move(message), std::move(url),
                                                            std::move(elicitationId), std::move(meta));
    auto result = co_await elicit(std::move(parameters));
    co_return result;
}

asio::awaitable<CreateElicitation::Result> Server::elicit(CreateElicitation::Parameters parameters) {
    if (!connection_) throw MCPError::internalError("Server connection not initialized");
    validateClientCapability(clientCapabilities_ && clientCapabilities_->elicitation, "Elicitation");
    auto task = send(CreateElicitation::request(ID::random(), std::move(parameters)));
    auto result = co_await task.value();
    co_return result;
}

asio::awaitable<std::vector<Root>> Server::listRoots() {
    if (!connection_) throw MCPError::internalError("Server connection not initialized");
    validateClientCapability(clientCapabilities_ && clientCapabilities_->roots, "Roots");
    auto task = send(ListRoots::request(ID::random()));
    auto result = co_await task.value();
    co_return std::move(result.roots);
}

asio::awaitable<void> Server::writeRequest(std::shared_ptr<Server> self, std::shared_ptr<Transport> connection, ID id,
                                           std::string data) {
    // Stopped before the write began: the waiter has its answer, and nobody else waits for this.
    if (!self->pendingRequests_.contains(id)) co_return;
    std::exception_ptr failure;
    try {
        co_await connection->send(std::move(data));
    } catch (...) {
        failure = std::current_exception();
    }
    if (!failure) co_return;
    // When the entry is gone, a response or `stop` got there first and the error is dropped.
    if (auto waiter = self->removePendingResponse(id)) waiter->resumeThrowing(failure);
}

asio::awaitable<void> Server::handleResponse(Response<AnyMethod> response) {
    if (auto waiter = removePendingResponse(response.id)) {
        if (const auto* error = response.failure()) {
            waiter->resumeThrowing(std::make_exception_ptr(*error));
        } else {
            waiter->resumeReturning(std::move(*std::get_if<0>(&response.result)));
        }
        co_return;
    }
    if (auto logger = this->logger()) {
        logger->warning("Received response for unknown request", {{"id", [&] { return response.id.description(); }}});
    }
}

// Default handlers and the initialisation state

void Server::registerDefaultHandlers(InitializeHook initializeHook) {
    withMethodHandler<Initialize>(
        [weak = weak_from_this(), hook = std::move(initializeHook)](Initialize::Parameters parameters) {
            return answerInitialize(weak, hook, std::move(parameters));
        });
    withMethodHandler<Ping>([](Empty) -> asio::awaitable<Empty> { co_return Empty{}; });
}

asio::awaitable<Initialize::Result> Server::answerInitialize(std::weak_ptr<Server> weak, InitializeHook hook,
                                                             Initialize::Parameters parameters) {
    auto server = weak.lock();
    if (!server) throw MCPError::internalError("Server was deallocated");
    if (server->isInitialized_) throw MCPError::invalidRequest("Server is already initialized");
    if (hook) co_await hook(parameters.clientInfo, parameters.capabilities);
    auto version = Version::negotiated(parameters.protocolVersion);
    server->setInitialState(std::move(parameters.clientInfo), std::move(parameters.capabilities), version);
    co_return Initialize::Result{std::move(version), server->capabilities_, server->serverInfo_,
                                 server->instructions_, std::nullopt};
}

void Server::setInitialState(ClientInfo clientInfo, ClientCapabilities clientCapabilities,
                             std::string protocolVersion) {
    // Another "initialize" may have completed while this one awaited its hook: one handshake only.
    if (isInitialized_) throw MCPError::invalidRequest("Server is already initialized");
    clientInfo_ = std::move(clientInfo);
    clientCapabilities_ = std::move(clientCapabilities);
    protocolVersion_ = std::move(protocolVersion);
    isInitialized_ = true;
}

// Cancellation

std::optional<std::function<void()>> Server::removePendingRequest(const ID& id) {
    auto found = pendingRequestTasks_.find(id);
    if (found == pendingRequestTasks_.end()) return std::nullopt;
    auto task = std::move(found->second);
    pendingRequestTasks_.erase(found);
    return task;
}

asio::awaitable<void> Server::handleCancellation(std::weak_ptr<Server> weak, Message<CancelledNotification> message) {
    auto server = weak.lock();
    if (!server) co_return;
    const auto& requestId = message.params.requestId;
    auto requestIdText = [&] { return requestId ? requestId->description() : std::string("none"); };
    auto reasonText = [&] { return message.params.reason.value_or("none"); };
    if (auto logger = server->logger()) {
        logger->debug("Received cancellation notification", {{"requestId", requestIdText}, {"reason", reasonText}});
    }
    if (!requestId) {
        if (auto logger = server->logger()) {
            logger->warning("Received cancellation notification with no requestId (violates spec MUST)",
                            {{"reason", reasonText}});
        }
        co_return;
    }
    if (auto cancel = server->removePendingRequest(*requestId)) {
        (*cancel)();
        if (auto logger = server->logger()) logger->debug("Cancelled request", {{"requestId", requestIdText}});
    } else if (auto logger = server->logger()) {
        logger->trace("Cancellation notification for unknown or completed request", {{"requestId", requestIdText}});
    }
}

asio::awaitable<void> Server::cancelRequest(ID id, std::optional<std::string> reason) {
    auto message = CancelledNotification::message({std::move(id), std::move(reason)});
    co_await notify(std::move(message));
}

}  // namespace mcp
