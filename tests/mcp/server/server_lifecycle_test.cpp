#include "mcp/server/server.hpp"

#include "mcp/client/roots.hpp"
#include "server_harness.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

namespace mcp::test {
namespace {

using Event = testing_support::ScriptedTransport::Event;
using logging::Level;

// A reply that is a parse error under `id`, or under a fresh id when `id` is empty.
bool isParseError(const std::string& reply, std::string_view id) {
    auto value = json(reply);
    const auto& object = value.as_object();
    bool idFits = id.empty() ? isFreshID(object.at("id")) : text(object.at("id")) == id;
    return idFits && text(object.at("error")) == text(MCPError::parseError("Invalid message format").toJSON());
}

TEST(ServerReceiveLoopTest, ClassifiesEachChunkAndAnswersAccordingly) {
    struct Case {
        const char* name;
        std::string chunk;
        // "PARSE:" and an id stand for a parse error under that id, a fresh one when it is empty.
        std::vector<std::string> replies;
        int notificationsSeen;
        std::size_t unknownResponseWarnings;
    };
    const Case cases[] = {
        {"Request", R"({"jsonrpc":"2.0","id":1,"method":"test/echo","params":{"b":"x/y","a":1}})",
         {R"({"id":1,"jsonrpc":"2.0","result":{"a":1,"b":"x/y"}})"}, 0, 0},
        {"Notification", R"({"jsonrpc":"2.0","method":"notifications/test","params":5})", {}, 1, 0},
        {"ResponseNobodyWaitsFor", R"({"jsonrpc":"2.0","id":"nobody","result":{}})", {}, 0, 1},
        {"MethodWithResultIsAResponse", R"({"jsonrpc":"2.0","id":3,"method":"test/echo","result":1})", {}, 0, 1},
        {"Batch", R"([{"jsonrpc":"2.0","id":2,"method":"test/echo","params":"a"},{"jsonrpc":"2.0","method":"notifications/test"}])",
         {R"([{"id":2,"jsonrpc":"2.0","result":"a"}])"}, 1, 0},
        {"ArrayWithAnUnreadableItem", R"([{"jsonrpc":"2.0","id":2,"method":"ping"},5])", {"PARSE:"}, 0, 0},
        {"WrongVersion", R"({"jsonrpc":"1.0","id":4,"method":"ping"})", {"PARSE:4"}, 0, 0},
        {"NotJSON", "hello", {"PARSE:"}, 0, 0},
        {"Scalar", "42", {"PARSE:"}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServerHarness h;
        int seen = 0;
        h.server->onNotification<Note>([&seen](Message<Note>) -> asio::awaitable<void> {
            ++seen;
            co_return;
        });
        h.runStarted([&]() -> asio::awaitable<void> {
            h.transport->push(c.chunk);
            co_return;
        });
        h.settle();
        ASSERT_EQ(h.sent().size(), c.replies.size()) << h.logs.dump();
        for (std::size_t i = 0; i < c.replies.size(); ++i) {
            if (c.replies[i].starts_with("PARSE:")) {
                EXPECT_TRUE(isParseError(h.sent()[i], std::string_view(c.replies[i]).substr(6))) << h.sent()[i];
                EXPECT_EQ(h.logs.countOf(Level::error, "Error processing message"), 1u);
            } else {
                EXPECT_EQ(h.sent()[i], c.replies[i]);
            }
        }
        EXPECT_EQ(seen, c.notificationsSeen);
        EXPECT_EQ(h.logs.countOf(Level::warning, "Received response for unknown request"), c.unknownResponseWarnings);
    }
}

TEST(ServerReceiveLoopTest, AnswersUnreadableMessagesUnderTheirIdWhenItIsAStringOrInteger) {
    struct Case {
        const char* name;
        std::string chunk;
        const char* id;  // nullptr: a fresh UUID
    };
    const Case cases[] = {
        {"Integer", R"({"id":7,"x":1})", "7"},
        {"String", R"({"id":"abc"})", R"("abc")"},
        {"Fraction", R"({"id":7.5})", nullptr},
        {"Null", R"({"id":null})", nullptr},
        {"NoId", R"({"x":1})", nullptr},
        {"NotJSON", R"({"id":7)", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServerHarness h;
        auto reply = h.runStarted([&]() -> asio::awaitable<std::string> { co_return co_await h.exchange(c.chunk); });
        auto parsed = json(reply);
        const auto& object = parsed.as_object();
        if (c.id) {
            EXPECT_EQ(text(object.at("id")), c.id);
        } else {
            EXPECT_TRUE(isFreshID(object.at("id"))) << reply;
        }
        EXPECT_EQ(object.at("error").at("code").as_int64(), MCPError::parseErrorCode);
        EXPECT_EQ(object.at("error").at("data").at("detail").as_string(), "Invalid message format");
    }
}

TEST(ServerLifecycleTest, ConnectFailureIsThrownAndStartsNoLoop) {
    ServerHarness h;
    h.transport->failConnect(std::make_exception_ptr(std::runtime_error("no line")));
    auto outcome = h.run([&]() -> asio::awaitable<std::string> {
        try {
            co_await h.server->start(h.transport);
        } catch (const std::runtime_error& e) {
            co_return e.what();
        }
        co_return "started";
    });
    h.settle();
    EXPECT_EQ(outcome, "no line");
    EXPECT_EQ(h.transport->events(), std::vector<Event>{Event::connect});
    EXPECT_EQ(h.server->connection(), h.transport);
    EXPECT_EQ(h.logs.count(), 0u);
}

TEST(ServerLifecycleTest, LogsStartAndFinish) {
    ServerHarness h;
    h.runStarted([&]() -> asio::awaitable<void> {
        h.transport->finish();
        co_await h.server->waitUntilCompleted();
    });
    auto started = h.logs.first(Level::debug, "Server started");
    ASSERT_TRUE(started);
    EXPECT_EQ(started->metadataText("name"), "test-server");
    EXPECT_EQ(started->metadataText("version"), "1.2.3");
    EXPECT_EQ(started->source, "MCP");
    EXPECT_EQ(h.logs.countOf(Level::debug, "Server finished"), 1u);
    EXPECT_EQ(h.logs.countOf(Level::error), 0u);
}

TEST(ServerLifecycleTest, AFailingStreamEndsTheLoopOnce) {
    ServerHarness h;
    h.runStarted([&]() -> asio::awaitable<void> {
        h.transport->push(R"({"jsonrpc":"2.0","id":1,"method":"ping"})");
        h.transport->finish(std::make_exception_ptr(std::runtime_error("line dropped")));
        co_await h.server->waitUntilCompleted();
    });
    h.settle();
    EXPECT_EQ(h.logs.countOf(Level::error, "Fatal error in message handling loop"), 1u) << h.logs.dump();
    EXPECT_EQ(h.logs.first(Level::error, "Fatal error in message handling loop")->metadataText("error"),
              "line dropped");
    EXPECT_EQ(h.logs.countOf(Level::debug, "Server finished"), 1u);
    // The chunk before the failure was handled; nothing was sent for the failure itself.
    EXPECT_EQ(h.sent(), std::vector<std::string>{R"({"id":1,"jsonrpc":"2.0","result":{}})"});
}

TEST(ServerLifecycleTest, StopWithoutStartTwiceAndWaitingAfterwardsDoNothing) {
    ServerHarness h;
    h.run([&]() -> asio::awaitable<void> {
        co_await h.server->stop();
        co_await h.server->stop();
        co_await h.server->waitUntilCompleted();
    });
    EXPECT_TRUE(h.transport->events().empty());
    EXPECT_EQ(h.server->connection(), nullptr);
}

TEST(ServerLifecycleTest, StopEndsTheLoopFailsWaitersAndDisconnectsOnce) {
    ServerHarness h;
    h.transport->setFinishOnDisconnect(false);  // only the cancellation can end the loop
    auto outcome = h.runStarted([&]() -> asio::awaitable<std::string> {
        auto waiter = platform::spawn(h.io.get_executor(), h.server->listRoots());
        co_await h.transport->nextSent();  // the request is out
        co_await h.server->stop();
        co_await h.server->stop();
        co_await h.server->waitUntilCompleted();
        try {
            co_await waiter.value();
        } catch (const MCPError& e) {
            co_return e.errorDescription();
        }
        co_return "answered";
    });
    h.settle();
    EXPECT_EQ(outcome, "Internal error: Server disconnected");
    EXPECT_EQ(h.transport->events(),
              (std::vector<Event>{Event::connect, Event::receive, Event::send, Event::disconnect}));
    EXPECT_EQ(h.server->connection(), nullptr);
    // A chunk that arrives after stop is never read.
    h.transport->push(R"({"jsonrpc":"2.0","id":1,"method":"ping"})");
    h.settle();
    EXPECT_EQ(h.transport->sent().size(), 1u);
}

TEST(ServerLifecycleTest, AChunkQueuedBeforeStopIsNotDispatchedOnceTheLoopIsCancelled) {
    ServerHarness h;
    h.transport->setFinishOnDisconnect(false);
    h.runStarted([&]() -> asio::awaitable<void> {
        // Both arrive while the loop has not run yet; stop comes first.
        h.transport->push(R"({"jsonrpc":"2.0","id":1,"method":"ping"})");
        co_await h.server->stop();
    });
    h.settle();
    EXPECT_TRUE(h.sent().empty());
    EXPECT_EQ(h.logs.countOf(Level::trace, "Processing request"), 0u);
}

TEST(ServerLifecycleTest, WouldBlockWhileHandlingDropsTheMessageAndPausesBeforeTheNext) {
    ServerHarness h;
    // The batch reply is the send that would block; the ping after it must wait out the pause.
    h.transport->failNextSend(testing_support::ScriptedTransport::wouldBlockError());
    auto started = std::chrono::steady_clock::now();
    auto reply = h.runStarted([&]() -> asio::awaitable<std::string> {
        h.transport->push(R"([{"jsonrpc":"2.0","id":1,"method":"ping"}])");
        co_return co_await h.exchange(R"({"jsonrpc":"2.0","id":2,"method":"ping"})");
    });
    auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(reply, R"({"id":2,"jsonrpc":"2.0","result":{}})");
    EXPECT_GE(elapsed, std::chrono::milliseconds(10));
    EXPECT_EQ(h.transport->sendAttempts(), 2u);  // not retried, and no error reply
    EXPECT_EQ(h.logs.countOf(Level::error), 0u) << h.logs.dump();
}

TEST(ServerLifecycleTest, OtherFailuresWhileHandlingAreLoggedAndAnsweredUnderAFreshId) {
    ServerHarness h;
    h.transport->failNextSend(std::make_exception_ptr(std::runtime_error("cable cut")));
    auto reply = h.runStarted([&]() -> asio::awaitable<std::string> {
        co_return co_await h.exchange(R"([{"jsonrpc":"2.0","id":1,"method":"ping"}])");
    });
    auto parsed = json(reply);
    const auto& object = parsed.as_object();
    EXPECT_TRUE(isFreshID(object.at("id")));
    EXPECT_EQ(text(object.at("error")),
              text(MCPError::internalError("cable cut").toJSON()));
    auto logged = h.logs.first(Level::error, "Error processing message");
    ASSERT_TRUE(logged);
    EXPECT_EQ(logged->metadataText("error"), "cable cut");
}

}  // namespace
}  // namespace mcp::test
