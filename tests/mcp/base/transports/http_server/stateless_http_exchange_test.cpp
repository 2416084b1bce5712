// A server engine on a stateless HTTP transport, one fresh pair per HTTP request, as a local host
// serves them.
#include "mcp/base/transports/http_server/stateless_http_server_transport.hpp"

#include "mcp/base/initialize.hpp"
#include "mcp/server/call_tool.hpp"
#include "mcp/server/list_tools.hpp"
#include "mcp/server/log_level.hpp"
#include "mcp/server/server.hpp"
#include "platform/async/cancellation.hpp"
#include "platform/async/one_shot.hpp"
#include "platform/async/task.hpp"
#include "platform/json/parse.hpp"
#include "support/capturing_log_handler.hpp"
#include "support/run_async.hpp"

#include <boost/asio/io_context.hpp>
#include <boost/asio/this_coro.hpp>
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mcp {
namespace {

namespace asio = boost::asio;
using testing_support::CapturingLogHandler;
using Headers = std::map<std::string, std::string>;

const Headers kHeaders{
    {"Accept", "application/json, text/event-stream"},
    {"Content-Type", "application/json"},
    {"Host", "localhost:47292"},
    {"MCP-Protocol-Version", "2025-06-18"},
};

HTTPRequest post(std::string body, Headers headers = kHeaders) {
    return HTTPRequest{"POST", std::move(headers), std::move(body), std::string("/mcp")};
}

boost::json::value json(std::string_view text) {
    return platform::json::parse(text);
}

/// What the tool handlers saw, for the checks after the exchange.
struct Seen {
    std::vector<std::optional<HTTPRequest>> httpContexts;
    int initializedNotifications = 0;
};

struct Exchange {
    asio::io_context io;
    CapturingLogHandler log;
    Seen seen;
    platform::OneShot<void> neverReleased;

    std::shared_ptr<Server> makeServer() {
        auto server = Server::create("inkwarden-test", "1.0", "Test", "Use it", Server::Capabilities{.tools = {{true}}});
        server->withMethodHandler<ListTools>([](ListTools::Parameters) -> asio::awaitable<ListTools::Result> {
            co_return ListTools::Result{{Tool("echo", std::nullopt, "Echoes its text",
                                              Value::object({{"type", Value("object")}}),
                                              Tool::Annotations(std::nullopt, true))},
                                        std::nullopt, std::nullopt};
        });
        server->withMethodHandler<CallTool>(
            [this, weak = std::weak_ptr<Server>(server)](CallTool::Parameters params) -> asio::awaitable<CallTool::Result> {
                auto context = Server::currentHandlerContext();
                seen.httpContexts.push_back(context && context->httpContext() ? std::optional(*context->httpContext()) : std::nullopt);
                if (params.name == "wait") co_await neverReleased.wait();
                if (params.name == "chatty") {
                    // A stateless transport has no channel for this; the answer still comes.
                    if (auto self = weak.lock()) co_await self->log(LogLevel::info, std::nullopt, Value("working"));
                }
                std::string text = "?";
                if (params.arguments) {
                    if (auto found = params.arguments->find("text"); found != params.arguments->end()) {
                        if (auto s = found->second.stringValue()) text = std::string(*s);
                    }
                }
                co_return CallTool::Result{{Tool::Content::text(text)}};
            });
        server->onNotification<InitializedNotification>([this](Message<InitializedNotification>) -> asio::awaitable<void> {
            ++seen.initializedNotifications;
            co_return;
        });
        return server;
    }

    /// One HTTP request through a fresh transport and server: start, hand over, stop.
    HTTPResponse handle(HTTPRequest request) {
        return testing_support::runAsync(io, [&]() -> asio::awaitable<HTTPResponse> {
            auto server = makeServer();
            auto transport = std::make_shared<StatelessHTTPServerTransport>(nullptr, log.logger());
            co_await server->start(transport);
            auto response = co_await transport->handleRequest(request);
            co_await server->stop();
            co_return response;
        });
    }
};

void expectJSONBody(const HTTPResponse& response, std::string_view expected) {
    EXPECT_EQ(response.statusCode(), 200);
    EXPECT_EQ(response.headers(), (Headers{{"Content-Type", "application/json"}}));
    ASSERT_TRUE(response.bodyData());
    EXPECT_EQ(json(*response.bodyData()), json(expected)) << *response.bodyData();
}

TEST(StatelessHTTPExchangeTest, AnswersInitialize) {
    Exchange exchange;
    auto response = exchange.handle(post(
        R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-06-18","capabilities":{},"clientInfo":{"name":"client","version":"9"}}})",
        // An initialize request passes whatever version header it carries.
        [] {
            auto headers = kHeaders;
            headers["MCP-Protocol-Version"] = "1999-01-01";
            return headers;
        }()));
    expectJSONBody(response, R"({"id":1,"jsonrpc":"2.0","result":{
        "capabilities":{"tools":{"listChanged":true}},"instructions":"Use it","protocolVersion":"2025-06-18",
        "serverInfo":{"name":"inkwarden-test","title":"Test","version":"1.0"}}})");
}

TEST(StatelessHTTPExchangeTest, AnswersToolsListWithTheEnginesExactText) {
    Exchange exchange;
    auto response = exchange.handle(post(R"({"jsonrpc":"2.0","id":"list-1","method":"tools/list"})"));
    // The engine's own writing: sorted keys, "/" unescaped.
    EXPECT_EQ(response.bodyData(),
              R"({"id":"list-1","jsonrpc":"2.0","result":{"tools":[{"annotations":{"readOnlyHint":true},"description":"Echoes its text","inputSchema":{"type":"object"},"name":"echo"}]}})");
    EXPECT_EQ(response.statusCode(), 200);
}

TEST(StatelessHTTPExchangeTest, AnswersToolsCallAndShowsTheHandlerItsHTTPRequest) {
    Exchange exchange;
    auto request = post(R"({"jsonrpc":"2.0","id":7,"method":"tools/call","params":{"name":"echo","arguments":{"text":"a/b"}}})");
    auto response = exchange.handle(request);
    expectJSONBody(response, R"({"id":7,"jsonrpc":"2.0","result":{"content":[{"type":"text","text":"a/b"}]}})");
    // Without the body, which the handler has as the request itself.
    request.body.reset();
    EXPECT_EQ(exchange.seen.httpContexts, (std::vector<std::optional<HTTPRequest>>{request}));
}

TEST(StatelessHTTPExchangeTest, AnswersPingAndEngineErrors) {
    Exchange exchange;
    expectJSONBody(exchange.handle(post(R"({"jsonrpc":"2.0","id":2,"method":"ping"})")),
                   R"({"id":2,"jsonrpc":"2.0","result":{}})");
    expectJSONBody(exchange.handle(post(R"({"jsonrpc":"2.0","id":3,"method":"tools/unknown"})")),
                   R"({"id":3,"jsonrpc":"2.0","error":{"code":-32601,"message":"Method not found: Unknown method: tools/unknown",
                                                         "data":{"detail":"Unknown method: tools/unknown"}}})");
}

TEST(StatelessHTTPExchangeTest, AcceptsNotificationsWith202) {
    Exchange exchange;
    auto response = testing_support::runAsync(exchange.io, [&]() -> asio::awaitable<HTTPResponse> {
        auto server = exchange.makeServer();
        auto transport = std::make_shared<StatelessHTTPServerTransport>();
        co_await server->start(transport);
        auto answer = co_await transport->handleRequest(post(R"({"jsonrpc":"2.0","method":"notifications/initialized"})"));
        // Answered before the server reads it; give its receive loop the turn to.
        while (exchange.seen.initializedNotifications == 0) {
            co_await platform::sleepFor(std::chrono::milliseconds(1));
        }
        co_await server->stop();
        co_return answer;
    });
    EXPECT_EQ(response.statusCode(), 202);
    EXPECT_TRUE(response.headers().empty());
    EXPECT_FALSE(response.bodyData());
    EXPECT_EQ(exchange.seen.initializedNotifications, 1);
}

TEST(StatelessHTTPExchangeTest, DropsWhatTheServerSendsOnItsOwnAndStillAnswers) {
    Exchange exchange;
    auto response = exchange.handle(
        post(R"({"jsonrpc":"2.0","id":4,"method":"tools/call","params":{"name":"chatty","arguments":{"text":"done"}}})"));
    expectJSONBody(response, R"({"id":4,"jsonrpc":"2.0","result":{"content":[{"type":"text","text":"done"}]}})");
    auto dropped = exchange.log.first(logging::Level::debug,
                                      "Server-initiated notification dropped in stateless mode (no GET SSE stream)");
    ASSERT_TRUE(dropped) << exchange.log.dump();
    EXPECT_EQ(dropped->metadataText("method"), "notifications/message");
}

TEST(StatelessHTTPExchangeTest, RefusalsNeverReachTheServer) {
    struct Case {
        const char* name;
        HTTPRequest request;
        int status;
        std::string body;
    };
    auto headersWith = [](std::string name, std::string value) {
        auto headers = kHeaders;
        headers[std::move(name)] = std::move(value);
        return headers;
    };
    const std::string call = R"({"jsonrpc":"2.0","id":5,"method":"tools/call","params":{"name":"echo"}})";
    const std::vector<Case> cases = {
        {"Get", HTTPRequest{"GET", kHeaders, std::nullopt, std::string("/mcp")}, 405,
         R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request: Method Not Allowed"},"id":null})"},
        {"EmptyBody", post("", headersWith("Accept", "text/html")), 400,
         R"({"jsonrpc":"2.0","error":{"code":-32700,"message":"Parse error: Invalid JSON: Empty request body"},"id":null})"},
        {"Batch", post("[" + call + "]"), 400,
         R"({"jsonrpc":"2.0","error":{"code":-32700,"message":"Parse error: Invalid JSON: Invalid JSON-RPC message"},"id":null})"},
        // The server would run it as a request while nobody waits for its answer.
        {"CallWithNullId", post(R"({"jsonrpc":"2.0","id":null,"method":"tools/call","params":{"name":"echo"}})"), 400,
         R"({"jsonrpc":"2.0","error":{"code":-32700,"message":"Parse error: Invalid JSON: Invalid JSON-RPC message"},"id":null})"},
        {"ForeignHost", post(call, headersWith("Host", "attacker.example")), 421,
         R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request: Misdirected Request: Host header not allowed"},"id":null})"},
        {"ForeignOrigin", post(call, headersWith("Origin", "https://localhost:47292")), 403,
         R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request: Forbidden: Origin not allowed"},"id":null})"},
        {"WrongAccept", post(call, headersWith("Accept", "text/event-stream")), 406,
         R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request: Not Acceptable: Client must accept application\/json"},"id":null})"},
        {"WrongContentType", post(call, headersWith("Content-Type", "text/plain")), 415,
         R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request: Unsupported Media Type: Content-Type must be application\/json"},"id":null})"},
        {"UnsupportedVersion", post(call, headersWith("MCP-Protocol-Version", "1999-01-01")), 400,
         R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request: Bad Request: Unsupported protocol version: 1999-01-01. Supported: 2024-11-05, 2025-03-26, 2025-06-18, 2025-11-25"},"id":null})"},
    };
    Exchange exchange;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto response = exchange.handle(c.request);
        EXPECT_EQ(response.statusCode(), c.status);
        EXPECT_EQ(response.bodyData(), c.body);
    }
    EXPECT_TRUE(exchange.seen.httpContexts.empty());
}

TEST(StatelessHTTPExchangeTest, StoppingTheServerAnswersAWaitingRequest) {
    Exchange exchange;
    auto response = testing_support::runAsync(exchange.io, [&]() -> asio::awaitable<HTTPResponse> {
        auto server = exchange.makeServer();
        auto transport = std::make_shared<StatelessHTTPServerTransport>();
        co_await server->start(transport);
        auto executor = co_await asio::this_coro::executor;
        auto pending = platform::spawn(
            executor, transport->handleRequest(post(R"({"jsonrpc":"2.0","id":6,"method":"tools/call","params":{"name":"wait"}})")));
        // Stop once the handler runs.
        while (exchange.seen.httpContexts.empty()) {
            co_await platform::sleepFor(std::chrono::milliseconds(1));
        }
        co_await server->stop();
        auto answer = co_await pending.value();
        // Let the handler end, so that nothing is left suspended.
        exchange.neverReleased.resume();
        co_return answer;
    });
    exchange.io.restart();
    exchange.io.run();
    EXPECT_EQ(response.statusCode(), 500);
    EXPECT_EQ(response.bodyData(),
              R"({"jsonrpc":"2.0","error":{"code":-32603,"message":"Internal error: Error processing request: Connection closed"},"id":null})");
}

}  // namespace
}  // namespace mcp
