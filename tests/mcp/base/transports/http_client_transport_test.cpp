#include "mcp/base/transports/http_client_transport.hpp"

#include "platform/async/cancellation.hpp"
#include "platform/describe.hpp"
#include "support/capturing_log_handler.hpp"
#include "support/loopback_http_server.hpp"
#include "support/eventually.hpp"
#include "support/run_async.hpp"

#include <boost/asio/io_context.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace asio = boost::asio;
using namespace std::chrono_literals;
using mcp::HTTPClientTransport;
using mcp::MCPError;
using platform::http::Headers;
using testing_support::CapturingLogHandler;
using testing_support::LoopbackHttpServer;
using testing_support::RecordedRequest;
using testing_support::eventually;
using testing_support::runAsync;
using Exchange = std::shared_ptr<LoopbackHttpServer::Exchange>;
using Level = logging::Level;

constexpr std::string_view kRequest = R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})";
constexpr std::string_view kResponse = R"({"jsonrpc":"2.0","id":1,"result":{}})";

asio::awaitable<void> stall() { co_await platform::sleepFor(1h); }

// The message the transport's stream gives next, or a failure after ten seconds.
asio::awaitable<std::optional<std::string>> nextMessage(platform::AsyncStream<std::string> stream) {
    auto task = platform::spawn(co_await asio::this_coro::executor, stream.next());
    bool finished = co_await eventually([&] { return task.isFinished(); });
    if (!finished) {
        task.cancel();
        throw std::runtime_error("no message arrived");
    }
    co_return task.get();
}

std::string errorOf(std::exception_ptr error) { return platform::describe(error); }

std::vector<RecordedRequest> requestsWithMethod(const LoopbackHttpServer& server, std::string_view method) {
    std::vector<RecordedRequest> found;
    for (auto& request : server.requests())
        if (request.method == method) found.push_back(request);
    return found;
}

struct Fixture {
    asio::io_context io;
    CapturingLogHandler log;
    std::unique_ptr<LoopbackHttpServer> server;

    explicit Fixture(LoopbackHttpServer::Handler handler)
        : server(std::make_unique<LoopbackHttpServer>(io.get_executor(), std::move(handler))) {}

    std::shared_ptr<HTTPClientTransport> transport(HTTPClientTransport::Options options = HTTPClientTransport::Options()) {
        options.logger = log.logger();
        return HTTPClientTransport::create(io.get_executor(), boost::urls::url(server->url("/mcp")), std::move(options));
    }

    static HTTPClientTransport::Options withoutStreaming() {
        HTTPClientTransport::Options options;
        options.streaming = false;
        return options;
    }
};

// --- Statuses and replies ---

struct StatusCase {
    int status;
    Headers headers;
    bool streaming;
    bool sessionKnown;
    std::string expected;
};

TEST(HTTPClientTransportTest, RefusedStatusesBecomeTheirFixedErrors) {
    const std::vector<StatusCase> cases{
        {400, {}, false, false, "Internal error: Bad request"},
        {401, {}, false, false, "Internal error: Authentication required"},
        {403, {}, false, false, "Internal error: Access forbidden"},
        {404, {}, false, false, "Internal error: Endpoint not found"},
        {404, {}, false, true, "Internal error: Session expired"},
        {405, {}, false, false, "Internal error: Method not allowed"},
        {405, {}, true, false, "Internal error: Server does not support streaming"},
        {408, {}, false, false, "Internal error: Request timeout"},
        {429, {}, false, false, "Internal error: Too many requests"},
        {503, {}, false, false, "Internal error: Server error: 503"},
        // Redirects are never followed, so they reach the table as they are.
        {302, {{"Content-Type", "text/html"}, {"Location", "/elsewhere"}}, false, false,
         "Internal error: Unexpected HTTP response: 302 (text/html)"},
        {418, {}, false, false, "Internal error: Unexpected HTTP response: 418 ()"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected + " for " + std::to_string(c.status));
        int posts = 0;
        Fixture fixture([&](Exchange exchange) -> asio::awaitable<void> {
            if (exchange->request().method == "GET") {
                co_await exchange->respond(405, Headers(), std::string());
                co_return;
            }
            // With a session to lose, the first reply opens it.
            if (c.sessionKnown && posts++ == 0) {
                Headers replyHeaders{{"Content-Type", "application/json"}, {"MCP-Session-Id", "s1"}};
                co_await exchange->respond(200, replyHeaders, std::string(kResponse));
                co_return;
            }
            co_await exchange->respond(c.status, c.headers, std::string("refused"));
        });
        HTTPClientTransport::Options options;
        options.streaming = c.streaming;
        options.sseInitializationTimeout = 0;
        auto transport = fixture.transport(options);
        runAsync(fixture.io, [&]() -> asio::awaitable<void> {
            co_await transport->connect();
            if (c.sessionKnown) co_await transport->send(std::string(kRequest));
            std::exception_ptr failure;
            try {
                co_await transport->send(std::string(kRequest));
            } catch (...) {
                failure = std::current_exception();
            }
            EXPECT_EQ(errorOf(failure), c.expected);
            if (c.sessionKnown) {
                EXPECT_EQ(transport->sessionID(), std::nullopt);
                EXPECT_EQ(fixture.log.countOf(Level::warning, "Session has expired"), 1u);
            }
            co_await transport->disconnect();
        });
    }
}

TEST(HTTPClientTransportTest, RepliesBecomeMessagesByTheirMediaType) {
    struct Case {
        std::string name;
        int status;
        std::string contentType;
        std::string body;
        std::vector<std::string> messages;
    };
    const std::string second = R"({"jsonrpc":"2.0","method":"notifications/progress"})";
    const std::vector<Case> cases{
        {"json with a character set", 200, "application/json; charset=utf-8", std::string(kResponse),
         {std::string(kResponse)}},
        {"empty json", 200, "application/json", "", {""}},
        // Media types are case-insensitive.
        {"json in capitals", 200, "Application/JSON", std::string(kResponse), {std::string(kResponse)}},
        {"event stream", 200, "text/event-stream",
         "event: message\ndata: " + second + "\n\nid: 7\ndata: " + std::string(kResponse) + "\n\n",
         {second, std::string(kResponse)}},
        {"event stream in capitals", 200, "Text/Event-Stream", "data: " + second + "\n\n", {second}},
        {"accepted without a body", 202, "", "", {}},
        {"plain text", 200, "text/plain", "hello", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture fixture([&](Exchange exchange) -> asio::awaitable<void> {
            Headers headers;
            if (!c.contentType.empty()) headers.set("Content-Type", c.contentType);
            co_await exchange->respond(c.status, headers, c.body);
        });
        auto transport = fixture.transport(Fixture::withoutStreaming());
        runAsync(fixture.io, [&]() -> asio::awaitable<void> {
            co_await transport->connect();
            co_await transport->send(std::string(kRequest));
            co_await transport->disconnect();
            std::vector<std::string> received;
            auto stream = transport->receive();
            while (auto message = co_await stream.next()) received.push_back(*message);
            EXPECT_EQ(received, c.messages);
        });
        if (c.messages.empty()) {
            EXPECT_EQ(fixture.log.countOf(Level::warning, "Unexpected content type: " + c.contentType), 1u);
        }
    }
}

TEST(HTTPClientTransportTest, AnEventStreamReplyHoldsTheSendUntilTheServerEndsIt) {
    bool ended = false;
    Fixture fixture([&](Exchange exchange) -> asio::awaitable<void> {
        Headers replyHeaders{{"Content-Type", "text/event-stream"}};
        co_await exchange->startStream(200, replyHeaders);
        co_await exchange->sendChunk(std::string("data: {\"first\":1}\n\n"));
        co_await platform::sleepFor(50ms);
        ended = true;
        co_await exchange->sendChunk(std::string("data: {\"second\":2}\n\n"));
        co_await exchange->endStream();
    });
    auto transport = fixture.transport(Fixture::withoutStreaming());
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        co_await transport->connect();
        co_await transport->send(std::string(kRequest));
        EXPECT_TRUE(ended);
        auto stream = transport->receive();
        EXPECT_EQ(co_await stream.next(), "{\"first\":1}");
        EXPECT_EQ(co_await stream.next(), "{\"second\":2}");
        co_await transport->disconnect();
    });
}

TEST(HTTPClientTransportTest, CarriesTheSessionIDAndProtocolVersionOfTheMomentInEveryPost) {
    int posts = 0;
    Fixture fixture([&](Exchange exchange) -> asio::awaitable<void> {
        ++posts;
        if (posts == 4) {
            // The session ends: the next request must go without it.
            co_await exchange->respond(404, Headers(), std::string());
            co_return;
        }
        // The header's name in lower case is still the session id.
        Headers replyHeaders{{"Content-Type", "application/json"}, {"mcp-session-id", "session-1"}};
        co_await exchange->respond(200, replyHeaders, std::string(kResponse));
    });
    HTTPClientTransport::Options options = Fixture::withoutStreaming();
    options.protocolVersion = "2025-03-26";
    auto transport = fixture.transport(options);
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        co_await transport->connect();
        co_await transport->send(std::string(kRequest));
        co_await transport->setProtocolVersion(std::string("2025-06-18"));
        co_await transport->send(std::string(kRequest));
        transport->assignProtocolVersion(std::nullopt);
        co_await transport->send(std::string(kRequest));
        std::exception_ptr failure;
        try {
            co_await transport->send(std::string(kRequest));
        } catch (...) {
            failure = std::current_exception();
        }
        EXPECT_EQ(errorOf(failure), "Internal error: Session expired");
        co_await transport->send(std::string(kRequest));
        co_await transport->disconnect();
    });
    auto& requests = fixture.server->requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0].headers.get("MCP-Session-Id"), std::nullopt);
    EXPECT_EQ(requests[0].headers.get("MCP-Protocol-Version"), "2025-03-26");
    EXPECT_EQ(requests[1].headers.get("MCP-Session-Id"), "session-1");
    EXPECT_EQ(requests[1].headers.get("MCP-Protocol-Version"), "2025-06-18");
    EXPECT_EQ(requests[2].headers.get("MCP-Protocol-Version"), std::nullopt);
    EXPECT_EQ(requests[3].headers.get("MCP-Session-Id"), "session-1");
    EXPECT_EQ(requests[4].headers.get("MCP-Session-Id"), std::nullopt);
    for (auto& request : requests) {
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.headers.get("Accept"), "application/json, text/event-stream");
        EXPECT_EQ(request.headers.get("Content-Type"), "application/json");
        EXPECT_EQ(request.body, kRequest);
    }
}

TEST(HTTPClientTransportTest, TheRequestModifierSeesTheFinishedRequestAndMayReplaceAnything) {
    Fixture fixture([&](Exchange exchange) -> asio::awaitable<void> {
        co_await exchange->respond(202, Headers(), std::string());
    });
    HTTPClientTransport::Options options = Fixture::withoutStreaming();
    options.requestModifier = [](platform::http::Request request) {
        EXPECT_TRUE(request.headers.contains("MCP-Protocol-Version"));
        request.headers.set("Accept", "application/json");
        request.headers.set("X-Trace", "1");
        return request;
    };
    auto transport = fixture.transport(options);
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        co_await transport->connect();
        co_await transport->send(std::string(kRequest));
        co_await transport->disconnect();
    });
    ASSERT_EQ(fixture.server->requests().size(), 1u);
    EXPECT_EQ(fixture.server->requests()[0].headers.get("Accept"), "application/json");
    EXPECT_EQ(fixture.server->requests()[0].headers.get("X-Trace"), "1");
}

TEST(HTTPClientTransportTest, ConnectAndDisconnectBoundWhatTheTransportAccepts) {
    Fixture fixture([&](Exchange exchange) -> asio::awaitable<void> { co_await exchange->respond(202, Headers(), std::string()); });
    auto transport = fixture.transport(Fixture::withoutStreaming());
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        std::exception_ptr beforeConnect;
        try {
            co_await transport->send(std::string(kRequest));
        } catch (...) {
            beforeConnect = std::current_exception();
        }
        EXPECT_EQ(errorOf(beforeConnect), "Internal error: Transport not connected");
        co_await transport->connect();
        co_await transport->connect();
        EXPECT_EQ(fixture.log.countOf(Level::debug, "HTTP transport connected"), 1u);
        co_await transport->disconnect();
        co_await transport->disconnect();
        EXPECT_EQ(fixture.log.countOf(Level::debug, "HTTP clienttransport disconnected"), 1u);
        EXPECT_EQ(co_await transport->receive().next(), std::nullopt);
        std::exception_ptr afterDisconnect;
        try {
            co_await transport->send(std::string(kRequest));
        } catch (...) {
            afterDisconnect = std::current_exception();
        }
        EXPECT_EQ(errorOf(afterDisconnect), "Internal error: Transport not connected");
        std::exception_ptr reconnect;
        try {
            co_await transport->connect();
        } catch (...) {
            reconnect = std::current_exception();
        }
        EXPECT_EQ(errorOf(reconnect), "Internal error: Transport was disconnected");
    });
    EXPECT_TRUE(fixture.server->requests().empty());
}

TEST(HTTPClientTransportTest, DisconnectCancelsAPostWhoseReplyIsStillStreaming) {
    Fixture fixture([&](Exchange exchange) -> asio::awaitable<void> {
        Headers replyHeaders{{"Content-Type", "text/event-stream"}};
        co_await exchange->startStream(200, replyHeaders);
        co_await exchange->sendChunk(std::string("data: {\"early\":1}\n\n"));
        co_await stall();
    });
    auto transport = fixture.transport(Fixture::withoutStreaming());
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        co_await transport->connect();
        auto executor = co_await asio::this_coro::executor;
        auto sending = platform::spawn(executor, transport->send(std::string(kRequest)));
        EXPECT_EQ(co_await nextMessage(transport->receive()), "{\"early\":1}");
        co_await transport->disconnect();
        EXPECT_TRUE(co_await eventually([&] { return sending.isFinished(); }));
        EXPECT_THROW(sending.get(), std::exception);
        EXPECT_EQ(co_await transport->receive().next(), std::nullopt);
    });
}

// --- Operation keys ---

TEST(HTTPClientTransportTest, TheOperationKeyIsTheTrimmedMethodOfARequestOrNotification) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases{
        {R"({"jsonrpc":"2.0","id":1,"method":" tools/call\n"})", "tools/call"},
        {R"({"jsonrpc":"2.0","method":"notifications/initialized"})", "notifications/initialized"},
        {R"({"jsonrpc":"2.0","id":1,"method":" \n\t"})", std::nullopt},
        {R"({"jsonrpc":"2.0","id":1,"method":7})", std::nullopt},
        {R"([{"jsonrpc":"2.0","id":1,"method":"ping"}])", std::nullopt},
        {R"({"jsonrpc":"2.0","id":1,"result":{}})", std::nullopt},
        {"not json", std::nullopt},
    };
    for (const auto& [message, key] : cases) {
        EXPECT_EQ(HTTPClientTransport::jsonRPCOperationKey(message), key) << message;
    }
}

// --- Authorization ---

class FakeAuthorizer final : public mcp::HTTPClientAuthorizer {
public:
    int limit = 3;
    bool answer = true;
    bool refuseEndpoint = false;
    bool failPreparation = false;
    bool failChallenge = false;
    int headerCalls = 0;
    int preparations = 0;
    std::vector<std::optional<std::string>> operationKeys;
    std::vector<int> statuses;
    std::vector<std::optional<std::string>> challengeHeaders;

    int maxAuthorizationAttempts() const override { return limit; }
    void validateEndpointSecurity(boost::urls::url_view) const override {
        if (refuseEndpoint) throw std::runtime_error("endpoint must use https");
    }
    std::optional<std::string> authorizationHeader(boost::urls::url_view) override {
        ++headerCalls;
        return "Bearer token-" + std::to_string(headerCalls);
    }
    asio::awaitable<bool> handleChallenge(int statusCode, Headers headers, boost::urls::url, std::optional<std::string> key,
                                          platform::http::Client&) override {
        statuses.push_back(statusCode);
        operationKeys.push_back(std::move(key));
        challengeHeaders.push_back(headers.get("WWW-Authenticate"));
        if (failChallenge) throw std::runtime_error("token endpoint unreachable");
        co_return answer;
    }
    asio::awaitable<void> prepareAuthorization(boost::urls::url, platform::http::Client&) override {
        ++preparations;
        if (failPreparation) throw std::runtime_error("refresh failed");
        co_return;
    }
};

TEST(HTTPClientTransportTest, AChallengeIsAnsweredAndResentWithinTheAuthorizersLimit) {
    struct Case {
        std::string name;
        int status;
        int limit;
        bool answer;
        int acceptOnRequest;  // 0: never
        std::size_t expectedRequests;
        std::string expected;  // empty: success
    };
    const std::vector<Case> cases{
        {"limit used up", 401, 3, true, 0, 3, "Internal error: Authentication required"},
        {"accepted on the second sending", 401, 3, true, 2, 2, ""},
        {"authorizer gives up", 403, 3, false, 0, 1, "Internal error: Access forbidden"},
        {"a limit of one never resends", 401, 1, true, 0, 1, "Internal error: Authentication required"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int posts = 0;
        Fixture fixture([&](Exchange exchange) -> asio::awaitable<void> {
            ++posts;
            if (c.acceptOnRequest != 0 && posts >= c.acceptOnRequest) {
                Headers replyHeaders{{"Content-Type", "application/json"}};
                co_await exchange->respond(200, replyHeaders, std::string(kResponse));
                co_return;
            }
            Headers replyHeaders{{"WWW-Authenticate", "Bearer scope=\"files\""}};
            co_await exchange->respond(c.status, replyHeaders, std::string());
        });
        auto authorizer = std::make_shared<FakeAuthorizer>();
        authorizer->limit = c.limit;
        authorizer->answer = c.answer;
        HTTPClientTransport::Options options = Fixture::withoutStreaming();
        options.authorizer = authorizer;
        auto transport = fixture.transport(options);
        runAsync(fixture.io, [&]() -> asio::awaitable<void> {
            co_await transport->connect();
            std::exception_ptr failure;
            try {
                co_await transport->send(R"({"jsonrpc":"2.0","id":1,"method":"tools/call"})");
            } catch (...) {
                failure = std::current_exception();
            }
            EXPECT_EQ(failure ? errorOf(failure) : "", c.expected);
            co_await transport->disconnect();
        });
        auto& requests = fixture.server->requests();
        ASSERT_EQ(requests.size(), c.expectedRequests);
        for (std::size_t i = 0; i < requests.size(); ++i) {
            // Each sending asks for its header afresh.
            EXPECT_EQ(requests[i].headers.get("Authorization"), "Bearer token-" + std::to_string(i + 1));
        }
        EXPECT_EQ(authorizer->preparations, 1);
        ASSERT_FALSE(authorizer->operationKeys.empty());
        EXPECT_EQ(authorizer->operationKeys[0], "tools/call");
        EXPECT_EQ(authorizer->statuses[0], c.status);
        EXPECT_EQ(authorizer->challengeHeaders[0], "Bearer scope=\"files\"");
    }
}

TEST(HTTPClientTransportTest, AuthorizationFlowFailuresStopTheSendButAFailedPreparationDoesNot) {
    struct Case {
        std::string name;
        bool refuseEndpoint;
        bool failPreparation;
        bool failChallenge;
        std::size_t expectedRequests;
        std::string expected;
    };
    const std::vector<Case> cases{
        {"endpoint refused", true, false, false, 0, "Internal error: Authorization flow failed: endpoint must use https"},
        {"preparation fails", false, true, false, 1, ""},
        {"challenge fails", false, false, true, 1, "Internal error: Authorization flow failed: token endpoint unreachable"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture fixture([&](Exchange exchange) -> asio::awaitable<void> {
            if (c.failChallenge) co_await exchange->respond(401, Headers(), std::string());
            else co_await exchange->respond(202, Headers(), std::string());
        });
        auto authorizer = std::make_shared<FakeAuthorizer>();
        authorizer->refuseEndpoint = c.refuseEndpoint;
        authorizer->failPreparation = c.failPreparation;
        authorizer->failChallenge = c.failChallenge;
        HTTPClientTransport::Options options = Fixture::withoutStreaming();
        options.authorizer = authorizer;
        auto transport = fixture.transport(options);
        runAsync(fixture.io, [&]() -> asio::awaitable<void> {
            co_await transport->connect();
            std::exception_ptr failure;
            try {
                co_await transport->send(std::string(kRequest));
            } catch (...) {
                failure = std::current_exception();
            }
            EXPECT_EQ(failure ? errorOf(failure) : "", c.expected);
            co_await transport->disconnect();
        });
        EXPECT_EQ(fixture.server->requests().size(), c.expectedRequests);
    }
}

TEST(HTTPClientTransportTest, AnUnansweredChallengeMapsByItsStatus) {
    const std::vector<std::pair<int, std::string>> cases{
        {401, "Internal error: Authentication required"},
        {403, "Internal error: Access forbidden"},
        {407, "Internal error: HTTP authorization error: 407"},
    };
    for (const auto& [status, text] : cases) {
        auto error = HTTPClientTransport::mapAuthenticationChallengeError(mcp::HTTPAuthenticationChallengeError(status, {}));
        EXPECT_EQ(error.errorDescription(), text);
    }
}

// --- The server event stream ---

TEST(HTTPClientTransportTest, TheEventStreamWaitsForTheSessionThenResumesFromTheLastEventID) {
    std::vector<RecordedRequest> gets;
    Fixture fixture([&](Exchange exchange) -> asio::awaitable<void> {
        if (exchange->request().method == "POST") {
            Headers replyHeaders{{"Content-Type", "application/json"}, {"MCP-Session-Id", "s-42"}};
            co_await exchange->respond(200, replyHeaders, std::string(kResponse));
            co_return;
        }
        gets.push_back(exchange->request());
        Headers replyHeaders{{"Content-Type", "text/event-stream"}};
        co_await exchange->startStream(200, replyHeaders);
        if (gets.size() == 1) {
            co_await exchange->sendChunk(std::string("retry: 20\nid: 42\ndata: {\"pushed\":1}\n\n"));
            co_await exchange->endStream();
            co_return;
        }
        co_await exchange->sendChunk(std::string("data: {\"pushed\":2}\n\n"));
        co_await stall();
    });
    HTTPClientTransport::Options options;
    options.sseInitializationTimeout = 30;
    auto transport = fixture.transport(options);
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        co_await transport->connect();
        // The listener waits for the session the first reply brings.
        co_await platform::sleepFor(20ms);
        EXPECT_TRUE(gets.empty());
        co_await transport->send(std::string(kRequest));
        auto stream = transport->receive();
        EXPECT_EQ(co_await nextMessage(stream), kResponse);
        EXPECT_EQ(co_await nextMessage(stream), "{\"pushed\":1}");
        EXPECT_EQ(co_await nextMessage(stream), "{\"pushed\":2}");
        EXPECT_EQ(transport->retryInterval(), 20);
        co_await transport->disconnect();
    });
    ASSERT_EQ(gets.size(), 2u);
    EXPECT_EQ(gets[0].headers.get("MCP-Session-Id"), "s-42");
    EXPECT_EQ(gets[0].headers.get("Accept"), "text/event-stream");
    EXPECT_EQ(gets[0].headers.get("Cache-Control"), "no-cache");
    EXPECT_EQ(gets[0].headers.get("Last-Event-ID"), std::nullopt);
    EXPECT_EQ(gets[1].headers.get("Last-Event-ID"), "42");
    EXPECT_EQ(fixture.log.countOf(Level::info, "→ Connecting to SSE stream (no last event ID to resume from)"), 1u);
    auto resumed = fixture.log.first(Level::info, "→ Resuming SSE stream with Last-Event-ID");
    ASSERT_TRUE(resumed);
    EXPECT_EQ(resumed->metadataText("lastEventID"), "42");
    EXPECT_EQ(fixture.log.countOf(Level::warning,
                                  "⏱️ Timeout waiting for session ID (30.0s). SSE stream will proceed anyway."),
              0u);
}

TEST(HTTPClientTransportTest, WithoutASessionTheFirstGetGoesOutAfterTheTimeout) {
    Fixture fixture([&](Exchange exchange) -> asio::awaitable<void> {
        Headers replyHeaders{{"Content-Type", "text/event-stream"}};
        co_await exchange->startStream(200, replyHeaders);
        co_await stall();
    });
    HTTPClientTransport::Options options;
    options.sseInitializationTimeout = 0.05;
    auto transport = fixture.transport(options);
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        co_await transport->connect();
        EXPECT_TRUE(co_await eventually([&] { return fixture.server->requests().size() == 1; }));
        co_await transport->disconnect();
    });
    EXPECT_EQ(fixture.server->requests()[0].headers.get("MCP-Session-Id"), std::nullopt);
    EXPECT_EQ(fixture.log.countOf(Level::warning,
                                  "⏱️ Timeout waiting for session ID (0.05s). SSE stream will proceed anyway."),
              1u);
}

TEST(HTTPClientTransportTest, AGetRefusedWith405EndsTheListenerAfterOneRequest) {
    Fixture fixture([&](Exchange exchange) -> asio::awaitable<void> { co_await exchange->respond(405, Headers(), std::string()); });
    HTTPClientTransport::Options options;
    options.sseInitializationTimeout = 0;
    auto transport = fixture.transport(options);
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        co_await transport->connect();
        EXPECT_TRUE(co_await eventually([&] { return fixture.log.countOf("⏹️ SSE retry loop exited") == 1; }));
        co_await platform::sleepFor(30ms);
        co_await transport->disconnect();
    });
    EXPECT_EQ(fixture.server->requests().size(), 1u);
    EXPECT_EQ(fixture.log.countOf(Level::error), 0u) << fixture.log.dump();
    EXPECT_EQ(fixture.log.countOf(Level::debug, "⏹️ SSE task cancelled"), 1u);
    auto exited = fixture.log.first(Level::debug, "⏹️ SSE retry loop exited");
    ASSERT_TRUE(exited);
    EXPECT_EQ(exited->metadataText("totalAttempts"), "1");
}

TEST(HTTPClientTransportTest, AFailingGetIsRetriedAfterThePauseWithTheErrorLogged) {
    Fixture fixture([&](Exchange exchange) -> asio::awaitable<void> { co_await exchange->respond(500, Headers(), std::string()); });
    HTTPClientTransport::Options options;
    options.sseInitializationTimeout = 0;
    auto transport = fixture.transport(options);
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        co_await transport->connect();
        EXPECT_TRUE(co_await eventually([&] { return fixture.log.countOf("⏳ Waiting before SSE reconnection") == 1; }));
        co_await transport->disconnect();
        EXPECT_TRUE(co_await eventually([&] { return fixture.log.countOf("⏹️ SSE retry loop exited") == 1; }));
    });
    // The default pause is three seconds: disconnect cut it short, so no second request went out.
    EXPECT_EQ(fixture.server->requests().size(), 1u);
    EXPECT_EQ(fixture.log.countOf(Level::error, "❌ SSE connection error (attempt #1): [-32603] Internal error: HTTP error: 500"),
              1u)
        << fixture.log.dump();
    EXPECT_EQ(fixture.log.countOf(Level::debug, "⏹️ SSE task cancelled"), 1u);
    EXPECT_EQ(fixture.log.first(Level::debug, "⏹️ SSE retry loop exited")->metadataText("isConnected"), "false");
}

TEST(HTTPClientTransportTest, APostStreamWithoutDataRestartsTheGetStream) {
    int gets = 0;
    Fixture fixture([&](Exchange exchange) -> asio::awaitable<void> {
        if (exchange->request().method == "POST") {
            Headers replyHeaders{{"Content-Type", "text/event-stream"}, {"MCP-Session-Id", "s"}};
            co_await exchange->respond(200, replyHeaders, std::string("id: only-an-id\n\n"));
            co_return;
        }
        ++gets;
        Headers replyHeaders{{"Content-Type", "text/event-stream"}};
        co_await exchange->startStream(200, replyHeaders);
        co_await exchange->sendChunk(std::string("id: g1\nretry: 10\n\n"));
        co_await stall();
    });
    HTTPClientTransport::Options options;
    options.sseInitializationTimeout = 0;
    auto transport = fixture.transport(options);
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        co_await transport->connect();
        EXPECT_TRUE(co_await eventually([&] { return gets == 1 && transport->retryInterval() == 10; }));
        co_await transport->send(std::string(kRequest));
        EXPECT_EQ(transport->lastEventID(), "only-an-id");
        EXPECT_TRUE(co_await eventually([&] { return gets == 2; }));
        co_await transport->disconnect();
    });
    EXPECT_EQ(fixture.log.countOf(Level::debug, "POST SSE stream closed without data, triggering GET reconnection"), 1u);
    auto secondGet = requestsWithMethod(*fixture.server, "GET").at(1);
    EXPECT_EQ(secondGet.headers.get("Last-Event-ID"), "only-an-id");
}

TEST(HTTPClientTransportTest, TheGetResumesOnlyAReplyStreamCutOffBeforeItsResponse) {
    std::vector<RecordedRequest> gets;
    int posts = 0;
    Fixture fixture([&](Exchange exchange) -> asio::awaitable<void> {
        if (exchange->request().method == "POST") {
            ++posts;
            Headers replyHeaders{{"Content-Type", "text/event-stream"}, {"MCP-Session-Id", "s"}};
            // The first reply brings its response; the second is cut off after a notification.
            std::string body = posts == 1 ? "id: p1\ndata: " + std::string(kResponse) + "\n\n"
                                          : std::string("id: p2\ndata: {\"jsonrpc\":\"2.0\",\"method\":\"n\"}\n\n");
            co_await exchange->respond(200, replyHeaders, body);
            co_return;
        }
        gets.push_back(exchange->request());
        Headers replyHeaders{{"Content-Type", "text/event-stream"}};
        co_await exchange->startStream(200, replyHeaders);
        co_await exchange->sendChunk(std::string("retry: 5\ndata: {\"jsonrpc\":\"2.0\",\"method\":\"g\"}\n\n"));
        co_await exchange->endStream();
    });
    HTTPClientTransport::Options options;
    options.sseInitializationTimeout = 30;
    auto transport = fixture.transport(options);
    runAsync(fixture.io, [&]() -> asio::awaitable<void> {
        co_await transport->connect();
        co_await transport->send(std::string(kRequest));
        EXPECT_TRUE(co_await eventually([&] { return gets.size() >= 2; }));
        EXPECT_EQ(transport->lastEventID(), std::nullopt);
        co_await transport->send(std::string(kRequest));
        EXPECT_EQ(transport->lastEventID(), "p2");
        // A GET already under way goes without it; the next one resumes the cut-off reply, and
        // the one after that opens the server's own stream again.
        EXPECT_TRUE(co_await eventually([&] {
            auto resumed = std::find_if(gets.begin(), gets.end(), [](const RecordedRequest& get) {
                return get.headers.get("Last-Event-ID") == std::optional<std::string>("p2");
            });
            return resumed != gets.end() && resumed + 1 != gets.end();
        }));
        co_await transport->disconnect();
    });
    // The server's own stream is opened afresh while no reply needs resuming.
    EXPECT_EQ(gets.at(0).headers.get("Last-Event-ID"), std::nullopt);
    EXPECT_EQ(gets.at(1).headers.get("Last-Event-ID"), std::nullopt);
    auto resumed = std::find_if(gets.begin(), gets.end(), [](const RecordedRequest& get) {
        return get.headers.get("Last-Event-ID") == std::optional<std::string>("p2");
    });
    ASSERT_NE(resumed, gets.end());
    // Its resumption ended with nothing new, so the reply is done.
    EXPECT_EQ((resumed + 1)->headers.get("Last-Event-ID"), std::nullopt);
}

}  // namespace
