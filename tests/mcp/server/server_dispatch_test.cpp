#include "mcp/server/server.hpp"

#include "mcp/base/http_context_providing.hpp"
#include "mcp/base/ping.hpp"
#include "mcp/base/transports/detail/response_routing.hpp"
#include "mcp/server/call_tool.hpp"
#include "mcp/server/list_tools.hpp"
#include "server_harness.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace mcp::test {

/// A result whose JSON is whatever the handler puts there, a NaN included.
struct RawResult {
    boost::json::value json;
    boost::json::value toJSON() const { return json; }
    static RawResult fromJSON(const boost::json::value& json) { return RawResult{json}; }
    bool operator==(const RawResult&) const = default;
};

}  // namespace mcp::test

template <>
struct std::hash<mcp::test::RawResult> {
    std::size_t operator()(const mcp::test::RawResult&) const noexcept { return 0; }
};

namespace mcp::test {
namespace {

using logging::Level;

/// "test/raw": answers with the JSON its parameter names.
struct Raw : BasicMethod<Raw> {
    static constexpr std::string_view name = "test/raw";
    using Parameters = Value;
    using Result = RawResult;
};

/// "test/fail": fails as its parameter says: "mcp" with an MCPError, anything else with another error.
struct Fail : BasicMethod<Fail> {
    static constexpr std::string_view name = "test/fail";
    using Parameters = Value;
    using Result = Value;
};

asio::awaitable<Value> fail(Value params) {
    if (params == Value("mcp")) throw MCPError::invalidParams("bad argument");
    throw std::runtime_error("handler broke");
    co_return Value();
}

std::string errorReply(std::string_view id, const MCPError& error) {
    return R"({"error":)" + text(error.toJSON()) + R"(,"id":)" + std::string(id) + R"(,"jsonrpc":"2.0"})";
}

TEST(ServerDispatchTest, AnswersConcurrentRequestsInCompletionOrder) {
    ServerHarness h;
    platform::OneShot<void> gate;
    h.server->withMethodHandler<Fail>([gate](Value params) -> asio::awaitable<Value> {
        if (params == Value("wait")) {
            co_await gate.wait();
        } else {
            gate.resume();
        }
        co_return params;
    });
    auto replies = h.runStarted([&]() -> asio::awaitable<std::vector<std::string>> {
        h.transport->push(R"({"jsonrpc":"2.0","id":1,"method":"test/fail","params":"wait"})");
        h.transport->push(R"({"jsonrpc":"2.0","id":2,"method":"test/fail","params":"release"})");
        auto first = co_await h.transport->nextSent();
        auto second = co_await h.transport->nextSent();
        co_return std::vector<std::string>{first, second};
    });
    EXPECT_EQ(replies, (std::vector<std::string>{R"({"id":2,"jsonrpc":"2.0","result":"release"})",
                                                 R"({"id":1,"jsonrpc":"2.0","result":"wait"})"}));
}

TEST(ServerDispatchTest, FailuresAreAnsweredAloneAndInsideABatch) {
    struct Case {
        const char* name;
        bool strict;
        std::string request;  // without its id
        MCPError error;
    };
    const Case cases[] = {
        {"NoHandler", false, R"("method":"test/none")", MCPError::methodNotFound("Unknown method: test/none")},
        {"ProtocolError", false, R"("method":"test/fail","params":"mcp")", MCPError::invalidParams("bad argument")},
        {"OtherError", false, R"("method":"test/fail","params":"x")", MCPError::internalError("handler broke")},
        {"ParamsThatDoNotDecode", false, R"("method":"tools/call","params":{"arguments":{}})",
         MCPError::internalError("Invalid params field")},
        {"MissingParams", false, R"("method":"tools/call")", MCPError::internalError("Missing required params field")},
        {"StrictBeforeInitialize", true, R"("method":"test/echo","params":1)",
         MCPError::invalidRequest("Server is not initialized")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServerHarness h(c.strict ? Server::Configuration::strict_ : Server::Configuration::default_);
        h.server->withMethodHandler<Fail>(fail);
        h.server->withMethodHandler<CallTool>([](CallTool::Parameters) -> asio::awaitable<CallTool::Result> {
            co_return CallTool::Result({});
        });
        auto replies = h.runStarted([&]() -> asio::awaitable<std::vector<std::string>> {
            auto alone = co_await h.exchange(R"({"jsonrpc":"2.0","id":5,)" + c.request + "}");
            auto batched = co_await h.exchange(R"([{"jsonrpc":"2.0","id":"b",)" + c.request + "}]");
            co_return std::vector<std::string>{alone, batched};
        });
        EXPECT_EQ(replies[0], errorReply("5", c.error));
        EXPECT_EQ(replies[1], "[" + errorReply(R"("b")", c.error) + "]");
    }
}

TEST(ServerDispatchTest, AnswersBatchesAsOneArray) {
    struct Case {
        const char* name;
        std::string batch;
        std::vector<std::string> replies;  // "EMPTY" stands for the empty-batch error under a fresh id
        int notificationsSeen;
    };
    const Case cases[] = {
        {"Empty", "[]", {"EMPTY"}, 0},
        {"NotificationsOnly",
         R"([{"jsonrpc":"2.0","method":"notifications/test"},{"jsonrpc":"2.0","method":"notifications/test","params":1}])",
         {}, 2},
        {"Mixed",
         R"([{"jsonrpc":"2.0","id":1,"method":"test/echo","params":"a"},{"jsonrpc":"2.0","method":"notifications/test"},)"
         R"({"jsonrpc":"2.0","id":2,"method":"test/none"},{"jsonrpc":"2.0","id":3,"method":"test/echo","params":"c"}])",
         {"[" + std::string(R"({"id":1,"jsonrpc":"2.0","result":"a"},)") +
          errorReply("2", MCPError::methodNotFound("Unknown method: test/none")) +
          R"(,{"id":3,"jsonrpc":"2.0","result":"c"}])"},
         1},
        {"EmptyMethod", R"([{"jsonrpc":"2.0","id":9,"method":""}])",
         {"[" + errorReply("9", MCPError::invalidRequest("Invalid batch item format")) + "]"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServerHarness h;
        int seen = 0;
        std::vector<int> seenAtReply;
        h.server->onNotification<Note>([&seen](Message<Note>) -> asio::awaitable<void> {
            ++seen;
            co_return;
        });
        h.runStarted([&]() -> asio::awaitable<void> {
            h.transport->push(c.batch);
            co_return;
        });
        h.settle();
        ASSERT_EQ(h.sent().size(), c.replies.size());
        for (std::size_t i = 0; i < c.replies.size(); ++i) {
            if (c.replies[i] == "EMPTY") {
                auto reply = json(h.sent()[i]);
                ASSERT_TRUE(reply.is_object());
                EXPECT_TRUE(isFreshID(reply.at("id")));
                EXPECT_EQ(text(reply.at("error")),
                          text(MCPError::invalidRequest("Batch array must not be empty").toJSON()));
            } else {
                EXPECT_EQ(h.sent()[i], c.replies[i]);
            }
        }
        EXPECT_EQ(seen, c.notificationsSeen);
        EXPECT_EQ(h.logs.first(Level::trace, "Processing batch request")->metadataText("size"),
                  std::to_string(json(c.batch).as_array().size()));
    }
}

TEST(ServerDispatchTest, StrictModeGatesNotificationsUntilInitialized) {
    ServerHarness h(Server::Configuration::strict_);
    std::vector<std::string> seen;
    h.server->onNotification<Note>([&seen](Message<Note>) -> asio::awaitable<void> {
        seen.push_back("test");
        co_return;
    });
    h.server->onNotification<InitializedNotification>([&seen](Message<InitializedNotification>) -> asio::awaitable<void> {
        seen.push_back("initialized");
        co_return;
    });
    auto reply = h.runStarted([&]() -> asio::awaitable<std::string> {
        h.transport->push(R"({"jsonrpc":"2.0","method":"notifications/initialized"})");
        h.transport->push(R"([{"jsonrpc":"2.0","method":"notifications/test"}])");  // dropped silently
        auto alone = co_await h.exchange(R"({"jsonrpc":"2.0","method":"notifications/test"})");
        co_return alone;
    });
    h.settle();
    EXPECT_EQ(seen, std::vector<std::string>{"initialized"});
    auto parsed = json(reply);
    EXPECT_TRUE(isFreshID(parsed.at("id")));
    EXPECT_EQ(text(parsed.at("error")), text(MCPError::invalidRequest("Server is not initialized").toJSON()));
    EXPECT_EQ(h.sent().size(), 1u);
    EXPECT_FALSE(h.server->isInitialized());
}

TEST(ServerDispatchTest, NotificationHandlersRunInOrderAndAFailureDoesNotStopTheRest) {
    ServerHarness h;
    std::vector<std::string> ran;
    h.server->onNotification<Note>([&ran](Message<Note>) -> asio::awaitable<void> {
        ran.push_back("first");
        throw std::runtime_error("first failed");
        co_return;
    });
    h.server->onNotification<Note>([&ran](Message<Note> message) -> asio::awaitable<void> {
        ran.push_back("second " + message.params.description());
        co_return;
    });
    h.runStarted([&]() -> asio::awaitable<void> {
        h.transport->push(R"({"jsonrpc":"2.0","method":"notifications/test","params":"x"})");
        co_return;
    });
    h.settle();
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "second x"}));
    auto logged = h.logs.first(Level::error, "Error handling notification");
    ASSERT_TRUE(logged);
    EXPECT_EQ(logged->metadataText("method"), "notifications/test");
    EXPECT_EQ(logged->metadataText("error"), "first failed");
    EXPECT_TRUE(h.sent().empty());
}

TEST(ServerRegistrationTest, TheLastMethodHandlerWinsAndStartReplacesInitializeAndPing) {
    ServerHarness h;
    h.server->withMethodHandler<Echo>([](Value) -> asio::awaitable<Value> { co_return Value("first"); });
    h.server->withMethodHandler<Echo>([](Value) -> asio::awaitable<Value> { co_return Value("second"); });
    h.server->withMethodHandler<Ping>([](Empty) -> asio::awaitable<Empty> {
        throw std::runtime_error("registered before start");
        co_return Empty{};
    });
    auto replies = h.runStarted([&]() -> asio::awaitable<std::vector<std::string>> {
        auto echo = co_await h.exchange(R"({"jsonrpc":"2.0","id":1,"method":"test/echo"})");
        auto defaultPing = co_await h.exchange(R"({"jsonrpc":"2.0","id":2,"method":"ping"})");
        h.server->withMethodHandler<Ping>([](Empty) -> asio::awaitable<Empty> {
            throw MCPError::internalError("registered after start");
            co_return Empty{};
        });
        auto laterPing = co_await h.exchange(R"({"jsonrpc":"2.0","id":3,"method":"ping"})");
        co_return std::vector<std::string>{echo, defaultPing, laterPing};
    });
    EXPECT_EQ(replies[0], R"({"id":1,"jsonrpc":"2.0","result":"second"})");
    EXPECT_EQ(replies[1], R"({"id":2,"jsonrpc":"2.0","result":{}})");
    EXPECT_EQ(replies[2], errorReply("3", MCPError::internalError("registered after start")));
}

TEST(ServerRegistrationTest, CancellationHandlersRunAfterTheEngineOwn) {
    ServerHarness h;
    std::vector<std::string> ran;
    auto record = [&](std::string who) {
        return [&ran, &h, who](Message<CancelledNotification>) -> asio::awaitable<void> {
            bool engineRan = h.logs.countOf(Level::debug, "Received cancellation notification") == 1;
            ran.push_back(who + (engineRan ? " after engine" : " before engine"));
            co_return;
        };
    };
    h.runStarted([&]() -> asio::awaitable<void> {
        h.server->onNotification<CancelledNotification>(record("one"));
        h.server->onNotification<CancelledNotification>(record("two"));
        h.transport->push(R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":1}})");
        co_return;
    });
    h.settle();
    EXPECT_EQ(ran, (std::vector<std::string>{"one after engine", "two after engine"}));
}

// A scripted transport that can name the HTTP request behind each JSON-RPC request.
class HTTPScriptedTransport final : public Transport, public HTTPContextProviding {
public:
    explicit HTTPScriptedTransport(std::shared_ptr<testing_support::ScriptedTransport> inner)
        : inner_(std::move(inner)) {}

    std::map<std::string, HTTPRequest> requests;

    logging::Logger logger() const override { return inner_->logger(); }
    asio::awaitable<void> connect() override { return inner_->connect(); }
    asio::awaitable<void> disconnect() override { return inner_->disconnect(); }
    asio::awaitable<void> send(std::string data) override { return inner_->send(std::move(data)); }
    platform::AsyncStream<std::string> receive() override { return inner_->receive(); }

    asio::awaitable<std::shared_ptr<const HTTPRequest>> httpRequestContext(ID id) override {
        auto found = requests.find(id.description());
        if (found == requests.end()) co_return nullptr;
        co_return std::make_shared<const HTTPRequest>(found->second);
    }

private:
    std::shared_ptr<testing_support::ScriptedTransport> inner_;
};

/// Delivers through a scripted transport and records the id each routed response was given.
class RoutingScriptedTransport final : public Transport, public ResponseRouting {
public:
    explicit RoutingScriptedTransport(std::shared_ptr<testing_support::ScriptedTransport> inner)
        : inner_(std::move(inner)) {}

    std::vector<std::string> routedIDs;

    logging::Logger logger() const override { return inner_->logger(); }
    asio::awaitable<void> connect() override { return inner_->connect(); }
    asio::awaitable<void> disconnect() override { return inner_->disconnect(); }
    asio::awaitable<void> send(std::string data) override { return inner_->send(std::move(data)); }
    platform::AsyncStream<std::string> receive() override { return inner_->receive(); }

    asio::awaitable<void> sendResponse(const ID& id, std::string data) override {
        routedIDs.push_back(id.description());
        return inner_->send(std::move(data));
    }

private:
    std::shared_ptr<testing_support::ScriptedTransport> inner_;
};

TEST(ServerSendTest, ResponsesGoToARoutingTransportWithTheirIDs) {
    ServerHarness h;
    h.server->withMethodHandler<Fail>(fail);
    auto routing = std::make_shared<RoutingScriptedTransport>(h.transport);
    auto replies = h.run([&]() -> asio::awaitable<std::vector<std::string>> {
        co_await h.server->start(routing);
        auto answered = co_await h.exchange(R"({"jsonrpc":"2.0","id":7,"method":"test/echo","params":1})");
        auto failed = co_await h.exchange(R"({"jsonrpc":"2.0","id":"f","method":"test/fail","params":"x"})");
        auto unknown = co_await h.exchange(R"({"jsonrpc":"2.0","id":"u","method":"test/none"})");
        // A batch's answer is one array with no single id: it goes out as any other message.
        auto batched = co_await h.exchange(R"([{"jsonrpc":"2.0","id":8,"method":"test/echo","params":2}])");
        co_return std::vector<std::string>{answered, failed, unknown, batched};
    });
    EXPECT_EQ(routing->routedIDs, (std::vector<std::string>{"7", "f", "u"}));
    EXPECT_EQ(replies[0], R"({"id":7,"jsonrpc":"2.0","result":1})");
    EXPECT_EQ(replies[1], errorReply(R"("f")", MCPError::internalError("handler broke")));
    EXPECT_EQ(replies[2], errorReply(R"("u")", MCPError::methodNotFound("Unknown method: test/none")));
    EXPECT_EQ(replies[3], R"([{"id":8,"jsonrpc":"2.0","result":2}])");
}

/// "test/context": answers with what the handler context says: the id and the HTTP method or null.
struct ContextProbe : BasicMethod<ContextProbe> {
    static constexpr std::string_view name = "test/context";
    using Parameters = Empty;
    using Result = Value;
};

asio::awaitable<Value> probeContext(Empty) {
    auto context = Server::currentHandlerContext();
    if (!context) co_return Value("no context");
    Value http = context->httpContext() ? Value(context->httpContext()->method) : Value();
    co_return Value::array({Value::fromJSON(context->id().toJSON()), http});
}

TEST(ServerHandlerContextTest, HandlersSeeTheirOwnRequestAndNothingElseDoes) {
    ServerHarness h;
    auto http = std::make_shared<HTTPScriptedTransport>(h.transport);
    http->requests["7"] = HTTPRequest{"POST", {}, std::nullopt, "/mcp"};
    h.server->withMethodHandler<ContextProbe>(probeContext);
    std::vector<bool> notificationSawContext;
    h.server->onNotification<Note>([&](Message<Note>) -> asio::awaitable<void> {
        notificationSawContext.push_back(Server::currentHandlerContext().has_value());
        co_return;
    });
    auto replies = h.run([&]() -> asio::awaitable<std::vector<std::string>> {
        co_await h.server->start(http);
        auto number = co_await h.exchange(R"({"jsonrpc":"2.0","id":7,"method":"test/context"})");
        auto text = co_await h.exchange(R"({"jsonrpc":"2.0","id":"7","method":"test/context"})");
        h.transport->push(R"({"jsonrpc":"2.0","method":"notifications/test"})");
        auto batched = co_await h.exchange(R"([{"jsonrpc":"2.0","id":"x","method":"test/context"}])");
        EXPECT_FALSE(Server::currentHandlerContext());
        co_return std::vector<std::string>{number, text, batched};
    });
    EXPECT_EQ(replies[0], R"({"id":7,"jsonrpc":"2.0","result":[7,"POST"]})");
    EXPECT_EQ(replies[1], R"({"id":"7","jsonrpc":"2.0","result":["7","POST"]})");
    EXPECT_EQ(replies[2], R"([{"id":"x","jsonrpc":"2.0","result":["x",null]}])");
    EXPECT_EQ(notificationSawContext, std::vector<bool>{false});
}

TEST(ServerHandlerContextTest, AServerStartedInsideAHandlerDoesNotPassTheContextOn) {
    ServerHarness h;
    auto innerTransport = std::make_shared<testing_support::ScriptedTransport>();
    auto inner = Server::create("inner", "1", std::nullopt, std::nullopt, {});
    platform::OneShot<bool> sawContext;
    inner->onNotification<Note>([sawContext](Message<Note>) -> asio::awaitable<void> {
        sawContext.resume(Server::currentHandlerContext().has_value());
        co_return;
    });
    h.server->withMethodHandler<Echo>([&](Value) -> asio::awaitable<Value> {
        co_await inner->start(innerTransport);
        innerTransport->push(R"({"jsonrpc":"2.0","method":"notifications/test"})");
        bool saw = co_await sawContext.wait();
        co_await inner->stop();
        co_return Value(saw);
    });
    auto reply = h.runStarted([&]() -> asio::awaitable<std::string> {
        co_return co_await h.exchange(R"({"jsonrpc":"2.0","id":1,"method":"test/echo"})");
    });
    EXPECT_EQ(reply, R"({"id":1,"jsonrpc":"2.0","result":false})");
}

TEST(ServerSendTest, SendingWithoutAConnectionFailsAndWritesNothing) {
    ServerHarness h;
    auto outcomes = h.run([&]() -> asio::awaitable<std::vector<std::string>> {
        std::vector<std::string> outcomes;
        try {
            co_await h.server->send(Ping::response(ID(1)));
        } catch (const MCPError& e) {
            outcomes.push_back(e.errorDescription());
        }
        try {
            co_await h.server->notify(Note::message(Value(1)));
        } catch (const MCPError& e) {
            outcomes.push_back(e.errorDescription());
        }
        co_return outcomes;
    });
    EXPECT_EQ(outcomes, std::vector<std::string>(2, "Internal error: Server connection not initialized"));
    EXPECT_EQ(h.transport->sendAttempts(), 0u);
}

TEST(ServerSendTest, WritesSortedKeysAtEveryLevelAndSlashesUnescaped) {
    ServerHarness h;
    auto params = Value::object(
        {{"z/path", Value::object({{"b", 2}, {"a", Value::array({Value::object({{"y", 1}, {"x", "a/b"}})})}})},
         {"m", 1}});
    auto sent = h.runStarted([&]() -> asio::awaitable<std::string> {
        co_await h.server->notify(Note::message(params));
        co_return co_await h.transport->nextSent();
    });
    EXPECT_EQ(sent, R"({"jsonrpc":"2.0","method":"notifications/test","params":{"m":1,"z/path":{"a":[{"x":"a/b","y":1}],"b":2}}})");
}

// A typed result is answered as the Value read from its JSON would be written, whether it is sent
// at once or returned inside a batch: whole doubles as integers, data URLs rewritten, keys sorted,
// and for two non-finite numbers the error of the first in document order.
TEST(ServerSendTest, ATypedResultIsAnsweredAsTheValueReadFromIt) {
    const double inf = std::numeric_limits<double>::infinity();
    ServerHarness h;
    h.server->withMethodHandler<Raw>([inf](Value params) -> asio::awaitable<RawResult> {
        if (params == Value("refused")) co_return RawResult{boost::json::object{{"b", std::nan("")}, {"a", inf}}};
        co_return RawResult{boost::json::object{{"z", 3.0},
                                                {"text", "data:,a/b"},
                                                {"big", 1e18},
                                                {"list", boost::json::array{std::numeric_limits<std::uint64_t>::max()}}}};
    });
    const std::string shaped =
        R"({"id":1,"jsonrpc":"2.0","result":{"big":1000000000000000000,"list":[18446744073709551616],)"
        R"("text":"data:text/plain;base64,YS9i","z":3}})";
    const std::string refused =
        R"({"error":{"code":-32603,"data":{"detail":"Unable to encode nan directly in JSON."},)"
        R"("message":"Internal error: Unable to encode nan directly in JSON."},"id":2,"jsonrpc":"2.0"})";
    auto replies = h.runStarted([&]() -> asio::awaitable<std::vector<std::string>> {
        std::vector<std::string> replies;
        for (auto request : {R"({"jsonrpc":"2.0","id":1,"method":"test/raw","params":"shaped"})",
                             R"({"jsonrpc":"2.0","id":2,"method":"test/raw","params":"refused"})",
                             R"([{"jsonrpc":"2.0","id":1,"method":"test/raw","params":"shaped"},)"
                             R"({"jsonrpc":"2.0","id":2,"method":"test/raw","params":"refused"}])"}) {
            auto reply = co_await h.exchange(request);
            replies.push_back(reply);
        }
        co_return replies;
    });
    EXPECT_EQ(replies, (std::vector<std::string>{shaped, refused, "[" + shaped + "," + refused + "]"}));

    // The refusal is the handler's answer: when the transport fails, the engine still tries once
    // more with the error of that failure.
    ServerHarness failing;
    failing.server->withMethodHandler<Raw>([inf](Value) -> asio::awaitable<RawResult> {
        co_return RawResult{boost::json::object{{"b", std::nan("")}, {"a", inf}}};
    });
    std::vector<std::string> attempted;
    failing.transport->failSendsWhen([&attempted](std::string_view data) {
        attempted.emplace_back(data);
        return std::make_exception_ptr(std::runtime_error("pipe closed"));
    });
    failing.runStarted([&]() -> asio::awaitable<void> {
        failing.transport->push(R"({"jsonrpc":"2.0","id":2,"method":"test/raw"})");
        co_return;
    });
    failing.settle();
    EXPECT_EQ(attempted, (std::vector<std::string>{refused, errorReply("2", MCPError::internalError("pipe closed"))}));
}

// A result handed out shared is answered as the same result given by value, alone and in a batch,
// both for a list written straight to text and for a result read through its JSON; a null one is
// an internal error.
TEST(ServerSendTest, ASharedResultIsAnsweredAsTheSameResultByValue) {
    const ListTools::Result list{{Tool("sign", "Sign", "Signs a/b", Value::object({{"type", "object"}}))}};
    const RawResult raw{boost::json::object{{"z", 3.0}, {"a", "x/y"}}};
    const std::vector<std::string> requests = {
        R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})",
        R"([{"jsonrpc":"2.0","id":1,"method":"tools/list"},{"jsonrpc":"2.0","id":2,"method":"test/raw"}])",
        R"({"jsonrpc":"2.0","id":3,"method":"test/raw"})",
    };
    auto answers = [&](bool shared, bool null) {
        ServerHarness h;
        if (shared) {
            auto kept = null ? nullptr : std::make_shared<const ListTools::Result>(list);
            h.server->withMethodHandler<ListTools>(
                [kept](ListTools::Parameters) -> asio::awaitable<std::shared_ptr<const ListTools::Result>> {
                    co_return kept;
                });
            auto keptRaw = std::make_shared<const RawResult>(raw);
            h.server->withMethodHandler<Raw>([keptRaw](Value) -> asio::awaitable<std::shared_ptr<const RawResult>> {
                co_return keptRaw;
            });
        } else {
            h.server->withMethodHandler<ListTools>([&](ListTools::Parameters) -> asio::awaitable<ListTools::Result> {
                co_return list;
            });
            h.server->withMethodHandler<Raw>([&](Value) -> asio::awaitable<RawResult> { co_return raw; });
        }
        return h.runStarted([&]() -> asio::awaitable<std::vector<std::string>> {
            std::vector<std::string> replies;
            for (const auto& request : requests) replies.push_back(co_await h.exchange(request));
            co_return replies;
        });
    };
    const auto byValue = answers(false, false);
    EXPECT_EQ(byValue[0], R"({"id":1,"jsonrpc":"2.0","result":{"tools":[{"description":"Signs a/b",)"
                          R"("inputSchema":{"type":"object"},"name":"sign","title":"Sign"}]}})");
    EXPECT_EQ(answers(true, false), byValue);
    EXPECT_EQ(answers(true, true)[0], errorReply("1", MCPError::internalError("Handler gave no result")));
}

}  // namespace
}  // namespace mcp::test
