#include "mcp/base/transports/http_server/stateless_http_server_transport.hpp"

#include "mcp/base/transports/http_server/standard_validation_pipeline.hpp"
#include "platform/async/task.hpp"
#include "platform/describe.hpp"
#include "support/capturing_log_handler.hpp"
#include "support/run_async.hpp"

#include <boost/asio/this_coro.hpp>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace mcp {
namespace {

namespace asio = boost::asio;
using testing_support::CapturingLogHandler;
using testing_support::runAsync;
using Headers = std::map<std::string, std::string>;

const Headers kValidHeaders{
    {"Accept", "application/json, text/event-stream"},
    {"Content-Type", "application/json"},
    {"Host", "127.0.0.1:47292"},
};

HTTPRequest post(std::optional<std::string> body, Headers headers = kValidHeaders, std::string method = "POST") {
    return HTTPRequest{std::move(method), std::move(headers), std::move(body), std::string("/mcp")};
}

Headers with(Headers headers, std::string name, std::string value) {
    headers.insert_or_assign(std::move(name), std::move(value));
    return headers;
}

std::string describeError(const std::exception_ptr& error) {
    return platform::describe(error);
}

struct Refusal {
    const char* name;
    HTTPRequest request;
    int status;
    MCPError error;
};

TEST(StatelessHTTPServerTransportTest, RefusesInTheOrderOfItsChecks) {
    const std::string request = R"({"jsonrpc":"2.0","id":1,"method":"ping"})";
    const auto wrongAccept = with(kValidHeaders, "Accept", "text/html");
    const std::vector<Refusal> cases = {
        {"Get", post(std::nullopt, kValidHeaders, "GET"), 405, MCPError::invalidRequest("Method Not Allowed")},
        {"DeleteWithBody", post(request, kValidHeaders, "DELETE"), 405, MCPError::invalidRequest("Method Not Allowed")},
        // The body is checked before the pipeline: a wrong Accept does not matter yet.
        {"AbsentBody", post(std::nullopt, wrongAccept), 400, MCPError::parseError("Empty request body")},
        {"EmptyBody", post("", wrongAccept), 400, MCPError::parseError("Empty request body")},
        {"Batch", post("[" + request + "]", wrongAccept), 400, MCPError::parseError("Invalid JSON-RPC message")},
        {"InvalidJSON", post("{", wrongAccept), 400, MCPError::parseError("Invalid JSON-RPC message")},
        {"ResponseWithoutId", post(R"({"result":{}})"), 400, MCPError::parseError("Invalid JSON-RPC message")},
        {"MethodAndResult", post(R"({"jsonrpc":"2.0","id":1,"method":"ping","result":{}})"), 400,
         MCPError::parseError("Invalid JSON-RPC message")},
        // Then the default pipeline: origin, accept, content type, protocol version.
        {"ForeignHostBeforeAccept", post(request, with(wrongAccept, "Host", "evil.example")), 421,
         MCPError::invalidRequest("Misdirected Request: Host header not allowed")},
        {"ForeignOrigin", post(request, with(kValidHeaders, "Origin", "http://evil.example")), 403,
         MCPError::invalidRequest("Forbidden: Origin not allowed")},
        {"WrongAccept", post(request, wrongAccept), 406,
         MCPError::invalidRequest("Not Acceptable: Client must accept application/json")},
        {"WrongAcceptOnNotification", post(R"({"method":"notifications/initialized"})", wrongAccept), 406,
         MCPError::invalidRequest("Not Acceptable: Client must accept application/json")},
        {"WrongContentType", post(request, with(kValidHeaders, "Content-Type", "text/plain")), 415,
         MCPError::invalidRequest("Unsupported Media Type: Content-Type must be application/json")},
        {"UnsupportedVersion", post(request, with(kValidHeaders, "MCP-Protocol-Version", "1999-01-01")), 400,
         MCPError::invalidRequest("Bad Request: Unsupported protocol version: 1999-01-01. Supported: 2024-11-05, "
                                  "2025-03-26, 2025-06-18, 2025-11-25")},
    };
    auto transport = std::make_shared<StatelessHTTPServerTransport>();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto response = runAsync([&] { return transport->handleRequest(c.request); });
        EXPECT_EQ(response.statusCode(), c.status);
        EXPECT_EQ(response.mcpError(), c.error);
        Headers headers{{"Content-Type", "application/json"}};
        if (c.status == 405) headers.emplace("Allow", "POST");
        EXPECT_EQ(response.headers(), headers);
    }
    // Nothing reached the server.
    runAsync([&]() -> asio::awaitable<void> {
        co_await transport->disconnect();
        auto next = co_await transport->receive().next();
        EXPECT_FALSE(next);
    });
}

TEST(StatelessHTTPServerTransportTest, MethodNotAllowedHasTheExactBody) {
    auto transport = std::make_shared<StatelessHTTPServerTransport>();
    auto response = runAsync([&] { return transport->handleRequest(post(std::nullopt, {}, "GET")); });
    EXPECT_EQ(response.bodyData(),
              R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request: Method Not Allowed"},"id":null})");
}

TEST(StatelessHTTPServerTransportTest, HandsNotificationsAndResponsesOverWith202) {
    const std::vector<std::string> bodies = {
        R"({"jsonrpc":"2.0","method":"notifications/initialized"})",
        R"({"jsonrpc":"2.0","id":true,"method":"x"})",
        R"({"jsonrpc":"2.0","id":"c1","result":{"roots":[]}})",
        R"({"jsonrpc":"2.0","id":4,"error":{"code":-1,"message":"no"}})",
    };
    auto transport = std::make_shared<StatelessHTTPServerTransport>();
    runAsync([&]() -> asio::awaitable<void> {
        for (const auto& body : bodies) {
            // The method's letter case does not matter.
            auto response = co_await transport->handleRequest(post(body, kValidHeaders, "post"));
            EXPECT_EQ(response.kind(), HTTPResponse::Kind::accepted);
            EXPECT_EQ(response.statusCode(), 202);
            EXPECT_TRUE(response.headers().empty());
            EXPECT_FALSE(response.bodyData());
        }
        // Kept until the server reads them, unchanged and in order.
        auto stream = transport->receive();
        for (const auto& body : bodies) {
            auto next = co_await stream.next();
            EXPECT_EQ(next, body);
        }
    });
}

/// Serves `count` requests on `transport` as an engine would: reads each body, checks the HTTP
/// context, and answers at once, in the same turn as it got the body.
asio::awaitable<void> answerRequests(std::shared_ptr<StatelessHTTPServerTransport> transport, int count,
                                     std::vector<std::optional<HTTPRequest>>* contexts) {
    auto stream = transport->receive();
    for (int i = 0; i < count; ++i) {
        auto body = co_await stream.next();
        if (!body) co_return;
        auto byNumber = co_await transport->httpRequestContext(ID(7));
        auto byText = co_await transport->httpRequestContext(ID("7"));
        // One stored request, shared by every lookup.
        EXPECT_EQ(byNumber, byText);
        contexts->push_back(byNumber ? std::optional(*byNumber) : std::nullopt);
        contexts->push_back(byText ? std::optional(*byText) : std::nullopt);
        co_await transport->send(R"({"id":7,"jsonrpc":"2.0","result":{"echo":)" + *body + "}}");
    }
}

TEST(StatelessHTTPServerTransportTest, AnswersARequestWithTheServersResponse) {
    const std::string body = R"({"jsonrpc":"2.0","id":7,"method":"ping"})";
    auto transport = std::make_shared<StatelessHTTPServerTransport>();
    std::vector<std::optional<HTTPRequest>> contexts;
    runAsync([&]() -> asio::awaitable<void> {
        auto executor = co_await asio::this_coro::executor;
        auto server = platform::spawn(executor, answerRequests(transport, 1, &contexts));
        auto request = post(body);
        auto response = co_await transport->handleRequest(request);
        EXPECT_EQ(response.kind(), HTTPResponse::Kind::data);
        EXPECT_EQ(response.statusCode(), 200);
        EXPECT_EQ(response.headers(), (Headers{{"Content-Type", "application/json"}}));
        EXPECT_EQ(response.bodyData(), R"({"id":7,"jsonrpc":"2.0","result":{"echo":)" + body + "}}");
        // The integer id 7 is keyed by the text "7", so the string id names the same request; its
        // body went to the server as the message.
        request.body.reset();
        EXPECT_EQ(contexts, (std::vector<std::optional<HTTPRequest>>{request, request}));
        auto after = co_await transport->httpRequestContext(ID(7));
        EXPECT_FALSE(after);  // the exchange is over
        co_await server.value();
    });
}

TEST(StatelessHTTPServerTransportTest, AnswersConcurrentRequestsEachWithItsOwnResponse) {
    auto transport = std::make_shared<StatelessHTTPServerTransport>();
    runAsync([&]() -> asio::awaitable<void> {
        auto executor = co_await asio::this_coro::executor;
        auto first = platform::spawn(
            executor, transport->handleRequest(post(R"({"id":"a","method":"x"})", with(kValidHeaders, "X-Request", "a"))));
        auto second = platform::spawn(
            executor, transport->handleRequest(post(R"({"id":2,"method":"y"})", with(kValidHeaders, "X-Request", "2"))));
        auto stream = transport->receive();
        auto one = co_await stream.next();
        auto two = co_await stream.next();
        EXPECT_TRUE(one && two);
        auto contextA = co_await transport->httpRequestContext(ID("a"));
        auto context2 = co_await transport->httpRequestContext(ID(2));
        EXPECT_EQ(contextA ? contextA->header("X-Request") : std::nullopt, "a");
        EXPECT_EQ(context2 ? context2->header("X-Request") : std::nullopt, "2");
        EXPECT_EQ(contextA ? contextA->body : "absent", std::nullopt);
        // Answered in the other order.
        co_await transport->send(R"({"id":2,"result":"two"})");
        co_await transport->send(R"({"id":"a","result":"one"})");
        auto secondResponse = co_await second.value();
        auto firstResponse = co_await first.value();
        EXPECT_EQ(firstResponse.bodyData(), R"({"id":"a","result":"one"})");
        EXPECT_EQ(secondResponse.bodyData(), R"({"id":2,"result":"two"})");
    });
}

TEST(StatelessHTTPServerTransportTest, RoutesAResponseByTheIdItIsGivenWithoutReadingIt) {
    auto transport = std::make_shared<StatelessHTTPServerTransport>();
    runAsync([&]() -> asio::awaitable<void> {
        auto executor = co_await asio::this_coro::executor;
        auto first = platform::spawn(executor, transport->handleRequest(post(R"({"id":"a","method":"x"})")));
        auto second = platform::spawn(executor, transport->handleRequest(post(R"({"id":2,"method":"y"})")));
        auto stream = transport->receive();
        EXPECT_TRUE(co_await stream.next());
        EXPECT_TRUE(co_await stream.next());
        // The id given decides, not the text: neither of these would classify as a response to it.
        co_await transport->sendResponse(ID(2), "second answer");
        co_await transport->sendResponse(ID(3), "nobody waits for this");
        co_await transport->sendResponse(ID("a"), R"({"id":2,"result":"one"})");
        EXPECT_EQ((co_await second.value()).bodyData(), "second answer");
        EXPECT_EQ((co_await first.value()).bodyData(), R"({"id":2,"result":"one"})");
        co_await transport->disconnect();
        std::exception_ptr failure;
        try {
            co_await transport->sendResponse(ID(1), "{}");
        } catch (...) {
            failure = std::current_exception();
        }
        EXPECT_EQ(describeError(failure), platform::describe(std::make_exception_ptr(MCPError::connectionClosed())));
    });
}

TEST(StatelessHTTPServerTransportTest, RefusesARequestWhoseIdIsStillInFlight) {
    auto transport = std::make_shared<StatelessHTTPServerTransport>();
    runAsync([&]() -> asio::awaitable<void> {
        auto executor = co_await asio::this_coro::executor;
        auto first = platform::spawn(executor, transport->handleRequest(post(R"({"id":1,"method":"x"})")));
        auto stream = transport->receive();
        auto body = co_await stream.next();
        EXPECT_TRUE(body);
        // The string "1" and the integer 1 have the same id text.
        auto second = co_await transport->handleRequest(post(R"({"id":"1","method":"y"})"));
        EXPECT_EQ(second.statusCode(), 409);
        EXPECT_EQ(second.mcpError(), MCPError::invalidRequest("Conflict: Request ID already in use"));
        co_await transport->send(R"({"id":1,"result":{}})");
        auto firstResponse = co_await first.value();
        EXPECT_EQ(firstResponse.statusCode(), 200);
        EXPECT_EQ(firstResponse.bodyData(), R"({"id":1,"result":{}})");
        // Once over, the id is free again.
        auto third = platform::spawn(executor, transport->handleRequest(post(R"({"id":1,"method":"z"})")));
        auto thirdBody = co_await stream.next();
        EXPECT_EQ(thirdBody, R"({"id":1,"method":"z"})");
        co_await transport->send(R"({"id":1,"result":3})");
        auto thirdResponse = co_await third.value();
        EXPECT_EQ(thirdResponse.bodyData(), R"({"id":1,"result":3})");
    });
}

TEST(StatelessHTTPServerTransportTest, TerminationAnswersWaitingRequestsAndEverythingAfter) {
    CapturingLogHandler log;
    auto transport = std::make_shared<StatelessHTTPServerTransport>(nullptr, log.logger());
    runAsync([&]() -> asio::awaitable<void> {
        auto executor = co_await asio::this_coro::executor;
        co_await transport->connect();
        auto waiting = platform::spawn(executor, transport->handleRequest(post(R"({"id":"r1","method":"slow"})")));
        auto stream = transport->receive();
        auto body = co_await stream.next();
        EXPECT_TRUE(body);

        co_await transport->disconnect();
        auto response = co_await waiting.value();
        EXPECT_EQ(response.statusCode(), 500);
        EXPECT_EQ(response.bodyData(),
                  R"({"jsonrpc":"2.0","error":{"code":-32603,"message":"Internal error: Error processing request: Connection closed"},"id":null})");
        auto context = co_await transport->httpRequestContext(ID("r1"));
        EXPECT_FALSE(context);
        // The server's receive loop ends.
        auto end = co_await stream.next();
        EXPECT_FALSE(end);

        auto later = co_await transport->handleRequest(post(R"({"id":2,"method":"x"})"));
        EXPECT_EQ(later.statusCode(), 404);
        EXPECT_EQ(later.mcpError(), MCPError::invalidRequest("Not Found: Transport has been terminated"));
        auto laterGet = co_await transport->handleRequest(post(std::nullopt, {}, "GET"));
        EXPECT_EQ(laterGet.statusCode(), 404);

        std::exception_ptr sendError;
        try {
            co_await transport->send(R"({"id":"r1","result":{}})");
        } catch (...) {
            sendError = std::current_exception();
        }
        EXPECT_EQ(describeError(sendError), "Connection closed");

        co_await transport->disconnect();
        std::exception_ptr connectError;
        try {
            co_await transport->connect();
        } catch (...) {
            connectError = std::current_exception();
        }
        EXPECT_EQ(describeError(connectError), "Internal error: Transport already started");
    });
    EXPECT_EQ(log.countOf(logging::Level::debug, "Stateless HTTP server transport started"), 1u);
    EXPECT_EQ(log.countOf(logging::Level::debug, "Stateless HTTP server transport terminated"), 1u);
    auto cancelled = log.first(logging::Level::debug, "Cancelled waiter for request");
    ASSERT_TRUE(cancelled) << log.dump();
    EXPECT_EQ(cancelled->metadataText("requestID"), "r1");
    EXPECT_TRUE(transport->isTerminated());
}

TEST(StatelessHTTPServerTransportTest, AnswersARequestAtOnceWhenTheServerNoLongerReads) {
    auto transport = std::make_shared<StatelessHTTPServerTransport>();
    runAsync([&]() -> asio::awaitable<void> {
        auto executor = co_await asio::this_coro::executor;
        auto reader = platform::spawn(executor, [](platform::AsyncStream<std::string> stream) -> asio::awaitable<void> {
            auto next = co_await stream.next();
            EXPECT_FALSE(next);
        }(transport->receive()));
        // A cancelled reader ends the stream without terminating the transport.
        reader.cancel();
        co_await reader.value();
        auto response = co_await transport->handleRequest(post(R"({"id":1,"method":"x"})"));
        EXPECT_EQ(response.statusCode(), 500);
        EXPECT_EQ(response.mcpError(), MCPError::internalError("Error processing request: Connection closed"));
        auto context = co_await transport->httpRequestContext(ID(1));
        EXPECT_FALSE(context);
        // A notification nobody will read is not acknowledged either.
        auto notified = co_await transport->handleRequest(post(R"({"method":"notifications/initialized"})"));
        EXPECT_EQ(notified.statusCode(), 500);
    });
}

TEST(StatelessHTTPServerTransportTest, ConnectsOnlyOnce) {
    auto transport = std::make_shared<StatelessHTTPServerTransport>();
    runAsync([&]() -> asio::awaitable<void> {
        co_await transport->connect();
        EXPECT_TRUE(transport->isStarted());
        std::exception_ptr error;
        try {
            co_await transport->connect();
        } catch (...) {
            error = std::current_exception();
        }
        EXPECT_EQ(describeError(error), "Internal error: Transport already started");
    });
}

TEST(StatelessHTTPServerTransportTest, DropsWhatTheServerSendsOnItsOwn) {
    CapturingLogHandler log;
    auto transport = std::make_shared<StatelessHTTPServerTransport>(nullptr, log.logger());
    runAsync([&]() -> asio::awaitable<void> {
        co_await transport->send(R"({"jsonrpc":"2.0","id":"s1","method":"roots/list"})");
        co_await transport->send(R"({"jsonrpc":"2.0","method":"notifications/message","params":{}})");
        co_await transport->send(R"({"jsonrpc":"2.0","id":99,"result":{}})");
        co_await transport->send(R"([{"jsonrpc":"2.0","id":1,"result":{}}])");
    });
    auto request =
        log.first(logging::Level::debug, "Server-initiated request dropped in stateless mode (no GET SSE stream)");
    ASSERT_TRUE(request) << log.dump();
    EXPECT_EQ(request->metadataText("method"), "roots/list");
    auto notification =
        log.first(logging::Level::debug, "Server-initiated notification dropped in stateless mode (no GET SSE stream)");
    ASSERT_TRUE(notification) << log.dump();
    EXPECT_EQ(notification->metadataText("method"), "notifications/message");
    auto unknown = log.first(logging::Level::debug, "No waiter for response, may have timed out");
    ASSERT_TRUE(unknown) << log.dump();
    EXPECT_EQ(unknown->metadataText("requestID"), "99");
    EXPECT_EQ(log.countOf(logging::Level::warning, "Could not classify outgoing message for routing"), 1u);
}

TEST(StatelessHTTPServerTransportTest, UsesTheGivenPipelineAndSurvivesOneThatThrows) {
    class Throwing final : public HTTPRequestValidator {
    public:
        std::optional<HTTPResponse> validate(const HTTPRequest&, const HTTPValidationContext& context) const override {
            if (context.isInitializationRequest) throw std::runtime_error("token store unavailable");
            return std::nullopt;
        }
    };
    auto pipeline = std::make_shared<StandardValidationPipeline>(
        std::vector<std::shared_ptr<const HTTPRequestValidator>>{std::make_shared<Throwing>()});
    auto transport = std::make_shared<StatelessHTTPServerTransport>(pipeline);
    runAsync([&]() -> asio::awaitable<void> {
        auto refused = co_await transport->handleRequest(post(R"({"id":1,"method":"initialize"})", {}));
        EXPECT_EQ(refused.statusCode(), 500);
        EXPECT_EQ(refused.mcpError(), MCPError::internalError("Error processing request: token store unavailable"));
        // The default checks are not run: no headers at all pass this pipeline.
        auto accepted = co_await transport->handleRequest(post(R"({"method":"notifications/initialized"})", {}));
        EXPECT_EQ(accepted.statusCode(), 202);
    });
}

}  // namespace
}  // namespace mcp
