#include "mcp/client/client.hpp"

#include "client_harness.hpp"
#include "mcp/client/detail/protocol_version_receiving.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace mcp::test {
namespace {

using logging::Level;
using Event = testing_support::ScriptedTransport::Event;

TEST(ClientHandshakeTest, AdoptsWhateverVersionTheServerAnswersAndStoresNothingOnFailure) {
    struct Case {
        const char* name;
        std::string result;
        std::optional<std::string> error;
        std::string connectOutcome;
        std::optional<std::string> serverVersion;
    };
    const std::string methodNotFound = R"({"code":-32601,"message":"Method not found"})";
    const Case cases[] = {
        {"Latest", kInitializeResult, std::nullopt, "ok", "2025-11-25"},
        {"Older",
         R"({"protocolVersion":"2024-11-05","capabilities":{},"serverInfo":{"name":"s","version":"1"},"instructions":"Be kind"})",
         std::nullopt, "ok", "2024-11-05"},
        {"Unknown", R"({"protocolVersion":"1999-01-01","capabilities":{},"serverInfo":{"name":"s","version":"1"}})",
         std::nullopt, "ok", "1999-01-01"},
        {"ErrorResponse", "", methodNotFound, MCPError::fromJSON(json(methodNotFound)).errorDescription(), std::nullopt},
        {"ResultThatDoesNotRead", R"({"protocolVersion":"2025-11-25","serverInfo":{"name":"s","version":"1"}})",
         std::nullopt, "type mismatch", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClientHarness h;
        auto request = h.startConnect(c.result, c.error);
        ASSERT_TRUE(h.connectTask->isFinished());
        auto got = outcome(*h.connectTask);
        EXPECT_EQ(got.substr(0, c.connectOutcome.size()), c.connectOutcome) << got;
        EXPECT_EQ(h.client->serverVersion(), c.serverVersion);
        // The handshake ends with "notifications/initialized" only when it succeeded.
        const auto& sent = h.transport->sent();
        ASSERT_EQ(sent.size(), c.serverVersion ? 2u : 1u);
        EXPECT_EQ(methodOf(request), "initialize");
        if (c.serverVersion) {
            EXPECT_EQ(sent[1], R"({"jsonrpc":"2.0","method":"notifications\/initialized"})");
            EXPECT_TRUE(h.client->serverCapabilities().has_value());
        } else {
            EXPECT_FALSE(h.client->serverCapabilities().has_value());
            EXPECT_FALSE(h.client->instructions().has_value());
            // The connection and the loop stay after a failed handshake.
            EXPECT_EQ(h.client->connection(), h.transport);
        }
    }
}

TEST(ClientHandshakeTest, SendsItsIdentityWithDefaultWriterOptionsAndAFreshUppercaseId) {
    Client::Capabilities capabilities;
    capabilities.roots = Client::Capabilities::Roots{true};
    ClientHarness h(Client::Configuration::default_, capabilities);
    // Registering an answer for the server's sampling or roots requests declares nothing.
    h.client->withRootsHandler([]() -> asio::awaitable<std::vector<Root>> { co_return std::vector<Root>{}; });
    auto request = h.startConnect();
    auto id = json(request).at("id");
    ASSERT_TRUE(id.is_string());
    std::string idText(id.as_string());
    EXPECT_EQ(idText.size(), 36u);
    for (char c : idText) EXPECT_TRUE(c == '-' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << idText;
    EXPECT_EQ(request, R"({"jsonrpc":"2.0","id":")" + idText +
                           R"(","method":"initialize","params":{"protocolVersion":"2025-11-25",)"
                           R"("capabilities":{"roots":{"listChanged":true}},)"
                           R"("clientInfo":{"name":"test-client","title":"Test Client","version":"0.9"}}})");
}

TEST(ClientHandshakeTest, ASecondHandshakeOverwritesWhatTheFirstStoredInstructionsIncluded) {
    ClientHarness h;
    h.startConnect(
        R"({"protocolVersion":"2025-06-18","capabilities":{"logging":{}},"serverInfo":{"name":"s","version":"1"},"instructions":"Use tools"})");
    h.settle();
    EXPECT_EQ(h.client->instructions(), "Use tools");
    auto second = platform::spawn(h.io.get_executor(), h.client->initialize());
    auto request = h.run([&]() -> asio::awaitable<std::string> {
        (void)co_await h.transport->nextSent();  // the first handshake's notification
        co_return co_await h.transport->nextSent();
    });
    EXPECT_NE(idOf(request), idOf(h.transport->sent().front()));
    h.transport->push(resultFor(request, kInitializeResult));
    h.settle();
    EXPECT_EQ(outcome(second).substr(0, 2), "ok");
    EXPECT_FALSE(h.client->instructions().has_value());
    EXPECT_EQ(h.client->serverVersion(), "2025-11-25");
    EXPECT_TRUE(h.client->serverCapabilities()->tools.has_value());
    EXPECT_FALSE(h.client->serverCapabilities()->logging.has_value());
}

/// A scripted transport that also takes the negotiated version, as an HTTP client transport does.
class VersionedTransport final : public Transport, public ProtocolVersionReceiving {
public:
    std::shared_ptr<testing_support::ScriptedTransport> inner = std::make_shared<testing_support::ScriptedTransport>();
    std::vector<std::string> versions;

    logging::Logger logger() const override { return inner->logger(); }
    asio::awaitable<void> connect() override { return inner->connect(); }
    asio::awaitable<void> disconnect() override { return inner->disconnect(); }
    asio::awaitable<void> send(std::string data) override { return inner->send(std::move(data)); }
    platform::AsyncStream<std::string> receive() override { return inner->receive(); }
    asio::awaitable<void> setProtocolVersion(std::string version) override {
        versions.push_back(std::move(version));
        co_return;
    }
};

TEST(ClientHandshakeTest, HandsTheAnsweredVersionToATransportThatCarriesIt) {
    asio::io_context io;
    auto transport = std::make_shared<VersionedTransport>();
    auto client = Client::create("c", "1");
    auto connect = platform::spawn(io.get_executor(), client->connect(transport));
    testing_support::runAsync(io, [&]() -> asio::awaitable<void> {
        auto request = co_await transport->inner->nextSent();
        transport->inner->push(resultFor(
            request, R"({"protocolVersion":"2030-01-01","capabilities":{},"serverInfo":{"name":"s","version":"1"}})"));
        co_await connect.value();
        co_await client->disconnect();
    });
    EXPECT_EQ(transport->versions, std::vector<std::string>{"2030-01-01"});
}

TEST(ClientHandshakeTest, AFailedInitializedNotificationFailsConnectButKeepsWhatWasStored) {
    ClientHarness h;
    h.transport->failSendsWhen([](std::string_view data) -> std::exception_ptr {
        if (data.find(R"(initialized")") == std::string_view::npos) return nullptr;
        return std::make_exception_ptr(std::runtime_error("pipe closed"));
    });
    h.startConnect();
    EXPECT_EQ(outcome(*h.connectTask), "pipe closed");
    EXPECT_EQ(h.client->serverVersion(), "2025-11-25");
}

TEST(ClientLifecycleTest, AFailingTransportConnectStartsNothingAndLaterDisconnectStillClosesIt) {
    ClientHarness h;
    h.transport->failConnect(std::make_exception_ptr(std::runtime_error("refused")));
    auto error = h.run([&]() -> asio::awaitable<std::string> {
        try {
            co_await h.client->connect(h.transport);
        } catch (const std::exception& e) {
            co_return e.what();
        }
        co_return "no error";
    });
    EXPECT_EQ(error, "refused");
    EXPECT_EQ(h.client->connection(), h.transport);
    EXPECT_EQ(h.transport->events(), std::vector<Event>{Event::connect});
    h.run([&]() -> asio::awaitable<void> { co_await h.client->disconnect(); });
    EXPECT_EQ(h.transport->events(), (std::vector<Event>{Event::connect, Event::disconnect}));
    EXPECT_EQ(h.client->connection(), nullptr);
}

TEST(ClientLifecycleTest, DisconnectFailsEveryWaiterBeforeClosingTheTransportAndLogsEachStep) {
    ClientHarness h;
    h.connect();
    std::vector<platform::Task<Value>> tasks;
    for (int i = 0; i < 3; ++i) tasks.push_back(h.request(Echo::request(ID(i), Value(i))).first);
    h.run([&]() -> asio::awaitable<void> { co_await h.client->disconnect(); });
    for (const auto& task : tasks) EXPECT_EQ(outcome(task), "Internal error: Client disconnected");
    EXPECT_EQ(h.client->connection(), nullptr);
    EXPECT_FALSE(h.transport->isConnected());

    std::vector<std::string> lines;
    for (const auto& event : h.logs.events()) {
        if (event.level == Level::debug) lines.push_back(event.message);
    }
    // The loop's own closing line finds no connection any more, so it is dropped.
    EXPECT_EQ(lines, (std::vector<std::string>{"Initiating client disconnect...", "Pending requests cancelled.",
                                               "Message loop task cancellation requested.", "Transport disconnected.",
                                               "Client message loop task finished.", "Client disconnect complete."}));
    // What the handshake stored stays; the client connects again and adds a second cancellation
    // handler, which finds nothing once the first has taken the waiter.
    EXPECT_EQ(h.client->serverVersion(), "2025-11-25");
    h.transport = std::make_shared<testing_support::ScriptedTransport>();
    h.transport->setLogger(h.logs.logger());
    h.connect();
    auto [task, text] = h.request(Echo::request("again", Value(1)));
    h.transport->push(R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":"again"}})");
    h.settle();
    EXPECT_EQ(outcome(task), "cancelled");
    EXPECT_EQ(h.logs.countOf(Level::debug, "Received cancellation notification"), 2u);
}

TEST(ClientLifecycleTest, DisconnectOfANewClientDoesNothing) {
    asio::io_context io;
    auto client = Client::create("c", "1");
    testing_support::runAsync(io, [&]() -> asio::awaitable<void> { co_await client->disconnect(); });
    EXPECT_EQ(client->connection(), nullptr);
}

TEST(ClientLoopTest, WarnsAboutWhatIsNoResponseRequestOrNotificationAndReadsOn) {
    ClientHarness h;
    h.connect();
    const std::string unexpected = "Unexpected message received by client (not single/batch response or notification)";
    h.transport->push(R"([{"jsonrpc":"2.0","id":1,"method":"ping"}])");
    h.transport->push("{not json");
    h.transport->push(std::string("\xff\xfe", 2));
    h.transport->push(R"({"jsonrpc":"1.0","id":1,"result":{}})");
    h.transport->push("[]");  // an empty batch of responses
    auto [task, text] = h.request(Echo::request(5, Value("x")));
    h.transport->push(R"({"jsonrpc":"2.0","id":5,"result":"done"})");
    h.settle();
    EXPECT_EQ(outcome(task), R"(ok "done")");
    auto warnings = h.logs.events(Level::warning, unexpected);
    ASSERT_EQ(warnings.size(), 4u) << h.logs.dump();
    EXPECT_EQ(warnings[0].metadataText("message"), R"([{"jsonrpc":"2.0","id":1,"method":"ping"}])");
    EXPECT_EQ(warnings[1].metadataText("message"), "{not json");
    EXPECT_FALSE(warnings[2].metadataText("message").has_value());
    EXPECT_EQ(h.logs.first(Level::trace, "Processing batch response")->metadataText("count"), "0");
}

TEST(ClientLoopTest, AWouldBlockErrorStartsANewPassAndAnyOtherErrorEndsTheLoop) {
    {
        ClientHarness h;
        h.connect();
        h.transport->finish(testing_support::ScriptedTransport::wouldBlockError());
        // The pass after the pause finds the stream ended and yielding nothing, which ends the loop.
        const std::string terminating = "Client message handling loop task is terminating.";
        ASSERT_TRUE(h.runUntil([&] { return h.logs.countOf(Level::debug, terminating) == 1; }));
        std::size_t receives = 0;
        for (auto event : h.transport->events()) receives += event == Event::receive;
        EXPECT_EQ(receives, 2u);
        EXPECT_EQ(h.logs.countOf(Level::error), 0u) << h.logs.dump();
    }
    {
        ClientHarness h;
        h.connect();
        h.transport->finish(std::make_exception_ptr(std::runtime_error("broken pipe")));
        h.settle();
        auto error = h.logs.first(Level::error, "Error in message handling loop");
        ASSERT_TRUE(error.has_value()) << h.logs.dump();
        EXPECT_EQ(error->metadataText("error"), "broken pipe");
        EXPECT_EQ(h.logs.countOf(Level::debug, "Client message handling loop task is terminating."), 1u);
        // Still "connected" until disconnect.
        EXPECT_EQ(h.client->connection(), h.transport);
    }
}

/// A transport that hands out a new stream on every call, as a channel that reopens would: the
/// streams below in turn, made up front so that the test can fill them at any time.
class ReopeningTransport final : public Transport {
public:
    std::vector<platform::AsyncStream<std::string>> streams{3};
    std::size_t receives = 0;
    std::shared_ptr<testing_support::ScriptedTransport> sink = std::make_shared<testing_support::ScriptedTransport>();

    logging::Logger logger() const override { return sink->logger(); }
    asio::awaitable<void> connect() override { co_return; }
    asio::awaitable<void> disconnect() override {
        for (auto& stream : streams) stream.finish();
        co_return;
    }
    asio::awaitable<void> send(std::string data) override { return sink->send(std::move(data)); }
    platform::AsyncStream<std::string> receive() override {
        if (receives == streams.size()) streams.emplace_back();
        return streams[receives++];
    }
};

TEST(ClientLoopTest, AStreamThatEndsAfterMessagesIsAskedForAgainAndAnEmptyPassEndsTheLoop) {
    asio::io_context io;
    auto transport = std::make_shared<ReopeningTransport>();
    testing_support::CapturingLogHandler logs;
    transport->sink->setLogger(logs.logger());
    auto client = Client::create("c", "1");
    auto connect = platform::spawn(io.get_executor(), client->connect(transport));
    testing_support::runAsync(io, [&]() -> asio::awaitable<void> {
        auto request = co_await transport->sink->nextSent();
        transport->streams.at(0).yield(resultFor(request, kInitializeResult));
        transport->streams.at(0).finish();
        co_await connect.value();
        // The second pass reads the second stream.
        auto context = client->send(Echo::request(1, Value("a")));
        transport->streams.at(1).yield(R"({"jsonrpc":"2.0","id":1,"result":"b"})");
        auto value = co_await context.value();
        EXPECT_EQ(value, Value("b"));
        transport->streams.at(1).finish();
    });
    io.restart();
    io.poll();
    ASSERT_EQ(transport->receives, 3u);
    EXPECT_EQ(logs.countOf(Level::debug, "Client message handling loop task is terminating."), 0u);
    // The third pass yields nothing: the loop ends rather than asking again without end.
    transport->streams.at(2).finish();
    io.restart();
    io.poll();
    EXPECT_EQ(transport->receives, 3u);
    EXPECT_EQ(logs.countOf(Level::debug, "Client message handling loop task is terminating."), 1u);
    testing_support::runAsync(io, [&]() -> asio::awaitable<void> { co_await client->disconnect(); });
}

}  // namespace
}  // namespace mcp::test
