#include "mcp/base/transports/network_transport.hpp"

#include "mcp/base/mcp_error.hpp"
#include "platform/async/cancellation.hpp"
#include "platform/describe.hpp"
#include "support/capturing_log_handler.hpp"
#include "support/loopback_http_server.hpp"
#include "support/run_async.hpp"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <boost/asio/streambuf.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

namespace asio = boost::asio;
using namespace std::chrono_literals;
using mcp::MCPError;
using mcp::NetworkConnection;
using mcp::NetworkTransport;
using testing_support::CapturingLogHandler;
using testing_support::runAsync;
using Heartbeat = NetworkTransport::Heartbeat;
using Kind = mcp::NetworkConnectionState::Kind;
using Level = logging::Level;
using State = mcp::NetworkConnectionState;

const std::string kMagic = "\xF0\x9F\x92\x93";

asio::awaitable<bool> eventually(std::function<bool()> condition) {
    const auto limit = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit) co_return false;
        co_await platform::sleepFor(1ms);
    }
    co_return true;
}

std::string errorOf(std::exception_ptr error) { return error ? platform::describe(error) : ""; }

template <class F>
asio::awaitable<std::exception_ptr> failureOf(F makeAwaitable) {
    try {
        co_await makeAwaitable();
    } catch (...) {
        co_return std::current_exception();
    }
    co_return nullptr;
}

// A connection that plays states from a script and hands reads out as the test delivers them.
// Every completion is posted, as a real connection's would be.
class ScriptedConnection final : public NetworkConnection {
public:
    explicit ScriptedConnection(asio::any_io_executor executor) : executor_(std::move(executor)) {}

    // The states each start reports, one list per start; when they run out, a start reports ready.
    std::deque<std::vector<State>> startScripts;
    std::function<std::optional<std::error_code>(const std::string&)> sendOutcome;
    int starts = 0;
    int cancels = 0;
    std::vector<std::string> sent;
    std::vector<std::size_t> maximumsAsked;

    State state() const override { return state_; }
    void setStateUpdateHandler(StateHandler handler) override { handler_ = std::move(handler); }

    void start() override {
        ++starts;
        std::vector<State> script{{Kind::ready, {}}};
        if (!startScripts.empty()) {
            script = std::move(startScripts.front());
            startScripts.pop_front();
        }
        for (auto state : script) {
            asio::post(executor_, [this, state] {
                state_ = state;
                if (handler_) handler_(state);
            });
        }
    }

    void send(std::string content, SendCompletion completion) override {
        sent.push_back(content);
        auto outcome = sendOutcome ? sendOutcome(content) : std::nullopt;
        asio::post(executor_, [completion = std::move(completion), outcome] { completion(outcome); });
    }

    void receive(std::size_t, std::size_t maximum, ReceiveCompletion completion) override {
        maximumsAsked.push_back(maximum);
        pending_ = std::move(completion);
        flush();
    }

    void cancel() override {
        ++cancels;
        state_ = {Kind::cancelled, {}};
        // What the closed connection had not handed out is gone; a waiting read fails.
        reads_.clear();
        if (pending_) deliverError(std::make_error_code(std::errc::operation_canceled));
    }

    void deliver(std::string bytes) { push({std::move(bytes), false, std::nullopt}); }
    void deliverEmpty() { push({std::string(), false, std::nullopt}); }
    void deliverEnd() { push({std::nullopt, true, std::nullopt}); }
    void deliverError(std::error_code error) { push({std::nullopt, false, error}); }
    void setState(State state) { state_ = state; }
    bool readPending() const { return static_cast<bool>(pending_); }

private:
    struct Read {
        std::optional<std::string> content;
        bool complete;
        std::optional<std::error_code> error;
    };

    void push(Read read) {
        reads_.push_back(std::move(read));
        flush();
    }
    void flush() {
        if (!pending_ || reads_.empty()) return;
        auto completion = std::exchange(pending_, nullptr);
        auto read = std::move(reads_.front());
        reads_.pop_front();
        asio::post(executor_, [completion, read] { completion(read.content, read.complete, read.error); });
    }

    asio::any_io_executor executor_;
    State state_;
    StateHandler handler_;
    ReceiveCompletion pending_;
    std::deque<Read> reads_;
};

State failed(std::errc code) { return {Kind::failed, std::make_error_code(code)}; }

struct Fixture {
    asio::io_context io;
    CapturingLogHandler log;
    std::shared_ptr<ScriptedConnection> connection = std::make_shared<ScriptedConnection>(io.get_executor());

    std::shared_ptr<NetworkTransport> transport(
        NetworkTransport::ReconnectionConfiguration reconnection = NetworkTransport::ReconnectionConfiguration::disabled,
        NetworkTransport::HeartbeatConfiguration heartbeat = NetworkTransport::HeartbeatConfiguration::disabled,
        NetworkTransport::BufferConfiguration buffer = NetworkTransport::BufferConfiguration::defaults) {
        auto made = NetworkTransport::create(connection, log.logger(), heartbeat, reconnection, buffer);
        // Every wait a thousand times shorter.
        made->timing.backoffUnit = 1ms;
        made->timing.firstHeartbeatDelay = 1ms;
        made->timing.heartbeatFailurePause = 2ms;
        made->timing.sendReconnectionDelay = 1ms;
        made->timing.emptyReadPause = 1ms;
        made->timing.intervalUnit = 1ms;
        return made;
    }
};

// --- Values ---

TEST(NetworkTransportHeartbeatTest, EncodesMillisecondsSinceTheReferenceDate) {
    const std::string expected = kMagic + std::string("\x34\x44\x0F\x00\x00\x00\x00\x00", 8);
    Heartbeat heartbeat(1000.5);
    EXPECT_EQ(heartbeat.data(), expected);
    EXPECT_EQ(Heartbeat::from(expected)->timestamp(), 1000.5);
    // Sub-millisecond parts are cut, and equality and hashing follow the frame.
    EXPECT_EQ(Heartbeat(1000.0004), Heartbeat(1000.0));
    EXPECT_EQ(std::hash<Heartbeat>{}(Heartbeat(1000.0004)), std::hash<Heartbeat>{}(Heartbeat(1000.0)));
    EXPECT_EQ(Heartbeat::from(Heartbeat(1000.0004).data())->timestamp(), 1000.0);
    EXPECT_NE(Heartbeat(1000.0), Heartbeat(1000.001));
    // Times the frame cannot carry are clamped, never undefined.
    EXPECT_EQ(Heartbeat(-5).milliseconds(), 0u);
    EXPECT_EQ(Heartbeat(std::nan("")).milliseconds(), 0u);
    EXPECT_EQ(Heartbeat(1e300).milliseconds(), std::numeric_limits<std::uint64_t>::max());
    // Now is some time after 2001.
    EXPECT_GT(Heartbeat().timestamp(), 7e8);
}

TEST(NetworkTransportHeartbeatTest, RecognisesFramesByTheirMagicBytes) {
    const std::string frame = Heartbeat(1000.5).data();
    struct Case {
        std::string name;
        std::string bytes;
        bool isHeartbeat;
        bool decodes;
    };
    const std::vector<Case> cases{
        {"empty", "", false, false},
        {"three magic bytes", kMagic.substr(0, 3), false, false},
        {"json", "{\"a\":1}", false, false},
        {"the magic alone", kMagic, true, false},
        {"eleven bytes", frame.substr(0, 11), true, false},
        {"a wrong fourth byte", std::string("\xF0\x9F\x92\x94") + frame.substr(4), false, false},
        {"a frame", frame, true, true},
        {"a frame and more", frame + "12345678", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Heartbeat::isHeartbeat(c.bytes), c.isHeartbeat);
        auto decoded = Heartbeat::from(c.bytes);
        EXPECT_EQ(decoded.has_value(), c.decodes);
        if (decoded) {
            EXPECT_EQ(decoded->timestamp(), 1000.5);
        }
    }
    EXPECT_EQ(frame.size(), 12u);
    EXPECT_EQ(frame.find('\n'), std::string::npos);
}

TEST(NetworkTransportConfigurationTest, BackoffGrowsByTheMultiplierFromHalfASecond) {
    const std::vector<std::tuple<double, std::int64_t, double>> cases{
        {1.5, 1, 0.5}, {1.5, 2, 0.75}, {1.5, 3, 1.125}, {1.5, 5, 2.53125}, {2.0, 4, 4.0},
        {2.0, 5, 8.0}, {1.0, 9, 0.5},  {2.0, 0, 0.25},  {7.0, 1, 0.5},
    };
    for (auto [multiplier, attempt, seconds] : cases) {
        NetworkTransport::ReconnectionConfiguration config{true, 5, multiplier};
        EXPECT_EQ(config.backoffDelay(attempt), seconds) << multiplier << " ^ " << attempt;
    }
    EXPECT_EQ(NetworkTransport::HeartbeatConfiguration::defaults, (NetworkTransport::HeartbeatConfiguration{true, 15.0}));
    EXPECT_EQ(NetworkTransport::HeartbeatConfiguration::disabled, (NetworkTransport::HeartbeatConfiguration{false, 15.0}));
    EXPECT_EQ(NetworkTransport::ReconnectionConfiguration::defaults,
              (NetworkTransport::ReconnectionConfiguration{true, 5, 1.5}));
    EXPECT_EQ(NetworkTransport::ReconnectionConfiguration::disabled,
              (NetworkTransport::ReconnectionConfiguration{false, 5, 1.5}));
    EXPECT_EQ(NetworkTransport::BufferConfiguration::defaults.maxReceiveBufferSize, 10485760);
    EXPECT_NE(NetworkTransport::BufferConfiguration::unlimited, (NetworkTransport::BufferConfiguration{0}));
    // Hashable, so settings can key a table.
    std::unordered_set<NetworkTransport::ReconnectionConfiguration> seen{
        NetworkTransport::ReconnectionConfiguration::defaults, NetworkTransport::ReconnectionConfiguration{true, 5, 1.5},
        NetworkTransport::ReconnectionConfiguration::disabled};
    EXPECT_EQ(seen.size(), 2u);
}

// --- Connecting ---

TEST(NetworkTransportTest, ConnectRetriesFailedAttemptsAsConfigured) {
    struct Case {
        std::string name;
        NetworkTransport::ReconnectionConfiguration config;
        State failure;
        int expectedStarts;
        int expectedCancels;
        std::string expectedError;
    };
    const std::string refused = std::make_error_code(std::errc::connection_refused).message();
    const std::vector<Case> cases{
        {"disabled", {false, 5, 1.5}, failed(std::errc::connection_refused), 1, 0, refused},
        {"no retries allowed", {true, 0, 1.5}, failed(std::errc::connection_refused), 1, 0, refused},
        {"negative limit", {true, -1, 1.5}, failed(std::errc::connection_refused), 0, 0,
         "Internal error: Failed to connect after 0 attempts"},
        {"three retries", {true, 3, 2.0}, failed(std::errc::connection_refused), 4, 3, refused},
        {"cancelled attempts", {true, 2, 1.0}, {Kind::cancelled, {}}, 3, 2, "Internal error: Connection cancelled"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture fixture;
        for (int i = 0; i < 10; ++i) fixture.connection->startScripts.push_back({{Kind::preparing, {}}, c.failure});
        auto transport = fixture.transport(c.config);
        runAsync(fixture.io, [&]() -> asio::awaitable<void> {
            auto failure = co_await failureOf([&] { return transport->connect(); });
            EXPECT_EQ(errorOf(failure), c.expectedError);
        });
        EXPECT_EQ(fixture.connection->starts, c.expectedStarts);
        EXPECT_EQ(fixture.connection->cancels, c.expectedCancels);
        EXPECT_FALSE(transport->isConnected());
        EXPECT_EQ(fixture.log.countOf(Level::debug), fixture.log.countOf(Level::debug, "Connection preparing...") +
                                                         static_cast<std::size_t>(c.expectedCancels));
    }
}

TEST(NetworkTransportTest, ConnectFollowsTheStatesUntilReady) {
    Fixture fixture;
    fixture.connection->startScripts.push_back({{Kind::preparing, {}},
                                                {Kind::waiting, std::make_error_code(std::errc::network_unreachable)},
                                                {Kind::ready, {}}});
    auto transport = fixture.transport();
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        co_await transport->connect();
        co_await transport->connect();
        EXPECT_TRUE(transport->isConnected());
        EXPECT_EQ(transport->reconnectAttempt(), 0);
        EXPECT_FALSE(transport->hasHeartbeatTask());
        co_await transport->disconnect();
    });
    EXPECT_EQ(fixture.connection->starts, 1);
    EXPECT_EQ(fixture.log.countOf(Level::debug, "Connection preparing..."), 1u);
    EXPECT_EQ(fixture.log.countOf(Level::debug,
                                  "Connection waiting: " + std::make_error_code(std::errc::network_unreachable).message()),
              1u);
    EXPECT_EQ(fixture.log.countOf(Level::debug, "Network transport connected successfully"), 1u);
}

TEST(NetworkTransportTest, ConcurrentConnectsShareOneAttempt) {
    Fixture fixture;
    fixture.connection->startScripts.push_back({{Kind::preparing, {}}, {Kind::ready, {}}});
    auto transport = fixture.transport();
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        auto executor = co_await asio::this_coro::executor;
        auto first = platform::spawn(executor, transport->connect());
        auto second = platform::spawn(executor, transport->connect());
        co_await first.value();
        co_await second.value();
        EXPECT_TRUE(transport->isConnected());
        co_await transport->disconnect();
    });
    EXPECT_EQ(fixture.connection->starts, 1);
}

// --- Sending ---

TEST(NetworkTransportTest, SendWritesTheMessageAndALineFeedAsOneSend) {
    Fixture fixture;
    auto transport = fixture.transport();
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        auto early = co_await failureOf([&] { return transport->send("{}"); });
        EXPECT_EQ(errorOf(early), "Internal error: Transport not connected");
        EXPECT_TRUE(fixture.connection->sent.empty());
        co_await transport->connect();
        co_await transport->send("{}");
        co_await transport->send("");
        co_await transport->disconnect();
    });
    EXPECT_EQ(fixture.connection->sent, (std::vector<std::string>{"{}\n", "\n"}));
}

TEST(NetworkTransportTest, ABrokenConnectionOnSendIsReconnectedOtherFailuresAreOnlyReported) {
    struct Case {
        std::errc error;
        bool reconnectionEnabled;
        bool reconnects;
    };
    const std::vector<Case> cases{
        {std::errc::connection_reset, true, true},
        {std::errc::not_connected, true, true},
        {std::errc::broken_pipe, true, false},
        {std::errc::connection_reset, false, false},
    };
    for (const auto& c : cases) {
        const auto text = std::make_error_code(c.error).message();
        SCOPED_TRACE(text);
        Fixture fixture;
        int failures = 1;
        fixture.connection->sendOutcome = [&](const std::string&) -> std::optional<std::error_code> {
            if (failures-- > 0) return std::make_error_code(c.error);
            return std::nullopt;
        };
        auto transport = fixture.transport({c.reconnectionEnabled, 5, 1.5});
        runAsync(fixture.io, [&]() -> asio::awaitable<void> {
            co_await transport->connect();
            auto failure = co_await failureOf([&] { return transport->send("{}"); });
            EXPECT_EQ(errorOf(failure), "Internal error: Send error: " + text);
            if (c.reconnects) {
                EXPECT_TRUE(co_await eventually([&] { return fixture.connection->starts == 2 && transport->isConnected(); }));
                co_await transport->send("{\"again\":1}");
            }
            co_await transport->disconnect();
        });
        EXPECT_EQ(fixture.log.countOf(Level::error, "Send error: " + text), 1u);
        EXPECT_EQ(fixture.log.countOf(Level::warning, "Connection appears broken, will attempt to reconnect..."),
                  c.reconnects ? 1u : 0u);
        EXPECT_EQ(fixture.connection->starts, c.reconnects ? 2 : 1);
    }
}

// --- Receiving ---

TEST(NetworkTransportTest, LinesAndHeartbeatFramesAreCutFromTheByteStreamWhateverTheReads) {
    const std::string frame = Heartbeat(1000.5).data();
    // A count whose bytes hold a line feed: leaked into the stream, it would cut a message.
    const std::string frameWithLineFeed = Heartbeat(0.01).data();
    ASSERT_NE(frameWithLineFeed.find('\n', 4), std::string::npos);
    struct Case {
        std::string name;
        std::vector<std::string> reads;
        std::vector<std::string> messages;
        std::size_t heartbeats;
    };
    const std::vector<Case> cases{
        {"two messages in one read", {"{\"a\":1}\n{\"b\":2}\n"}, {"{\"a\":1}", "{\"b\":2}"}, 0},
        {"a message over two reads", {"{\"a\"", ":1}\n"}, {"{\"a\":1}"}, 0},
        {"empty lines", {"\n\n"}, {}, 0},
        {"a carriage return stays", {"abc\r\n"}, {"abc\r"}, 0},
        {"a heartbeat alone", {frame}, {}, 1},
        {"a message glued behind a heartbeat", {frame + "{\"a\":1}\n"}, {"{\"a\":1}"}, 1},
        {"a heartbeat after a message in one read", {"{\"a\":1}\n" + frame + "{\"b\":2}\n"}, {"{\"a\":1}", "{\"b\":2}"}, 1},
        {"a heartbeat split across reads", {frameWithLineFeed.substr(0, 4), frameWithLineFeed.substr(4) + "{}\n"}, {"{}"}, 1},
        {"three magic bytes then the rest", {frame.substr(0, 3), frame.substr(3), "{}\n"}, {"{}"}, 1},
        {"magic bytes inside a line are data", {"x" + frame + "\n"}, {"x" + frame}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture fixture;
        auto transport = fixture.transport();
        std::vector<std::string> received;
        runAsync(fixture.io, [&]() -> asio::awaitable<void> {
            co_await transport->connect();
            for (auto& read : c.reads) fixture.connection->deliver(read);
            // A marker line tells that every read before it has been taken.
            fixture.connection->deliver("{\"end\":0}\n");
            auto stream = transport->receive();
            for (;;) {
                auto message = co_await stream.next();
                if (!message || *message == "{\"end\":0}") break;
                received.push_back(*message);
            }
            co_await transport->disconnect();
        });
        EXPECT_EQ(received, c.messages);
        EXPECT_EQ(fixture.log.countOf(Level::trace, "Received heartbeat from peer"), c.heartbeats);
        EXPECT_EQ(fixture.log.countOf(Level::debug, "Message received"), c.messages.size() + 1);
    }
}

TEST(NetworkTransportTest, ReadsAskForTheConfiguredMaximum) {
    for (auto [buffer, maximum] : std::vector<std::pair<NetworkTransport::BufferConfiguration, std::size_t>>{
             {NetworkTransport::BufferConfiguration::defaults, 10485760u},
             {NetworkTransport::BufferConfiguration::unlimited, 9223372036854775807u}}) {
        Fixture fixture;
        auto transport = fixture.transport(NetworkTransport::ReconnectionConfiguration::disabled,
                                           NetworkTransport::HeartbeatConfiguration::disabled, buffer);
        runAsync(fixture.io, [&]() -> asio::awaitable<void> {
            co_await transport->connect();
            EXPECT_TRUE(co_await eventually([&] { return fixture.connection->readPending(); }));
            co_await transport->disconnect();
        });
        ASSERT_FALSE(fixture.connection->maximumsAsked.empty());
        EXPECT_EQ(fixture.connection->maximumsAsked[0], maximum);
    }
}

TEST(NetworkTransportTest, ALineBeyondTheLimitFailsTheStreamInsteadOfGrowingWithoutBound) {
    Fixture fixture;
    auto transport = fixture.transport();
    transport->maxLineBytes = 16;
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        co_await transport->connect();
        fixture.connection->deliver("{\"short\":1}\n");
        fixture.connection->deliver(std::string(10, 'x'));
        fixture.connection->deliver(std::string(10, 'y'));
        auto stream = transport->receive();
        EXPECT_EQ(co_await stream.next(), "{\"short\":1}");
        auto failure = co_await failureOf([&]() -> asio::awaitable<void> { co_await stream.next(); });
        EXPECT_EQ(errorOf(failure), "Internal error: Message too large");
        EXPECT_FALSE(transport->isConnected());
    });
}

TEST(NetworkTransportTest, EmptyReadsAreCountedAndADeadConnectionEndsTheStream) {
    Fixture fixture;
    auto transport = fixture.transport();
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        co_await transport->connect();
        for (int i = 0; i < 4; ++i) fixture.connection->deliverEmpty();
        fixture.connection->deliver("{}\n");
        auto stream = transport->receive();
        EXPECT_EQ(co_await stream.next(), "{}");
        EXPECT_EQ(fixture.log.countOf(Level::warning), 0u);
        for (int i = 0; i < 5; ++i) fixture.connection->deliverEmpty();
        EXPECT_TRUE(co_await eventually(
            [&] { return fixture.log.countOf(Level::warning, "Multiple consecutive empty reads (5), possible connection issue") == 1; }));
        fixture.connection->setState({Kind::failed, std::make_error_code(std::errc::connection_reset)});
        fixture.connection->deliverEmpty();
        auto failure = co_await failureOf([&]() -> asio::awaitable<void> { co_await stream.next(); });
        EXPECT_EQ(errorOf(failure), "Connection closed");
    });
    EXPECT_EQ(fixture.log.countOf(Level::warning, "Multiple consecutive empty reads (6), possible connection issue"), 1u);
    EXPECT_EQ(fixture.log.countOf(Level::warning, "Connection no longer ready, exiting receive loop"), 1u);
}

TEST(NetworkTransportTest, APeerThatClosesEndsTheStreamWhenNoReconnectionIsAllowed) {
    for (auto config : {NetworkTransport::ReconnectionConfiguration::disabled,
                        NetworkTransport::ReconnectionConfiguration{true, 0, 1.5}}) {
        Fixture fixture;
        auto transport = fixture.transport(config);
        runAsync(fixture.io, [&]() -> asio::awaitable<void> {
            co_await transport->connect();
            fixture.connection->deliver("{\"partial\"");
            fixture.connection->deliverEnd();
            auto failure = co_await failureOf([&]() -> asio::awaitable<void> { co_await transport->receive().next(); });
            EXPECT_EQ(errorOf(failure), "Connection closed");
        });
        EXPECT_EQ(fixture.log.countOf(Level::trace, "Connection completed by peer"), 1u);
        EXPECT_EQ(fixture.log.countOf(Level::error, "Receive error: [-32000] Connection closed"), 1u);
        EXPECT_EQ(fixture.connection->starts, 1);
    }
}

TEST(NetworkTransportTest, ALostConnectionIsReconnectedAndTheStreamGoesOn) {
    Fixture fixture;
    auto transport = fixture.transport(NetworkTransport::ReconnectionConfiguration::defaults);
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        co_await transport->connect();
        fixture.connection->deliver("{\"before\":1}\n{\"lost");
        fixture.connection->deliverEnd();
        auto stream = transport->receive();
        EXPECT_EQ(co_await stream.next(), "{\"before\":1}");
        EXPECT_TRUE(co_await eventually([&] { return fixture.connection->starts == 2 && transport->isConnected(); }));
        // The partial line of the lost connection is not glued to the new one's bytes.
        fixture.connection->deliver("{\"after\":2}\n");
        EXPECT_EQ(co_await stream.next(), "{\"after\":2}");
        co_await transport->disconnect();
        EXPECT_EQ(co_await stream.next(), std::nullopt);
    });
    EXPECT_EQ(fixture.log.countOf(Level::warning, "Error during receive, attempting reconnection (1/5)..."), 1u);
    EXPECT_EQ(fixture.connection->cancels, 2);  // before the reconnection, and by disconnect
}

TEST(NetworkTransportTest, AFailedReconnectionEndsTheStreamWithItsError) {
    Fixture fixture;
    auto transport = fixture.transport({true, 1, 1.0});
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        co_await transport->connect();
        for (int i = 0; i < 5; ++i) fixture.connection->startScripts.push_back({failed(std::errc::connection_refused)});
        fixture.connection->deliverEnd();
        auto failure = co_await failureOf([&]() -> asio::awaitable<void> { co_await transport->receive().next(); });
        EXPECT_EQ(errorOf(failure), std::make_error_code(std::errc::connection_refused).message());
        auto sendFailure = co_await failureOf([&] { return transport->send("{}"); });
        EXPECT_EQ(errorOf(sendFailure), "Internal error: Transport not connected");
    });
    // The first start, then the reconnection's attempt and its one retry.
    EXPECT_EQ(fixture.connection->starts, 3);
}

TEST(NetworkTransportTest, DisconnectDuringABackoffWaitStopsTheReconnection) {
    Fixture fixture;
    auto transport = fixture.transport(NetworkTransport::ReconnectionConfiguration::defaults);
    transport->timing.backoffUnit = 1h;
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        co_await transport->connect();
        fixture.connection->deliverEnd();
        EXPECT_TRUE(co_await eventually([&] { return !transport->isConnected(); }));
        co_await transport->disconnect();
        EXPECT_EQ(co_await transport->receive().next(), std::nullopt);
        co_await platform::sleepFor(20ms);
    });
    EXPECT_EQ(fixture.connection->starts, 1);
    EXPECT_TRUE(transport->isStopping());
    EXPECT_EQ(fixture.log.countOf(Level::debug, "Network transport disconnected"), 1u);
}

TEST(NetworkTransportTest, DisconnectEndsTheStreamOnceAndLeavesItEnded) {
    Fixture fixture;
    auto transport = fixture.transport();
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        co_await transport->disconnect();
        EXPECT_EQ(fixture.log.count(), 0u);
        co_await transport->connect();
        fixture.connection->deliver("{}\n");
        auto stream = transport->receive();
        EXPECT_EQ(co_await stream.next(), "{}");
        co_await transport->disconnect();
        co_await transport->disconnect();
        EXPECT_EQ(co_await stream.next(), std::nullopt);
        EXPECT_TRUE(co_await eventually([&] { return fixture.log.countOf("Receive loop stopping normally") == 1; }));
        co_await transport->connect();
        EXPECT_TRUE(transport->isConnected());
        EXPECT_EQ(co_await transport->receive().next(), std::nullopt);
        co_await transport->disconnect();
    });
    EXPECT_EQ(fixture.log.countOf(Level::debug, "Network transport disconnected"), 2u);
    EXPECT_EQ(fixture.connection->starts, 2);
}

// --- Heartbeats ---

TEST(NetworkTransportTest, HeartbeatsGoOutWhileConnectedAndFailuresOnlyPause) {
    Fixture fixture;
    int heartbeatFailures = 1;
    fixture.connection->sendOutcome = [&](const std::string& bytes) -> std::optional<std::error_code> {
        if (Heartbeat::isHeartbeat(bytes) && heartbeatFailures-- > 0) return std::make_error_code(std::errc::broken_pipe);
        return std::nullopt;
    };
    auto transport = fixture.transport(NetworkTransport::ReconnectionConfiguration::disabled, {true, 1.0});
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        co_await transport->connect();
        EXPECT_TRUE(transport->hasHeartbeatTask());
        EXPECT_TRUE(co_await eventually([&] { return fixture.log.countOf("Heartbeat sent") >= 2; }));
        EXPECT_TRUE(transport->isConnected());
        co_await transport->disconnect();
        EXPECT_FALSE(transport->hasHeartbeatTask());
    });
    EXPECT_EQ(fixture.log.countOf(Level::warning,
                                  "Heartbeat failed: " + std::make_error_code(std::errc::broken_pipe).message()),
              1u);
    for (auto& bytes : fixture.connection->sent) {
        ASSERT_EQ(bytes.size(), 12u);
        EXPECT_TRUE(Heartbeat::from(bytes).has_value());
    }
}

// --- Over loopback TCP ---

TEST(NetworkTransportTest, TalksToAPeerOverLoopbackTCP) {
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
    const auto port = acceptor.local_endpoint().port();
    std::string peerReceived;
    // The peer answers the first line with a heartbeat frame glued to its reply, cut across writes.
    auto peer = [&]() -> asio::awaitable<void> {
        auto socket = co_await acceptor.async_accept(asio::use_awaitable);
        asio::streambuf buffer;
        auto n = co_await asio::async_read_until(socket, buffer, '\n', asio::use_awaitable);
        peerReceived.assign(asio::buffers_begin(buffer.data()), asio::buffers_begin(buffer.data()) + n);
        const std::string reply = Heartbeat(1000.5).data() + "{\"reply\":1}\n";
        co_await asio::async_write(socket, asio::buffer(reply.substr(0, 6)), asio::use_awaitable);
        co_await platform::sleepFor(5ms);
        co_await asio::async_write(socket, asio::buffer(reply.substr(6)), asio::use_awaitable);
        co_await platform::sleepFor(5ms);
        socket.close();
    };
    CapturingLogHandler log;
    auto connection = mcp::TcpNetworkConnection::create(io.get_executor(), "127.0.0.1", port);
    auto transport = NetworkTransport::create(connection, log.logger(), NetworkTransport::HeartbeatConfiguration::disabled,
                                              NetworkTransport::ReconnectionConfiguration::disabled);
    runAsync(io, [&]() -> asio::awaitable<void> {
        auto peerTask = platform::spawn(co_await asio::this_coro::executor, peer());
        co_await transport->connect();
        co_await transport->send("{\"hello\":1}");
        auto stream = transport->receive();
        EXPECT_EQ(co_await stream.next(), "{\"reply\":1}");
        // The peer's close ends the stream, reconnection being off.
        auto failure = co_await failureOf([&]() -> asio::awaitable<void> { co_await stream.next(); });
        EXPECT_EQ(errorOf(failure), "Connection closed");
        co_await peerTask.value();
    });
    EXPECT_EQ(peerReceived, "{\"hello\":1}\n");
    EXPECT_EQ(log.countOf(Level::trace, "Received heartbeat from peer"), 1u);
}

TEST(NetworkTransportTest, ARefusedTcpConnectionFailsConnect) {
    asio::io_context io;
    std::uint16_t port;
    {
        asio::ip::tcp::acceptor probe(io, {asio::ip::make_address("127.0.0.1"), 0});
        port = probe.local_endpoint().port();
    }
    auto connection = mcp::TcpNetworkConnection::create(io.get_executor(), "127.0.0.1", port);
    auto transport = NetworkTransport::create(connection, std::nullopt, NetworkTransport::HeartbeatConfiguration::disabled,
                                              {true, 1, 1.0});
    transport->timing.backoffUnit = 1ms;
    runAsync(io, [&]() -> asio::awaitable<void> {
        auto failure = co_await failureOf([&] { return transport->connect(); });
        EXPECT_EQ(errorOf(failure), std::make_error_code(std::errc::connection_refused).message());
    });
    EXPECT_EQ(transport->reconnectAttempt(), 1);
}

TEST(NetworkTransportTest, TalksToAPeerOverTLSOnlyWhenItsCertificateNamesTheHost) {
    for (bool namesTheHost : {true, false}) {
        SCOPED_TRACE(namesTheHost ? "certificate for 127.0.0.1" : "certificate for another host");
        asio::io_context io;
        auto certificate = testing_support::TestCertificate::make(
            {namesTheHost ? "IP:127.0.0.1" : "DNS:elsewhere.example"});
        asio::ssl::context serverContext(asio::ssl::context::tls_server);
        serverContext.use_certificate_chain(asio::buffer(certificate.certificatePem));
        serverContext.use_private_key(asio::buffer(certificate.privateKeyPem), asio::ssl::context::pem);
        asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
        const auto port = acceptor.local_endpoint().port();
        auto peer = [&]() -> asio::awaitable<void> {
            auto socket = co_await acceptor.async_accept(asio::use_awaitable);
            asio::ssl::stream<asio::ip::tcp::socket> stream(std::move(socket), serverContext);
            co_await stream.async_handshake(asio::ssl::stream_base::server, asio::use_awaitable);
            asio::streambuf buffer;
            co_await asio::async_read_until(stream, buffer, '\n', asio::use_awaitable);
            const std::string reply = "{\"secure\":1}\n";
            co_await asio::async_write(stream, asio::buffer(reply), asio::use_awaitable);
        };
        auto connection = mcp::TcpNetworkConnection::create(io.get_executor(), "127.0.0.1", port,
                                                            certificate.clientContext());
        auto transport = NetworkTransport::create(connection, std::nullopt,
                                                  NetworkTransport::HeartbeatConfiguration::disabled,
                                                  NetworkTransport::ReconnectionConfiguration::disabled);
        runAsync(io, [&]() -> asio::awaitable<void> {
            auto peerTask = platform::spawn(co_await asio::this_coro::executor, peer());
            auto failure = co_await failureOf([&] { return transport->connect(); });
            if (!namesTheHost) {
                // The handshake is refused: nothing is sent to a peer that may be anyone.
                EXPECT_NE(failure, nullptr);
                EXPECT_FALSE(transport->isConnected());
                peerTask.cancel();
                co_return;
            }
            EXPECT_EQ(failure, nullptr) << errorOf(failure);
            co_await transport->send("{\"hello\":1}");
            EXPECT_EQ(co_await transport->receive().next(), "{\"secure\":1}");
            co_await transport->disconnect();
            co_await peerTask.value();
        });
    }
}

}  // namespace
