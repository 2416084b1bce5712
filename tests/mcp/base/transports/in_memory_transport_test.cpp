#include "mcp/base/transports/in_memory_transport.hpp"

#include "mcp/base/mcp_error.hpp"
#include "mcp/server/server.hpp"
#include "platform/json/parse.hpp"
#include "support/capturing_log_handler.hpp"
#include "support/run_async.hpp"

#include <boost/asio/io_context.hpp>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mcp {
namespace {

namespace asio = boost::asio;
using testing_support::CapturingLogHandler;
using testing_support::runAsync;

/// Drains what the stream holds now, up to `count` elements, and whether it then ended.
asio::awaitable<std::vector<std::string>> take(platform::AsyncStream<std::string> stream, std::size_t count) {
    std::vector<std::string> got;
    while (got.size() < count) {
        auto next = co_await stream.next();
        if (!next) break;
        got.push_back(std::move(*next));
    }
    co_return got;
}

std::string errorText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    }
}

TEST(InMemoryTransportTest, DeliversInOrderAndQueuesUntilTheReceiverReads) {
    runAsync([]() -> asio::awaitable<void> {
        auto [client, server] = InMemoryTransport::createConnectedPair();
        co_await client->connect();
        co_await server->connect();
        co_await client->send("1");
        co_await client->send("2");
        // Queued before anyone reads, handed out first, then the live ones.
        auto stream = server->receive();
        co_await client->send("3");
        auto got1 = co_await take(stream, 3);
        EXPECT_EQ(got1, (std::vector<std::string>{"1", "2", "3"}));
        co_await server->send("back");
        auto got2 = co_await take(client->receive(), 1);
        EXPECT_EQ(got2, (std::vector<std::string>{"back"}));
        co_await client->disconnect();
    });
}

TEST(InMemoryTransportTest, AMessageToAnUnconnectedPeerIsDroppedWithAWarning) {
    CapturingLogHandler log;
    runAsync([&]() -> asio::awaitable<void> {
        auto [client, server] = InMemoryTransport::createConnectedPair(log.logger());
        co_await client->connect();
        co_await client->send("lost");  // the sender sees success
        EXPECT_EQ(log.countOf(logging::Level::warning, "Received message while disconnected"), 1u);
        co_await server->connect();
        co_await client->send("kept");
        auto got3 = co_await take(server->receive(), 1);
        EXPECT_EQ(got3, (std::vector<std::string>{"kept"}));
        co_await server->disconnect();
    });
}

TEST(InMemoryTransportTest, ReceiveReplacesTheStreamAndEndsAtOnceWhenNotConnected) {
    runAsync([]() -> asio::awaitable<void> {
        auto [client, server] = InMemoryTransport::createConnectedPair();
        // Before connecting: a stream that ends at once.
        auto got4 = co_await take(server->receive(), 1);
        EXPECT_EQ(got4.size(), 0u);
        co_await client->connect();
        co_await server->connect();
        auto first = server->receive();
        co_await client->send("a");
        auto second = server->receive();
        co_await client->send("b");
        auto got5 = co_await take(first, 1);
        EXPECT_EQ(got5, (std::vector<std::string>{"a"}));
        auto got6 = co_await take(second, 1);
        EXPECT_EQ(got6, (std::vector<std::string>{"b"}));
        co_await client->disconnect();
    });
}

TEST(InMemoryTransportTest, DisconnectEndsOwnStreamNormallyAndThePeersWithConnectionClosed) {
    CapturingLogHandler log;
    runAsync([&]() -> asio::awaitable<void> {
        auto [client, server] = InMemoryTransport::createConnectedPair(log.logger());
        co_await client->connect();
        co_await server->connect();
        co_await client->connect();  // harmless
        EXPECT_EQ(log.countOf(logging::Level::debug, "Transport already connected"), 1u);
        auto clientStream = client->receive();
        auto serverStream = server->receive();
        co_await client->disconnect();
        co_await client->disconnect();  // does nothing
        auto clientEnd = co_await clientStream.next();
        EXPECT_EQ(clientEnd, std::nullopt);
        std::exception_ptr failure;
        try {
            co_await serverStream.next();
        } catch (...) {
            failure = std::current_exception();
        }
        EXPECT_TRUE(failure);
        EXPECT_EQ(failure ? errorText(failure) : "", "Connection closed");
        EXPECT_FALSE(server->isConnected());
        EXPECT_EQ(log.countOf(logging::Level::info, "Peer transport disconnected"), 1u);
        EXPECT_EQ(log.countOf(logging::Level::info, "Transport disconnected"), 1u);

        for (const auto& side : {client, server}) {
            try {
                co_await side->send("x");
                ADD_FAILURE() << "send after disconnection";
            } catch (const MCPError& e) {
                EXPECT_EQ(std::string(e.what()), "Internal error: Transport not connected");
            }
        }
        // Still paired: both sides connect again.
        co_await server->connect();
        co_await client->connect();
        co_await client->send("again");
        auto got7 = co_await take(server->receive(), 1);
        EXPECT_EQ(got7, (std::vector<std::string>{"again"}));
        co_await server->disconnect();
    });
}

TEST(InMemoryTransportTest, ALoneTransportCannotConnect) {
    runAsync([]() -> asio::awaitable<void> {
        InMemoryTransport lone;
        try {
            co_await lone.connect();
            ADD_FAILURE() << "connected without a peer";
        } catch (const MCPError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Internal error: Transport not paired. Use createConnectedPair() to create paired transports.");
        }
        EXPECT_EQ(lone.logger().label(), "mcp.transport.in-memory");
    });
}

TEST(InMemoryTransportTest, APairIsFreedOnceItsOwnersDropItAfterDisconnecting) {
    std::weak_ptr<InMemoryTransport> weakClient, weakServer;
    runAsync([&]() -> asio::awaitable<void> {
        auto [client, server] = InMemoryTransport::createConnectedPair();
        EXPECT_EQ(client->logger().label(), "mcp.transport.in-memory.client");
        EXPECT_EQ(server->logger().label(), "mcp.transport.in-memory.server");
        weakClient = client;
        weakServer = server;
        co_await client->connect();
        co_await server->connect();
        co_await server->disconnect();
    });
    EXPECT_TRUE(weakClient.expired());
    EXPECT_TRUE(weakServer.expired());
}

TEST(InMemoryTransportTest, AServerAnswersThroughThePair) {
    runAsync([]() -> asio::awaitable<void> {
        auto [client, serverSide] = InMemoryTransport::createConnectedPair();
        auto server = Server::create("memory-test", "1.0");
        co_await server->start(serverSide);
        co_await client->connect();
        auto replies = client->receive();
        co_await client->send(R"({"jsonrpc":"2.0","id":1,"method":"ping"})");
        co_await client->send(R"({"jsonrpc":"2.0","id":"two","method":"ping"})");
        // Each request runs in a task of its own, so the answers may come in either order.
        std::vector<boost::json::value> answers;
        auto texts = co_await take(replies, 2);
        for (const auto& text : texts) answers.push_back(platform::json::parse(text));
        std::vector<boost::json::value> expected{platform::json::parse(R"({"jsonrpc":"2.0","id":1,"result":{}})"),
                                                 platform::json::parse(R"({"jsonrpc":"2.0","id":"two","result":{}})")};
        if (answers.size() == 2 && answers[0] != expected[0]) std::swap(answers[0], answers[1]);
        EXPECT_EQ(answers, expected);
        co_await client->disconnect();
        co_await server->waitUntilCompleted();
        co_await server->stop();
    });
}

}  // namespace
}  // namespace mcp
