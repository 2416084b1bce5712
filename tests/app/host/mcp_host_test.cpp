#include "host/mcp_host.hpp"

#include "host_harness.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace inkwarden {
namespace {

namespace asio = boost::asio;
using testing::HostHarness;
using testing::RawClient;

/// Answers with what the host read: method, path, headers, body size and body.
MCPHost::Handler echo() {
    return [](mcp::HTTPRequest request, std::string token) -> asio::awaitable<mcp::HTTPResponse> {
        std::string text = request.method + " " + request.path.value_or("-") + " token=" + token + "\n";
        for (const auto& [name, value] : request.headers) text += "[" + name + "]=[" + value + "]\n";
        const auto& body = request.body;
        text += body ? "body " + std::to_string(body->size()) + ":" + body->substr(0, 40) : std::string("no body");
        co_return mcp::HTTPResponse::data(std::move(text));
    };
}

std::string answer(std::string_view body) {
    return "HTTP/1.1 200 OK\r\nX-Inkwarden-Launch: " + MCPHost::launchID() + "\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + std::string(body);
}

TEST(MCPHostTest, ReadsRawRequestsAsTheyArriveOrClosesWithoutAnswer) {
    HostHarness harness({}, echo());
    harness.start();
    const std::string big(4194304, 'b');
    struct Case {
        const char* name;
        std::vector<std::string> pieces;
        std::string expected;  // empty: closed without an answer
    };
    const std::vector<Case> cases = {
        {"WholeInOneSegment", {"POST /mcp HTTP/1.1\r\nHost: a\r\nContent-Length: 2\r\n\r\n{}"},
         answer("POST /mcp token=secret\n[Content-Length]=[2]\n[Host]=[a]\nbody 2:{}")},
        {"SplitAcrossReads", {"PO", "ST /x HTTP/1.1\r", "\ncontent-length:  3 \r", "\n\r", "\na", "bc"},
         answer("POST /x token=secret\n[content-length]=[3]\nbody 3:abc")},
        {"BodyInManySegments", {"POST / HTTP/1.1\r\nCONTENT-LENGTH: 6\r\n\r\n", "ab", "cd", "ef"},
         answer("POST / token=secret\n[CONTENT-LENGTH]=[6]\nbody 6:abcdef")},
        {"TwoBlanksBetweenWords", {"GET  /p   HTTP/1.1\r\n\r\n"}, answer("GET /p token=secret\nno body")},
        {"OneWordRequestLine", {"POST\r\nContent-Length: 0\r\n\r\n"}, ""},
        {"DuplicateHeaderLaterWins", {"POST / HTTP/1.1\r\nX-A: 1\r\nX-A:\t2 \r\nno colon here\r\n\r\n"},
         answer("POST / token=secret\n[X-A]=[2]\nno body")},
        {"InvalidUTF8InHeader", {"POST / HTTP/1.1\r\nX: \xC3\x28\r\n\r\n"}, ""},
        {"UnreadableLengthReadsAsZero", {"POST / HTTP/1.1\r\nContent-Length: 1e3\r\n\r\nxyz"},
         answer("POST / token=secret\n[Content-Length]=[1e3]\nbody 3:xyz")},
        {"BytesBeyondTheLengthStay", {"POST / HTTP/1.1\r\nContent-Length: 1\r\n\r\nxyz"},
         answer("POST / token=secret\n[Content-Length]=[1]\nbody 3:xyz")},
        {"LengthOverTheLimit", {"POST / HTTP/1.1\r\nContent-Length: 4194305\r\n\r\n"}, ""},
        {"LengthAtTheLimit", {"POST / HTTP/1.1\r\nContent-Length: 4194304\r\n\r\n", big},
         answer("POST / token=secret\n[Content-Length]=[4194304]\nbody 4194304:" + big.substr(0, 40))},
        {"HeaderBlockOverTheLimit", {"POST / HTTP/1.1\r\nX: " + std::string(4194304, 'h')}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RawClient client(harness.port());
        for (const auto& piece : c.pieces) {
            client.send(piece);
            std::this_thread::yield();
        }
        // A peer that stops sending without completing its request gets no answer either.
        client.finishSending();
        EXPECT_EQ(client.receiveAll(), c.expected);
    }
}

TEST(MCPHostTest, BareLineFeedsNeverEndTheHeaderBlock) {
    HostHarness harness({}, echo());
    harness.start();
    RawClient client(harness.port());
    client.send("POST / HTTP/1.1\nContent-Length: 2\n\n{}");
    client.finishSending();
    EXPECT_EQ(client.receiveAll(), "");
}

TEST(MCPHostTest, WritesStatusReasonsAndOnlyItsOwnContentLength) {
    struct Case {
        int status;
        const char* line;
    };
    const Case cases[] = {{204, "HTTP/1.1 204 OK"},      {421, "HTTP/1.1 421 Error"},
                          {500, "HTTP/1.1 500 Error"},   {406, "HTTP/1.1 406 Not Acceptable"},
                          {202, "HTTP/1.1 202 Accepted"}, {415, "HTTP/1.1 415 Unsupported Media Type"}};
    std::atomic<int> status = 0;
    HostHarness harness({}, [&](mcp::HTTPRequest, std::string) -> asio::awaitable<mcp::HTTPResponse> {
        if (status == 202) co_return mcp::HTTPResponse::accepted({{"content-LENGTH", "99"}});
        co_return mcp::HTTPResponse::error(status, mcp::MCPError::internalError("x"), std::nullopt,
                                           {{"Content-Length", "1"}, {"X-Extra", "y"}});
    });
    harness.start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        status = c.status;
        auto received = harness.exchangeRaw("POST / HTTP/1.1\r\n\r\n");
        EXPECT_EQ(received.substr(0, received.find("\r\n")), c.line);
        EXPECT_EQ(received.find("Content-Length: 1\r\n"), std::string::npos);
        EXPECT_EQ(received.find("content-LENGTH"), std::string::npos);
        auto body = testing::bodyOf(received);
        EXPECT_NE(received.find("\r\nContent-Length: " + std::to_string(body.size()) +
                                "\r\nConnection: close\r\n\r\n"),
                  std::string::npos);
        EXPECT_NE(received.find("\r\nX-Inkwarden-Launch: " + MCPHost::launchID() + "\r\n"), std::string::npos);
    }
    EXPECT_TRUE(std::regex_match(MCPHost::launchID(), std::regex("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")));
}

TEST(MCPHostTest, ReportsAPortInUseAndRecoversOnRestart) {
    HostHarness harness({}, echo());
    // Someone else holds the port.
    asio::io_context other;
    asio::ip::tcp::acceptor squatter(other, {asio::ip::make_address_v4("127.0.0.1"), harness.port()});
    harness.start();
    auto [running, problem] = harness.main.run([&] { return std::pair{harness.status.running(), harness.status.problem()}; });
    EXPECT_FALSE(running);
    EXPECT_EQ(problem, "Port " + std::to_string(harness.port()) + ": " +
                           boost::system::error_code(asio::error::address_in_use).message());
    squatter.close();
    harness.start();
    auto status = harness.main.run([&] { return std::pair{harness.status.running(), harness.status.problem()}; });
    EXPECT_TRUE(status.first);
    EXPECT_EQ(status.second, std::nullopt);
    EXPECT_NE(harness.exchangeRaw("GET / HTTP/1.1\r\n\r\n"), "");
}

TEST(MCPHostTest, AStoredPortThatIsNoTCPPortIsAProblemWithoutPrefix) {
    HostHarness harness({}, echo());
    testing::storeSettings(R"({"port":70000})");
    harness.start();
    auto problem = harness.main.run([&] { return harness.status.problem(); });
    EXPECT_EQ(problem, "The port 70000 is no valid TCP port.");
}

TEST(MCPHostTest, RestartReadsTheTokenAgain) {
    HostHarness harness({}, echo());
    harness.start();
    EXPECT_NE(harness.exchangeRaw("GET / HTTP/1.1\r\n\r\n").find("token=secret"), std::string::npos);
    AppSettings::setToken("renewed");
    EXPECT_NE(harness.exchangeRaw("GET / HTTP/1.1\r\n\r\n").find("token=secret"), std::string::npos);
    harness.start();
    EXPECT_NE(harness.exchangeRaw("GET / HTTP/1.1\r\n\r\n").find("token=renewed"), std::string::npos);
    EXPECT_TRUE(harness.main.run([&] { return harness.status.running(); }));
}

TEST(MCPHostTest, ClosesAnIdleConnectionWhileServingOthers) {
    MCPHost::Options options;
    options.idleTimeout = std::chrono::milliseconds(300);
    HostHarness harness(options, echo());
    harness.start();
    RawClient idle(harness.port());
    idle.send("POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\nab");
    // Others are answered while the idle one waits.
    for (int i = 0; i < 3; ++i) EXPECT_NE(harness.exchangeRaw("GET / HTTP/1.1\r\n\r\n"), "");
    EXPECT_EQ(idle.receiveAll(), "");  // closed by the host, without an answer
}

TEST(MCPHostTest, AnswersARequestWhoseRestArrivesAfterTheHostHadToWait) {
    HostHarness harness({}, echo());
    harness.start();
    RawClient slow(harness.port());
    slow.send("POST /late HTTP/1.1\r\nContent-Length: 4\r\n\r\nab");
    // Accepted in order: once a later client is answered, the host has read what `slow` sent.
    EXPECT_NE(harness.exchangeRaw("GET / HTTP/1.1\r\n\r\n"), "");
    slow.send("cd");
    EXPECT_EQ(slow.receiveAll(), answer("POST /late token=secret\n[Content-Length]=[4]\nbody 4:abcd"));
}

TEST(MCPHostTest, WritesALargeAnswerWholeOrClosesAReaderThatStalls) {
    // Far more than the loopback buffers hold while the client does not read.
    const std::string big(16 << 20, 'z');
    for (bool stalls : {false, true}) {
        SCOPED_TRACE(stalls ? "Stalls" : "ReadsAll");
        MCPHost::Options options;
        if (stalls) options.idleTimeout = std::chrono::milliseconds(300);
        std::atomic<bool> asked = false;
        HostHarness harness(options, [&](mcp::HTTPRequest, std::string) -> asio::awaitable<mcp::HTTPResponse> {
            asked = true;
            co_return mcp::HTTPResponse::data(big);
        });
        harness.start();
        RawClient client(harness.port());
        client.limitReceiveBuffer(16384);
        client.send("POST / HTTP/1.1\r\n\r\n");
        if (!stalls) {
            const auto received = client.receiveAll();
            EXPECT_EQ(received.size(), answer(big).size());
            EXPECT_TRUE(received == answer(big));
            continue;
        }
        // The host gives up on the answer after the idle time and closes.
        const auto activeConnections = [&] {
            return harness.run([&]() -> asio::awaitable<std::size_t> { co_return harness.host->activeConnections(); });
        };
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while ((!asked || activeConnections() > 0) && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(activeConnections(), 0u);
        EXPECT_LT(client.receiveAll().size(), big.size());
    }
}

TEST(MCPHostTest, ServesThreeHundredClientsAtOnceWithinTheConnectionCap) {
    std::atomic<int> inFlight = 0;
    std::atomic<int> mostInFlight = 0;
    HostHarness harness({}, [&](mcp::HTTPRequest, std::string) -> asio::awaitable<mcp::HTTPResponse> {
        auto now = ++inFlight;
        for (auto seen = mostInFlight.load(); now > seen && !mostInFlight.compare_exchange_weak(seen, now);) {
        }
        // Hold the connection for a while so that many overlap.
        asio::steady_timer pause(co_await asio::this_coro::executor, std::chrono::milliseconds(20));
        co_await pause.async_wait(asio::use_awaitable);
        --inFlight;
        co_return mcp::HTTPResponse::data("ok");
    });
    harness.start();
    constexpr int kClients = 300;
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.push_back(std::make_unique<RawClient>(harness.port()));
        clients.back()->send("POST / HTTP/1.1\r\n\r\n");
    }
    int answered = 0;
    for (auto& client : clients) answered += testing::bodyOf(client->receiveAll()) == "ok";
    EXPECT_EQ(answered, kClients);
    EXPECT_LE(mostInFlight.load(), 256);
    EXPECT_GT(mostInFlight.load(), 1);
}

}  // namespace
}  // namespace inkwarden
