#include "mcp/server/server.hpp"

#include "mcp/base/version.hpp"
#include "server_harness.hpp"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace mcp::test {
namespace {

std::string initializeRequest(int id, std::string_view versionMember, std::string_view clientName = "client") {
    return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) + R"(,"method":"initialize","params":{)" +
           std::string(versionMember) + R"("capabilities":{"roots":{}},"clientInfo":{"name":")" +
           std::string(clientName) + R"(","version":"9"}}})";
}

std::string errorReply(int id, const MCPError& error) {
    return R"({"error":)" + text(error.toJSON()) + R"(,"id":)" + std::to_string(id) + R"(,"jsonrpc":"2.0"})";
}

TEST(ServerInitializeTest, NegotiatesTheVersionAndRecordsTheClient) {
    struct Case {
        const char* name;
        std::string versionMember;
        std::string answered;
    };
    const Case cases[] = {
        {"Supported", R"("protocolVersion":"2025-06-18",)", "2025-06-18"},
        {"Oldest", R"("protocolVersion":"2024-11-05",)", "2024-11-05"},
        {"Empty", R"("protocolVersion":"",)", Version::latest()},
        {"Unknown", R"("protocolVersion":"2099-01-01",)", Version::latest()},
        {"Absent", "", Version::latest()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServerHarness h;
        auto reply = h.runStarted(
            [&]() -> asio::awaitable<std::string> { co_return co_await h.exchange(initializeRequest(1, c.versionMember)); });
        EXPECT_EQ(reply, R"({"id":1,"jsonrpc":"2.0","result":{"capabilities":{},"instructions":"Use it for tests",)"
                         R"("protocolVersion":")" + c.answered +
                             R"(","serverInfo":{"name":"test-server","title":"Test Server","version":"1.2.3"}}})");
        EXPECT_TRUE(h.server->isInitialized());
        EXPECT_EQ(h.server->protocolVersion(), c.answered);
        ASSERT_TRUE(h.server->clientInfo());
        EXPECT_EQ(h.server->clientInfo()->name, "client");
        ASSERT_TRUE(h.server->clientCapabilities());
        EXPECT_TRUE(h.server->clientCapabilities()->roots);
    }
}

TEST(ServerInitializeTest, ASecondInitializeIsRefusedInEveryConfiguration) {
    for (auto configuration : {Server::Configuration::default_, Server::Configuration::strict_}) {
        SCOPED_TRACE(configuration.strict);
        ServerHarness h(configuration);
        auto replies = h.runStarted([&]() -> asio::awaitable<std::vector<std::string>> {
            auto first = co_await h.exchange(initializeRequest(1, "", "first"));
            auto second = co_await h.exchange(initializeRequest(2, R"("protocolVersion":"2024-11-05",)", "second"));
            co_return std::vector<std::string>{first, second};
        });
        EXPECT_EQ(replies[1], errorReply(2, MCPError::invalidRequest("Server is already initialized")));
        EXPECT_EQ(h.server->clientInfo()->name, "first");
        EXPECT_EQ(h.server->protocolVersion(), Version::latest());
    }
}

TEST(ServerInitializeTest, AFailingHookLeavesTheServerUninitializedForAnotherTry) {
    ServerHarness h;
    std::vector<std::string> hookSaw;
    Server::InitializeHook hook = [&hookSaw](ClientInfo info, ClientCapabilities) -> asio::awaitable<void> {
        hookSaw.push_back(info.name);
        if (info.name == "refused") throw MCPError::invalidParams("not you");
        if (info.name == "broken") throw std::runtime_error("hook broke");
        co_return;
    };
    auto replies = h.run([&]() -> asio::awaitable<std::vector<std::string>> {
        co_await h.server->start(h.transport, hook);
        auto refused = co_await h.exchange(initializeRequest(1, "", "refused"));
        auto broken = co_await h.exchange(initializeRequest(2, "", "broken"));
        auto accepted = co_await h.exchange(initializeRequest(3, "", "welcome"));
        co_return std::vector<std::string>{refused, broken, accepted};
    });
    EXPECT_EQ(replies[0], errorReply(1, MCPError::invalidParams("not you")));
    EXPECT_EQ(replies[1], errorReply(2, MCPError::internalError("hook broke")));
    EXPECT_TRUE(json(replies[2]).as_object().contains("result"));
    EXPECT_EQ(hookSaw, (std::vector<std::string>{"refused", "broken", "welcome"}));
    EXPECT_EQ(h.server->clientInfo()->name, "welcome");
}

TEST(ServerInitializeTest, TwoConcurrentHandshakesInitializeOnce) {
    ServerHarness h;
    std::map<std::string, platform::OneShot<void>> gates{{"a", {}}, {"b", {}}};
    platform::OneShot<void> bothInHooks;
    int inHooks = 0;
    Server::InitializeHook hook = [&](ClientInfo info, ClientCapabilities) -> asio::awaitable<void> {
        if (++inHooks == 2) bothInHooks.resume();
        co_await gates.at(info.name).wait();
    };
    auto replies = h.run([&]() -> asio::awaitable<std::vector<std::string>> {
        co_await h.server->start(h.transport, hook);
        h.transport->push(initializeRequest(1, R"("protocolVersion":"2025-06-18",)", "a"));
        h.transport->push(initializeRequest(2, R"("protocolVersion":"2024-11-05",)", "b"));
        co_await bothInHooks.wait();  // both found the server uninitialized
        gates.at("a").resume();
        auto first = co_await h.transport->nextSent();
        gates.at("b").resume();
        auto second = co_await h.transport->nextSent();
        co_return std::vector<std::string>{first, second};
    });
    EXPECT_TRUE(json(replies[0]).as_object().contains("result"));
    EXPECT_EQ(replies[1], errorReply(2, MCPError::invalidRequest("Server is already initialized")));
    EXPECT_EQ(h.server->clientInfo()->name, "a");
    EXPECT_EQ(h.server->protocolVersion(), "2025-06-18");
}

TEST(ServerInitializeTest, AnswersWithTheCapabilitiesOfTheMoment) {
    ServerHarness h;
    auto reply = h.runStarted([&]() -> asio::awaitable<std::string> {
        ServerCapabilities capabilities;
        capabilities.tools = ServerCapabilities::Tools{true};
        capabilities.logging = ServerCapabilities::Logging{};
        h.server->setCapabilities(capabilities);
        co_return co_await h.exchange(initializeRequest(1, ""));
    });
    EXPECT_EQ(text(json(reply).at("result").at("capabilities")), R"({"logging":{},"tools":{"listChanged":true}})");
}

TEST(ServerInitializeTest, PingIsAnsweredBeforeAndAfterTheHandshakeInEveryConfiguration) {
    for (auto configuration : {Server::Configuration::default_, Server::Configuration::strict_}) {
        SCOPED_TRACE(configuration.strict);
        ServerHarness h(configuration);
        auto replies = h.runStarted([&]() -> asio::awaitable<std::vector<std::string>> {
            auto before = co_await h.exchange(R"({"jsonrpc":"2.0","id":1,"method":"ping"})");
            co_await h.exchange(initializeRequest(2, ""));
            auto after = co_await h.exchange(R"({"jsonrpc":"2.0","id":3,"method":"ping","params":null})");
            co_return std::vector<std::string>{before, after};
        });
        EXPECT_EQ(replies[0], R"({"id":1,"jsonrpc":"2.0","result":{}})");
        EXPECT_EQ(replies[1], R"({"id":3,"jsonrpc":"2.0","result":{}})");
    }
}

TEST(ServerInitializeTest, StrictModeLetsOtherRequestsThroughOnlyAfterTheHandshake) {
    ServerHarness h(Server::Configuration::strict_);
    auto replies = h.runStarted([&]() -> asio::awaitable<std::vector<std::string>> {
        auto before = co_await h.exchange(R"({"jsonrpc":"2.0","id":1,"method":"test/echo","params":1})");
        h.transport->push(R"({"jsonrpc":"2.0","method":"notifications/initialized"})");
        auto stillBefore = co_await h.exchange(R"({"jsonrpc":"2.0","id":2,"method":"test/echo","params":2})");
        co_await h.exchange(initializeRequest(3, ""));
        auto after = co_await h.exchange(R"({"jsonrpc":"2.0","id":4,"method":"test/echo","params":4})");
        co_return std::vector<std::string>{before, stillBefore, after};
    });
    EXPECT_EQ(replies[0], errorReply(1, MCPError::invalidRequest("Server is not initialized")));
    EXPECT_EQ(replies[1], errorReply(2, MCPError::invalidRequest("Server is not initialized")));
    EXPECT_EQ(replies[2], R"({"id":4,"jsonrpc":"2.0","result":4})");
}

}  // namespace
}  // namespace mcp::test
