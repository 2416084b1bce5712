#include "mcp/server/server.hpp"

#include "mcp/server/call_tool.hpp"
#include "platform/async/cancellation.hpp"
#include "server_harness.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace mcp::test {
namespace {

using logging::Level;

constexpr const char* kPing = R"({"jsonrpc":"2.0","id":"ping","method":"ping"})";
constexpr const char* kPong = R"({"id":"ping","jsonrpc":"2.0","result":{}})";

TEST(ServerCancellationTest, ACancelledToolCallIsNeverAnswered) {
    ServerHarness h;
    platform::OneShot<void> started;
    bool finished = false;
    h.server->withMethodHandler<CallTool>([&](CallTool::Parameters) -> asio::awaitable<CallTool::Result> {
        started.resume();
        co_await platform::sleepFor(std::chrono::hours(1));
        finished = true;
        co_return CallTool::Result({Tool::Content::text("too late")});
    });
    auto replies = h.runStarted([&]() -> asio::awaitable<std::vector<std::string>> {
        h.transport->push(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"slow"}})");
        co_await started.wait();
        h.transport->push(
            R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":1,"reason":"user"}})");
        // The loop handles messages in order: once the ping is answered, the cancellation was handled.
        auto pong = co_await h.exchange(kPing);
        co_return std::vector<std::string>{pong};
    });
    h.settle();
    EXPECT_EQ(replies, std::vector<std::string>{kPong});
    EXPECT_EQ(h.sent(), std::vector<std::string>{kPong});
    EXPECT_FALSE(finished);

    auto received = h.logs.first(Level::debug, "Received cancellation notification");
    ASSERT_TRUE(received);
    EXPECT_EQ(received->metadataText("requestId"), "1");
    EXPECT_EQ(received->metadataText("reason"), "user");
    auto cancelled = h.logs.first(Level::debug, "Cancelled request");
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(cancelled->metadataText("requestId"), "1");
    EXPECT_EQ(h.logs.countOf(Level::debug, "Request cancelled"), 1u);
    auto ended = h.logs.first(Level::debug, "Request cancelled");
    EXPECT_EQ(ended->metadataText("id"), "1");
    EXPECT_EQ(ended->metadataText("method"), "tools/call");
}

TEST(ServerCancellationTest, AnAnswerGivenDespiteACancellationIsSentUncancelled) {
    // A handler that does not heed the cancellation still answers, and the answer's send is no
    // longer cancelled: a transport pausing on a full pipe would otherwise cut the line short.
    ServerHarness h;
    platform::OneShot<void> started;
    platform::OneShot<void> gate;
    std::vector<bool> cancelledAtSend;
    h.transport->failSendsWhen([&](std::string_view) -> std::exception_ptr {
        cancelledAtSend.push_back(platform::isCancelled());
        return nullptr;
    });
    h.server->withMethodHandler<Echo>([started, gate](Value params) -> asio::awaitable<Value> {
        started.resume();
        co_await gate.wait();
        co_return params;
    });
    auto replies = h.runStarted([&]() -> asio::awaitable<std::vector<std::string>> {
        h.transport->push(R"({"jsonrpc":"2.0","id":4,"method":"test/echo","params":"late"})");
        co_await started.wait();
        h.transport->push(R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":4}})");
        auto pong = co_await h.exchange(kPing);
        gate.resume();
        auto answer = co_await h.transport->nextSent();
        co_return std::vector<std::string>{pong, answer};
    });
    EXPECT_EQ(replies, (std::vector<std::string>{kPong, R"({"id":4,"jsonrpc":"2.0","result":"late"})"}));
    EXPECT_EQ(h.logs.countOf(Level::debug, "Cancelled request"), 1u);
    EXPECT_EQ(cancelledAtSend, (std::vector<bool>{false, false}));
}

TEST(ServerCancellationTest, ACancellationNamingNoRunningRequestChangesNothing) {
    ServerHarness h;
    platform::OneShot<void> gate;
    h.server->withMethodHandler<Echo>([gate](Value params) -> asio::awaitable<Value> {
        if (params == Value("wait")) co_await gate.wait();
        co_return params;
    });
    auto replies = h.runStarted([&]() -> asio::awaitable<std::vector<std::string>> {
        auto answered = co_await h.exchange(R"({"jsonrpc":"2.0","id":3,"method":"test/echo","params":"now"})");
        h.transport->push(R"({"jsonrpc":"2.0","id":7,"method":"test/echo","params":"wait"})");
        // Already answered, and a string id that only looks like the waiting request's number.
        h.transport->push(R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":3}})");
        h.transport->push(R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":"7"}})");
        co_await h.exchange(kPing);
        gate.resume();
        auto released = co_await h.transport->nextSent();
        co_return std::vector<std::string>{answered, released};
    });
    EXPECT_EQ(replies[1], R"({"id":7,"jsonrpc":"2.0","result":"wait"})");
    auto unknown = h.logs.events(Level::trace, "Cancellation notification for unknown or completed request");
    ASSERT_EQ(unknown.size(), 2u);
    EXPECT_EQ(unknown[0].metadataText("requestId"), "3");
    EXPECT_EQ(unknown[1].metadataText("requestId"), "7");
    EXPECT_EQ(h.logs.countOf(Level::debug, "Cancelled request"), 0u);
}

TEST(ServerCancellationTest, ACancellationWithoutRequestIdIsOnlyLogged) {
    for (const char* params : {"", R"(,"params":{})", R"(,"params":{"reason":"bored"})"}) {
        SCOPED_TRACE(params);
        ServerHarness h;
        auto pong = h.runStarted([&]() -> asio::awaitable<std::string> {
            h.transport->push(R"({"jsonrpc":"2.0","method":"notifications/cancelled")" + std::string(params) + "}");
            co_return co_await h.exchange(kPing);
        });
        EXPECT_EQ(pong, kPong);
        std::string reason = std::string(params).find("bored") != std::string::npos ? "bored" : "none";
        auto received = h.logs.first(Level::debug, "Received cancellation notification");
        ASSERT_TRUE(received);
        EXPECT_EQ(received->metadataText("requestId"), "none");
        EXPECT_EQ(received->metadataText("reason"), reason);
        auto warned = h.logs.events(Level::warning,
                                    "Received cancellation notification with no requestId (violates spec MUST)");
        ASSERT_EQ(warned.size(), 1u);
        EXPECT_EQ(warned[0].metadataText("reason"), reason);
        EXPECT_EQ(h.sent(), std::vector<std::string>{kPong});
    }
}

TEST(ServerCancellationTest, CancelRequestOnlyTellsTheClient) {
    ServerHarness h;
    auto waiter = std::make_shared<std::optional<platform::Task<std::vector<Root>>>>();
    auto written = h.runStarted([&]() -> asio::awaitable<std::vector<std::string>> {
        *waiter = platform::spawn(h.io.get_executor(), h.server->listRoots());
        auto request = co_await h.transport->nextSent();
        auto id = ID::fromJSON(json(request).at("id"));
        co_await h.server->cancelRequest(id, "gave up");
        auto notice = co_await h.transport->nextSent();
        co_await h.server->cancelRequest(ID(5));
        auto bare = co_await h.transport->nextSent();
        co_return std::vector<std::string>{request, notice, bare};
    });
    h.settle();
    auto id = text(json(written[0]).at("id"));
    EXPECT_EQ(written[1],
              R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"reason":"gave up","requestId":)" + id + "}}");
    EXPECT_EQ(written[2], R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":5}})");
    EXPECT_FALSE((*waiter)->isFinished());  // still waiting for the client
    h.transport->push(R"({"jsonrpc":"2.0","id":)" + id + R"(,"result":{"roots":[]}})");
    h.settle();
    ASSERT_TRUE((*waiter)->isFinished());
    EXPECT_TRUE((*waiter)->get().empty());
}

TEST(ServerCancellationTest, CancelRequestWithoutAConnectionFails) {
    ServerHarness h;
    auto outcome = h.run([&]() -> asio::awaitable<std::string> {
        try {
            co_await h.server->cancelRequest(ID("x"));
        } catch (const MCPError& e) {
            co_return e.errorDescription();
        }
        co_return "sent";
    });
    EXPECT_EQ(outcome, "Internal error: Server connection not initialized");
}

}  // namespace
}  // namespace mcp::test
