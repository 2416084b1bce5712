#include "mcp/client/client.hpp"

#include "client_harness.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace mcp::test {
namespace {

using logging::Level;

TEST(ClientDispatchTest, AnswersTheServersRequestsThroughTheirHandlersOrWithAnError) {
    ClientHarness h;
    h.client->withMethodHandler<Echo>([](Value) -> asio::awaitable<Value> { co_return Value("replaced"); });
    h.client->withMethodHandler<Echo>([](Value params) -> asio::awaitable<Value> {
        if (params == Value("invalid")) throw MCPError::invalidParams("not this");
        if (params == Value("other")) throw std::runtime_error("disk full");
        co_return params;
    });
    h.client->withMethodHandler<Count>([](Empty) -> asio::awaitable<Counted> { co_return Counted{4}; });
    h.connect();

    struct Case {
        const char* name;
        std::string request;
        std::string answer;
    };
    const Case cases[] = {
        {"Handled", R"({"jsonrpc":"2.0","id":1,"method":"test/echo","params":{"a":[1,2]}})",
         R"({"jsonrpc":"2.0","id":1,"result":{"a":[1,2]}})"},
        {"TypedResult", R"({"jsonrpc":"2.0","id":"n","method":"test/count"})",
         R"({"jsonrpc":"2.0","id":"n","result":{"count":4}})"},
        {"NoHandler", R"({"jsonrpc":"2.0","id":2,"method":"sampling/createMessage","params":{}})",
         R"({"jsonrpc":"2.0","id":2,"error":{"code":-32601,"message":"Method not found: Unknown method: sampling\/createMessage","data":{"detail":"Unknown method: sampling\/createMessage"}}})"},
        {"HandlerThrowsMCPError", R"({"jsonrpc":"2.0","id":3,"method":"test/echo","params":"invalid"})",
         R"({"jsonrpc":"2.0","id":3,"error":{"code":-32602,"message":"Invalid params: not this","data":{"detail":"not this"}}})"},
        {"HandlerThrowsOther", R"({"jsonrpc":"2.0","id":4,"method":"test/echo","params":"other"})",
         R"({"jsonrpc":"2.0","id":4,"error":{"code":-32603,"message":"Internal error: disk full","data":{"detail":"disk full"}}})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto answer = h.run([&]() -> asio::awaitable<std::string> { co_return co_await h.exchange(c.request); });
        EXPECT_EQ(json(answer), json(c.answer)) << answer;
    }
    auto warning = h.logs.first(Level::warning, "No handler registered for method");
    ASSERT_TRUE(warning.has_value());
    EXPECT_EQ(warning->metadataText("method"), "sampling/createMessage");
    auto trace = h.logs.first(Level::trace, "Processing incoming request from server");
    EXPECT_EQ(trace->metadataText("method"), "test/echo");
    EXPECT_EQ(trace->metadataText("id"), "1");
}

TEST(ClientDispatchTest, ParametersThatDoNotReadAreAnsweredWithAnInternalError) {
    ClientHarness h;
    h.client->withRootsHandler([]() -> asio::awaitable<std::vector<Root>> { co_return std::vector<Root>{}; });
    h.client->withMethodHandler<CallTool>([](CallTool::Parameters) -> asio::awaitable<CallTool::Result> {
        co_return CallTool::Result({});
    });
    h.connect();
    auto answer = h.run([&]() -> asio::awaitable<std::string> {
        co_return co_await h.exchange(R"({"jsonrpc":"2.0","id":9,"method":"tools/call","params":{"arguments":{}}})");
    });
    auto error = json(answer).at("error");
    EXPECT_EQ(error.at("code"), -32603);
    EXPECT_EQ(error.at("message"), "Internal error: Invalid params field");
}

TEST(ClientDispatchTest, TheRootsHandlerAnswersWithExactlyItsRootsAndALaterOneReplacesIt) {
    ClientHarness h;
    h.client->withRootsHandler([]() -> asio::awaitable<std::vector<Root>> { co_return std::vector<Root>{Root{"file:///old"}}; });
    h.client->withRootsHandler([]() -> asio::awaitable<std::vector<Root>> {
        co_return std::vector<Root>{Root{"file:///home/me", "Home"}, Root{"https://x.test/y"}};
    });
    h.connect();
    auto answer = h.run([&]() -> asio::awaitable<std::string> {
        co_return co_await h.exchange(R"({"jsonrpc":"2.0","id":"r","method":"roots/list"})");
    });
    // The result goes out as the Value it reads as, so its members come in key order.
    EXPECT_EQ(answer, R"({"jsonrpc":"2.0","id":"r","result":{"roots":[{"name":"Home","uri":"file:\/\/\/home\/me"},)"
                      R"({"uri":"https:\/\/x.test\/y"}]}})");
}

TEST(ClientDispatchTest, SamplingAndElicitationRequestsReachTheirHandlersAsTypedValues) {
    ClientHarness h;
    std::vector<std::string> seen;
    h.client->withSamplingHandler(
        [&](CreateSamplingMessage::Parameters parameters) -> asio::awaitable<CreateSamplingMessage::Result> {
            seen.push_back("sampling " + std::to_string(parameters.messages.size()) + " " +
                           std::to_string(parameters.maxTokens));
            co_return CreateSamplingMessage::Result::fromJSON(
                json(R"({"model":"m-1","stopReason":"endTurn","role":"assistant","content":{"type":"text","text":"Hello"}})"));
        });
    h.client->withElicitationHandler(
        [&](CreateElicitation::Parameters parameters) -> asio::awaitable<CreateElicitation::Result> {
            seen.push_back(std::holds_alternative<CreateElicitation::Parameters::URLParameters>(parameters.value) ? "url"
                                                                                                                : "form");
            co_return CreateElicitation::Result{CreateElicitation::Result::Action::accept,
                                                Value::Object{{"name", Value("Ann")}}};
        });
    const std::string declared = platform::json::write(h.client->capabilities().toJSON());
    h.connect();
    struct Case {
        const char* name;
        std::string request;
        std::string answer;
    };
    const Case cases[] = {
        {"Sampling",
         R"({"jsonrpc":"2.0","id":1,"method":"sampling/createMessage","params":{"messages":[{"role":"user","content":{"type":"text","text":"Hi"}}],"maxTokens":64}})",
         R"({"jsonrpc":"2.0","id":1,"result":{"content":{"text":"Hello","type":"text"},"model":"m-1","role":"assistant","stopReason":"endTurn"}})"},
        {"FormElicitation",
         R"({"jsonrpc":"2.0","id":2,"method":"elicitation/create","params":{"message":"Name?","requestedSchema":{"type":"object","properties":{"name":{"type":"string"}}}}})",
         R"({"jsonrpc":"2.0","id":2,"result":{"action":"accept","content":{"name":"Ann"}}})"},
        {"URLElicitation",
         R"({"jsonrpc":"2.0","id":3,"method":"elicitation/create","params":{"message":"Sign in","mode":"url","url":"https://x.test/a","elicitationId":"e1"}})",
         R"({"jsonrpc":"2.0","id":3,"result":{"action":"accept","content":{"name":"Ann"}}})"},
        {"SamplingWithoutMaxTokens",
         R"({"jsonrpc":"2.0","id":4,"method":"sampling/createMessage","params":{"messages":[]}})",
         R"({"jsonrpc":"2.0","id":4,"error":{"code":-32603,"message":"Internal error: Invalid params field","data":{"detail":"Invalid params field"}}})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto answer = h.run([&]() -> asio::awaitable<std::string> { co_return co_await h.exchange(c.request); });
        EXPECT_EQ(json(answer), json(c.answer)) << answer;
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"sampling 1 64", "form", "url"}));
    // Registering the handlers declared nothing: the capabilities sent are those given.
    EXPECT_EQ(declared, "{}");
    EXPECT_EQ(h.transport->sent().front().find("sampling"), std::string::npos);
}

TEST(ClientDispatchTest, AFailedErrorResponseIsLoggedAndTheLoopGoesOn) {
    ClientHarness h;
    h.connect();
    h.transport->failNextSend(std::make_exception_ptr(std::runtime_error("gone")));
    auto answer = h.run([&]() -> asio::awaitable<std::string> {
        h.transport->push(R"({"jsonrpc":"2.0","id":1,"method":"nope"})");
        co_return co_await h.exchange(R"({"jsonrpc":"2.0","id":2,"method":"nope"})");
    });
    EXPECT_EQ(json(answer).at("id"), 2);
    auto error = h.logs.first(Level::error, "Failed to send error response");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->metadataText("error"), "gone");
}

TEST(ClientDispatchTest, NotificationHandlersRunInOrderAndAFailingOneDoesNotStopTheNext) {
    ClientHarness h;
    std::vector<std::string> ran;
    h.client->onNotification<Note>([&](Message<Note> message) -> asio::awaitable<void> {
        ran.push_back("first " + message.params.description());
        throw std::runtime_error("handler broke");
        co_return;
    });
    h.client->onNotification<Note>([&](Message<Note> message) -> asio::awaitable<void> {
        ran.push_back("second " + message.params.description());
        co_return;
    });
    h.connect();
    h.transport->push(R"({"jsonrpc":"2.0","method":"notifications/test","params":7})");
    h.transport->push(R"({"jsonrpc":"2.0","method":"notifications/unheard","params":7})");
    h.settle();
    EXPECT_EQ(ran, (std::vector<std::string>{"first 7", "second 7"}));
    auto error = h.logs.first(Level::error, "Error handling notification");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->metadataText("method"), "notifications/test");
    EXPECT_EQ(error->metadataText("error"), "handler broke");
    // A notification nobody listens for gives its trace line only.
    EXPECT_EQ(h.logs.countOf(Level::trace, "Processing notification"), 2u);
    EXPECT_EQ(h.logs.countOf(Level::warning), 0u);
    EXPECT_TRUE(h.sent().empty());
}

TEST(ClientDispatchTest, MessagesAreHandledOneAtATimeARequestAnsweredBeforeTheNextIsRead) {
    ClientHarness h;
    std::vector<std::string> order;
    platform::OneShot<void> release;
    h.client->withMethodHandler<Echo>([&](Value params) -> asio::awaitable<Value> {
        order.push_back("request starts");
        co_await release.wait();
        order.push_back("request ends");
        co_return params;
    });
    h.client->onNotification<Note>([&](Message<Note>) -> asio::awaitable<void> {
        order.push_back("notification");
        co_return;
    });
    h.connect();
    h.transport->push(R"({"jsonrpc":"2.0","id":1,"method":"test/echo","params":1})");
    h.transport->push(R"({"jsonrpc":"2.0","method":"notifications/test","params":2})");
    h.settle();
    EXPECT_EQ(order, std::vector<std::string>{"request starts"});
    release.resume();
    h.settle();
    EXPECT_EQ(order, (std::vector<std::string>{"request starts", "request ends", "notification"}));
    ASSERT_EQ(h.sent().size(), 1u);
}

TEST(ClientDispatchTest, AHandlerMayDisconnectTheClientWithoutWaitingForItself) {
    ClientHarness h;
    h.client->onNotification<Note>([&](Message<Note>) -> asio::awaitable<void> { co_await h.client->disconnect(); });
    h.connect();
    auto [task, text] = h.request(Echo::request(1, Value(1)));
    h.transport->push(R"({"jsonrpc":"2.0","method":"notifications/test","params":"bye"})");
    ASSERT_TRUE(h.runUntil([&] { return h.logs.countOf(logging::Level::debug, "Client disconnect complete.") == 1; }));
    h.settle();
    EXPECT_EQ(outcome(task), "Internal error: Client disconnected");
    EXPECT_EQ(h.client->connection(), nullptr);
    EXPECT_FALSE(h.transport->isConnected());
}

}  // namespace
}  // namespace mcp::test
