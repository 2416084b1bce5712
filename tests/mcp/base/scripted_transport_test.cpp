#include "support/scripted_transport.hpp"

#include "mcp/base/mcp_error.hpp"
#include "support/run_async.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace testing_support {
namespace {

namespace asio = boost::asio;
using Event = ScriptedTransport::Event;

// Reads the stream to its end; an error ends the list with "error: <what>".
asio::awaitable<std::vector<std::string>> drain(platform::AsyncStream<std::string> stream) {
    std::vector<std::string> elements;
    try {
        while (true) {
            auto element = co_await stream.next();
            if (!element) break;
            elements.push_back(std::move(*element));
        }
    } catch (const std::exception& e) {
        elements.push_back(std::string("error: ") + e.what());
    }
    co_return elements;
}

TEST(ScriptedTransportTest, FeedsScriptedChunksThroughOneStream) {
    auto transport = std::make_shared<ScriptedTransport>(std::vector<std::string>{"a", "b"});
    auto elements = runAsync([transport]() -> asio::awaitable<std::vector<std::string>> {
        co_await transport->connect();
        auto first = transport->receive();
        auto second = transport->receive();
        auto element = co_await first.next();
        EXPECT_EQ(element, "a");
        transport->push("c");
        transport->finish();
        auto rest = co_await drain(second);
        co_return rest;
    });
    EXPECT_EQ(elements, (std::vector<std::string>{"b", "c"}));
}

TEST(ScriptedTransportTest, EndsTheStreamWithAnError) {
    ScriptedTransport transport({"a"});
    transport.finish(std::make_exception_ptr(std::runtime_error("lost")));
    auto elements = runAsync([&]() -> asio::awaitable<std::vector<std::string>> {
        auto all = co_await drain(transport.receive());
        co_return all;
    });
    EXPECT_EQ(elements, (std::vector<std::string>{"a", "error: lost"}));
}

TEST(ScriptedTransportTest, FailsConnectOnRequest) {
    ScriptedTransport transport;
    transport.failConnect(std::make_exception_ptr(mcp::MCPError::connectionClosed()));
    EXPECT_THROW(runAsync([&]() -> asio::awaitable<void> { co_await transport.connect(); }), mcp::MCPError);
    EXPECT_FALSE(transport.isConnected());
}

TEST(ScriptedTransportTest, FailsSendsOnRequestAndRecordsTheOthers) {
    ScriptedTransport transport;
    transport.failNextSend(ScriptedTransport::wouldBlockError());
    transport.failSendsWhen([](std::string_view data) -> std::exception_ptr {
        if (data == "bad") return std::make_exception_ptr(std::runtime_error("refused"));
        return nullptr;
    });
    const std::vector<std::string> inputs{"first", "second", "bad", "third"};
    auto outcomes = runAsync([&]() -> asio::awaitable<std::vector<std::string>> {
        std::vector<std::string> results;
        for (const auto& data : inputs) {
            try {
                co_await transport.send(data);
                results.push_back("sent");
            } catch (...) {
                results.push_back(mcp::MCPError::isResourceTemporarilyUnavailable(std::current_exception())
                                      ? "would block"
                                      : "failed");
            }
        }
        auto next = co_await transport.nextSent();
        EXPECT_EQ(next, "second");
        co_return results;
    });
    EXPECT_EQ(outcomes, (std::vector<std::string>{"would block", "sent", "failed", "sent"}));
    EXPECT_EQ(transport.sent(), (std::vector<std::string>{"second", "third"}));
    EXPECT_EQ(transport.sendAttempts(), 4u);
}

TEST(ScriptedTransportTest, DisconnectEndsTheStreamUnlessToldOtherwise) {
    ScriptedTransport transport({"a"});
    auto elements = runAsync([&]() -> asio::awaitable<std::vector<std::string>> {
        co_await transport.connect();
        auto stream = transport.receive();
        co_await transport.disconnect();
        auto all = co_await drain(stream);
        co_return all;
    });
    EXPECT_EQ(elements, std::vector<std::string>{"a"});
    EXPECT_EQ(transport.events(), (std::vector<Event>{Event::connect, Event::receive, Event::disconnect}));

    ScriptedTransport open;
    open.setFinishOnDisconnect(false);
    runAsync([&]() -> asio::awaitable<void> { co_await open.disconnect(); });
    EXPECT_FALSE(open.receive().isFinished());
}

TEST(ScriptedTransportTest, WaitsForTheNextSend) {
    auto transport = std::make_shared<ScriptedTransport>();
    auto sent = runAsync([transport]() -> asio::awaitable<std::string> {
        auto executor = co_await asio::this_coro::executor;
        platform::spawn(executor, [](std::shared_ptr<ScriptedTransport> t) -> asio::awaitable<void> {
            co_await t->send("later");
        }(transport));
        auto data = co_await transport->nextSent();
        co_return data;
    });
    EXPECT_EQ(sent, "later");
}

}  // namespace
}  // namespace testing_support
