// A server engine driven through one stateful transport, its event streams read as a client
// reads them.
#include "mcp/base/transports/http_server/stateful_http_server_transport.hpp"

#include "mcp/base/mcp_error.hpp"
#include "mcp/server/call_tool.hpp"
#include "mcp/server/log_level.hpp"
#include "mcp/server/server.hpp"
#include "platform/async/cancellation.hpp"
#include "platform/async/one_shot.hpp"
#include "platform/async/task.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"
#include "support/capturing_log_handler.hpp"
#include "support/run_async.hpp"

#include <boost/asio/io_context.hpp>
#include <boost/asio/this_coro.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mcp {
namespace {

namespace asio = boost::asio;
using namespace std::chrono_literals;
using testing_support::CapturingLogHandler;
using Headers = std::map<std::string, std::string>;

// Fatal checks for coroutines, which cannot use ASSERT_*.
#define CO_ASSERT_TRUE(condition)                     \
    do {                                              \
        if (!(condition)) {                           \
            ADD_FAILURE() << "failed: " #condition;   \
            co_return;                                \
        }                                             \
    } while (false)
#define CO_ASSERT_EQ(a, b)            \
    do {                              \
        EXPECT_EQ(a, b);              \
        if (!((a) == (b))) co_return; \
    } while (false)

constexpr std::string_view kInitialize =
    R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"protocolVersion":"2025-06-18","capabilities":{},"clientInfo":{"name":"client","version":"9"}}})";

struct FixedSessionIDs final : SessionIDGenerator {
    std::vector<std::string> ids;
    std::size_t next = 0;
    explicit FixedSessionIDs(std::vector<std::string> ids) : ids(std::move(ids)) {}
    std::string generateSessionID() override { return ids.at(next++); }
};

/// One event as a client reads it from an element of the stream.
struct Event {
    std::optional<std::string> id;
    std::optional<std::string> event;
    std::optional<std::string> retry;
    std::string data;

    bool isPriming() const { return data.empty(); }
};

Event parseEvent(std::string_view text) {
    Event event;
    EXPECT_TRUE(text.ends_with("\n\n")) << text;
    while (!text.empty()) {
        auto end = text.find('\n');
        auto line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty()) continue;
        auto colon = line.find(": ");
        auto field = line.substr(0, colon);
        std::string value(line.substr(colon + 2));
        if (field == "id") {
            event.id = value;
        } else if (field == "event") {
            event.event = value;
        } else if (field == "retry") {
            event.retry = value;
        } else if (field == "data") {
            event.data = value;
        } else {
            ADD_FAILURE() << "unexpected line " << line;
        }
    }
    return event;
}

/// The events of a stream as they come; nothing once it has ended.
asio::awaitable<std::optional<Event>> nextEvent(const HTTPResponse& response) {
    auto text = co_await response.eventStream()->next();
    if (!text) co_return std::nullopt;
    co_return parseEvent(*text);
}

/// Every event the stream still gives, up to its end.
asio::awaitable<std::vector<Event>> rest(const HTTPResponse& response) {
    std::vector<Event> events;
    for (;;) {
        auto event = co_await nextEvent(response);
        if (!event) break;
        events.push_back(std::move(*event));
    }
    co_return events;
}

boost::json::value json(std::string_view text) {
    return platform::json::parse(text);
}

struct Session {
    asio::io_context io;
    CapturingLogHandler log;
    std::shared_ptr<FixedSessionIDs> ids = std::make_shared<FixedSessionIDs>(std::vector<std::string>{"S-1"});
    std::optional<std::int64_t> retryInterval;
    std::shared_ptr<StatefulHTTPServerTransport> transport;
    std::shared_ptr<Server> server;
    platform::OneShot<void> release;
    int released = 0;

    std::shared_ptr<Server> makeServer() {
        auto made = Server::create("stateful-test", "1.0");
        made->withMethodHandler<CallTool>(
            [this, weak = std::weak_ptr<Server>(made)](CallTool::Parameters params) -> asio::awaitable<CallTool::Result> {
                auto self = weak.lock();
                if (params.name == "chatty") co_await self->log(LogLevel::info, std::nullopt, Value("working"));
                if (params.name == "wait") {
                    co_await release.wait();
                    ++released;
                }
                if (params.name == "roots") {
                    auto roots = co_await self->listRoots();
                    co_return CallTool::Result{{Tool::Content::text(std::to_string(roots.size()) + " roots")}};
                }
                co_return CallTool::Result{{Tool::Content::text(params.name)}};
            });
        return made;
    }

    asio::awaitable<void> start() {
        transport = std::make_shared<StatefulHTTPServerTransport>(ids, nullptr, retryInterval, log.logger());
        server = makeServer();
        co_await server->start(transport);
    }

    Headers headers(bool withSession = true) const {
        Headers h{{"Accept", "application/json, text/event-stream"},
                  {"Content-Type", "application/json"},
                  {"Host", "127.0.0.1:8080"},
                  {"MCP-Protocol-Version", "2025-06-18"}};
        if (withSession && transport && transport->sessionID()) h["MCP-Session-Id"] = *transport->sessionID();
        return h;
    }

    HTTPResponse post(std::string body, std::optional<Headers> with = std::nullopt) {
        return transport->handle(HTTPRequest{"POST", with ? *with : headers(), std::move(body), "/mcp"});
    }
    HTTPResponse get(Headers extra = {}) {
        auto h = headers();
        for (auto& [k, v] : extra) h[k] = v;
        return transport->handle(HTTPRequest{"GET", h, std::nullopt, "/mcp"});
    }
    HTTPResponse call(int id, std::string tool) {
        return post(R"({"jsonrpc":"2.0","id":)" + std::to_string(id) +
                    R"(,"method":"tools/call","params":{"name":")" + tool + R"("}})");
    }

    /// Initializes the session and reads the answer off its stream.
    asio::awaitable<void> initialize() {
        auto response = post(std::string(kInitialize));
        EXPECT_EQ(response.statusCode(), 200);
        auto events = co_await rest(response);
        EXPECT_EQ(events.size(), 2u);
        EXPECT_EQ(post(R"({"jsonrpc":"2.0","method":"notifications/initialized"})").statusCode(), 202);
    }

    template <class F>
    auto run(F&& body) {
        return testing_support::runAsync(io, [&]() -> asio::awaitable<void> {
            co_await start();
            co_await body();
            co_await server->stop();
        });
    }
};

void expectError(const HTTPResponse& response, int status, std::string_view message,
                 std::optional<std::string> sessionID) {
    EXPECT_EQ(response.statusCode(), status);
    ASSERT_TRUE(response.bodyData());
    auto body = json(*response.bodyData());
    EXPECT_EQ(body.at("error").at("message").as_string(), message) << *response.bodyData();
    auto found = response.headers().find("MCP-Session-Id");
    EXPECT_EQ(found == response.headers().end() ? std::nullopt : std::optional(found->second), sessionID);
}

TEST(StatefulHTTPServerTransportTest, InitializeOpensTheSessionAndAnswersOnItsStream) {
    Session s;
    s.run([&]() -> asio::awaitable<void> {
        // Without a session the default pipeline refuses everything but "initialize".
        expectError(s.call(1, "echo"), 400, "Invalid Request: Bad Request: Session not initialized", std::nullopt);

        auto response = s.post(std::string(kInitialize));
        EXPECT_EQ(response.statusCode(), 200);
        EXPECT_EQ(response.headers(), (Headers{{"Cache-Control", "no-cache, no-transform"},
                                                {"Connection", "keep-alive"},
                                                {"Content-Type", "text/event-stream"},
                                                {"MCP-Session-Id", "S-1"}}));
        EXPECT_EQ(s.transport->sessionID(), "S-1");
        EXPECT_EQ(s.log.first(logging::Level::info, "Session initialized")->metadataText("sessionID"), "S-1");
        auto events = co_await rest(response);
        EXPECT_EQ(events.size(), 2u);
        if (events.size() == 2) {
            EXPECT_TRUE(events[0].isPriming());
            EXPECT_EQ(events[0].id, "0_1");
            EXPECT_EQ(events[1].id, "0_2");
            EXPECT_EQ(events[1].event, "message");
            EXPECT_EQ(json(events[1].data).at("result").at("protocolVersion"), "2025-06-18");
        }

        expectError(s.post(std::string(kInitialize)), 400, "Invalid Request: Bad Request: Session already initialized", "S-1");
        co_return;
    });
}

TEST(StatefulHTTPServerTransportTest, RefusesWhatNoSessionRequestCanBe) {
    Session s;
    s.run([&]() -> asio::awaitable<void> {
        co_await s.initialize();
        auto without = s.headers(false);
        auto foreign = s.headers();
        foreign["MCP-Session-Id"] = "S-2";
        const std::string ping = R"({"jsonrpc":"2.0","id":9,"method":"ping"})";
        struct Case {
            const char* name;
            HTTPRequest request;
            int status;
            std::string message;
        };
        const std::vector<Case> cases{
            {"no session header", {"POST", without, ping, "/mcp"}, 400,
             "Invalid Request: Bad Request: Missing MCP-Session-Id header"},
            {"foreign session", {"POST", foreign, ping, "/mcp"}, 404,
             "Invalid Request: Not Found: Invalid or expired session ID"},
            {"foreign session on GET", {"GET", foreign, std::nullopt, "/mcp"}, 404,
             "Invalid Request: Not Found: Invalid or expired session ID"},
            {"empty body", {"POST", s.headers(), "", "/mcp"}, 400, "Parse error: Invalid JSON: Empty request body"},
            {"batch", {"POST", s.headers(), "[" + ping + "]", "/mcp"}, 400,
             "Parse error: Invalid JSON: Invalid JSON-RPC message"},
            // The engine would run it as a request whose answer nobody receives.
            {"null id", {"POST", s.headers(), R"({"jsonrpc":"2.0","id":null,"method":"ping"})", "/mcp"}, 400,
             "Parse error: Invalid JSON: Invalid JSON-RPC message"},
            {"method and result", {"POST", s.headers(), R"({"jsonrpc":"2.0","id":3,"method":"ping","result":{}})", "/mcp"},
             400, "Parse error: Invalid JSON: Invalid JSON-RPC message"},
            {"other method", {"PUT", s.headers(), ping, "/mcp"}, 405, "Invalid Request: Method Not Allowed"},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            auto response = s.transport->handle(c.request);
            expectError(response, c.status, c.message, "S-1");
            if (c.status == 405) {
                EXPECT_EQ(response.headers().at("Allow"), "GET, POST, DELETE");
            }
        }
        // Methods in any letter case.
        auto lower = s.transport->handle(HTTPRequest{"post", s.headers(), ping, "/mcp"});
        EXPECT_EQ(lower.statusCode(), 200);
        auto events = co_await rest(lower);
        EXPECT_EQ(events.size(), 2u);
        EXPECT_EQ(s.transport->handle(HTTPRequest{"Delete", s.headers(), std::nullopt, "/mcp"}).statusCode(), 200);
        EXPECT_TRUE(s.transport->isTerminated());
    });
}

TEST(StatefulHTTPServerTransportTest, AnInvalidGeneratedSessionIDLeavesNoSession) {
    for (std::string bad : {"", "has space", "caf\xC3\xA9", "tab\there"}) {
        SCOPED_TRACE(bad);
        Session s;
        s.ids = std::make_shared<FixedSessionIDs>(std::vector<std::string>{bad, "S-ok"});
        s.run([&]() -> asio::awaitable<void> {
            auto refused = s.post(std::string(kInitialize));
            expectError(refused, 500, "Internal error: Internal error: Invalid session ID generated", std::nullopt);
            EXPECT_FALSE(s.transport->sessionID());
            EXPECT_EQ(s.log.countOf(logging::Level::error, "Generated session ID contains invalid characters"), 1u);
            // A later "initialize" still opens the session.
            auto accepted = s.post(std::string(kInitialize));
            EXPECT_EQ(accepted.statusCode(), 200);
            EXPECT_EQ(s.transport->sessionID(), "S-ok");
            auto events = co_await rest(accepted);
            EXPECT_EQ(events.size(), 2u);
        });
    }
}

TEST(StatefulHTTPServerTransportTest, PrimesStreamsByProtocolVersion) {
    struct Case {
        std::string version;
        bool primed;
    };
    for (const auto& c : std::vector<Case>{{"2024-11-05", false}, {"2025-03-26", true}, {"2025-06-18", true},
                                           {"2025-11-25", true}}) {
        SCOPED_TRACE(c.version);
        Session s;
        s.retryInterval = 3000;
        s.run([&]() -> asio::awaitable<void> {
            // The initialize request is primed by the version in its body, whatever the header says.
            std::string body(kInitialize);
            body.replace(body.find("2025-06-18"), 10, c.version);
            auto init = s.post(body);
            auto initEvents = co_await rest(init);
            EXPECT_EQ(initEvents.size(), c.primed ? 2u : 1u);
            EXPECT_EQ(initEvents.front().isPriming(), c.primed);

            auto headers = s.headers();
            headers["MCP-Protocol-Version"] = c.version;
            auto response = s.post(R"({"jsonrpc":"2.0","id":"k","method":"tools/call","params":{"name":"echo"}})", headers);
            auto events = co_await rest(response);
            CO_ASSERT_EQ(events.size(), c.primed ? 2u : 1u);
            if (c.primed) {
                EXPECT_EQ(events[0].id, "k_3");
                EXPECT_EQ(events[0].retry, "3000");
                EXPECT_EQ(events[0].event, std::nullopt);
            }
            EXPECT_EQ(json(events.back().data).at("id"), "k");
        });
    }
}

TEST(StatefulHTTPServerTransportTest, RoutesServerMessagesToTheGETStreamAndResponsesToTheirRequest) {
    Session s;
    s.run([&]() -> asio::awaitable<void> {
        co_await s.initialize();
        // No GET stream yet: the notification is stored for replay.
        auto early = s.call(1, "chatty");
        auto earlyEvents = co_await rest(early);
        CO_ASSERT_EQ(earlyEvents.size(), 2u);
        EXPECT_EQ(json(earlyEvents[1].data).at("id"), 1);
        EXPECT_EQ(s.log.countOf(logging::Level::debug, "No standalone GET stream connected, message stored for replay"), 1u);

        auto get = s.get();
        EXPECT_EQ(get.statusCode(), 200);
        EXPECT_EQ(get.headers().at("Content-Type"), "text/event-stream");
        auto priming = co_await nextEvent(get);
        EXPECT_TRUE(priming && priming->isPriming());
        expectError(s.get(), 409, "Invalid Request: Conflict: Only one SSE stream is allowed per session", "S-1");

        // Two requests and the notification of one of them: one sequence of event numbers.
        auto chatty = s.call(2, "chatty");
        auto plain = s.call(3, "echo");
        auto note = co_await nextEvent(get);
        auto chattyEvents = co_await rest(chatty);
        auto plainEvents = co_await rest(plain);
        CO_ASSERT_TRUE(note);
        EXPECT_EQ(json(note->data).at("method"), "notifications/message");
        CO_ASSERT_EQ(chattyEvents.size(), 2u);
        CO_ASSERT_EQ(plainEvents.size(), 2u);
        std::vector<std::string> ids{*chattyEvents[0].id, *plainEvents[0].id, *note->id, *chattyEvents[1].id,
                                     *plainEvents[1].id};
        std::vector<std::string> numbers;
        for (auto& id : ids) numbers.push_back(id.substr(id.rfind('_') + 1));
        std::sort(numbers.begin(), numbers.end());
        EXPECT_EQ(numbers, (std::vector<std::string>{"10", "11", "7", "8", "9"}));
        EXPECT_TRUE(note->id->starts_with("_GET_stream_"));

        // A request of the server's own goes to the GET stream; the client's answer is a POST.
        auto roots = s.call(4, "roots");
        auto ask = co_await nextEvent(get);
        CO_ASSERT_TRUE(ask);
        auto request = json(ask->data);
        EXPECT_EQ(request.at("method"), "roots/list");
        auto answer = s.post(R"({"jsonrpc":"2.0","id":)" + platform::json::write(request.at("id")) +
                             R"(,"result":{"roots":[{"uri":"file:///a"}]}})");
        EXPECT_EQ(answer.statusCode(), 202);
        EXPECT_EQ(answer.headers(), (Headers{{"MCP-Session-Id", "S-1"}}));
        auto rootsEvents = co_await rest(roots);
        CO_ASSERT_EQ(rootsEvents.size(), 2u);
        EXPECT_EQ(json(rootsEvents[1].data).at("result").at("content").at(0).at("text"), "1 roots");
    });
}

TEST(StatefulHTTPServerTransportTest, ResumptionReplaysTheLaterEventsOfOneStream) {
    Session s;
    s.run([&]() -> asio::awaitable<void> {
        co_await s.initialize();
        auto get = s.get();
        auto getPriming = co_await nextEvent(get);
        // A client that read only the priming event of its request stream.
        auto first = s.call(1, "chatty");
        auto firstPriming = co_await nextEvent(first);
        auto firstAll = co_await rest(first);
        auto other = s.call(2, "echo");
        auto otherAll = co_await rest(other);
        auto getNote = co_await nextEvent(get);
        CO_ASSERT_TRUE(firstPriming && getPriming && getNote);

        auto resumed = s.get({{"Last-Event-ID", *firstPriming->id}});
        EXPECT_EQ(resumed.statusCode(), 200);
        auto replayed = co_await nextEvent(resumed);
        CO_ASSERT_TRUE(replayed);
        // Only stream 1's response: not the GET stream's notification, not request 2's events.
        EXPECT_EQ(replayed->id, firstAll.back().id);
        EXPECT_EQ(json(replayed->data).at("id"), 1);
        auto newPriming = co_await nextEvent(resumed);
        CO_ASSERT_TRUE(newPriming);
        EXPECT_TRUE(newPriming->isPriming());
        EXPECT_TRUE(newPriming->id->starts_with("1_"));
        // The resumed request stream stays open until the transport closes it.
        EXPECT_FALSE(resumed.eventStream()->isFinished());
        s.transport->closeSSEStream("1");
        EXPECT_TRUE(resumed.eventStream()->isFinished());

        // Resuming from the last event replays nothing but opens and primes the stream.
        auto fromLast = s.get({{"Last-Event-ID", *otherAll.back().id}});
        auto only = co_await nextEvent(fromLast);
        CO_ASSERT_TRUE(only);
        EXPECT_TRUE(only->isPriming());

        expectError(s.get({{"Last-Event-ID", "nope"}}), 400, "Invalid Request: Invalid Last-Event-ID", "S-1");

        // Resuming the GET stream replaces the open one, which ends so its response ends.
        auto resumedGet = s.get({{"Last-Event-ID", *getPriming->id}});
        auto again = co_await nextEvent(resumedGet);
        CO_ASSERT_TRUE(again);
        EXPECT_EQ(again->id, getNote->id);
        auto oldEnd = co_await nextEvent(get);
        EXPECT_FALSE(oldEnd);
    });
}

TEST(StatefulHTTPServerTransportTest, AReusedRequestKeyFinishesTheEarlierStream) {
    Session s;
    s.run([&]() -> asio::awaitable<void> {
        co_await s.initialize();
        auto waiting = s.call(5, "wait");
        auto priming = co_await nextEvent(waiting);
        CO_ASSERT_TRUE(priming);
        auto second = s.call(5, "echo");
        auto ended = co_await nextEvent(waiting);
        EXPECT_FALSE(ended);
        auto secondEvents = co_await rest(second);
        CO_ASSERT_EQ(secondEvents.size(), 2u);
        s.release.resume();
        while (s.released == 0) co_await platform::sleepFor(1ms);
    });
}

TEST(StatefulHTTPServerTransportTest, DeleteTerminatesTheSession) {
    Session s;
    s.run([&]() -> asio::awaitable<void> {
        co_await s.initialize();
        auto get = s.get();
        auto waiting = s.call(7, "wait");
        auto getPriming = co_await nextEvent(get);
        auto waitingPriming = co_await nextEvent(waiting);
        EXPECT_FALSE(s.transport->storedEvents().empty());

        auto deleted = s.transport->handle(HTTPRequest{"DELETE", s.headers(), std::nullopt, "/mcp"});
        EXPECT_EQ(deleted.statusCode(), 200);
        EXPECT_EQ(deleted.headers(), (Headers{{"MCP-Session-Id", "S-1"}}));
        EXPECT_EQ(s.log.first(logging::Level::info, "Terminating session")->metadataText("sessionID"), "S-1");
        // Every stream ends, the store is emptied, and the server's loop ends.
        auto getEnd = co_await nextEvent(get);
        auto waitingEnd = co_await nextEvent(waiting);
        EXPECT_FALSE(getEnd);
        EXPECT_FALSE(waitingEnd);
        EXPECT_TRUE(s.transport->storedEvents().empty());
        co_await s.server->waitUntilCompleted();

        expectError(s.transport->handle(HTTPRequest{"DELETE", s.headers(), std::nullopt, "/mcp"}), 404,
                    "Invalid Request: Not Found: Session has been terminated", "S-1");
        expectError(s.get({{"Last-Event-ID", *getPriming->id}}), 404,
                    "Invalid Request: Not Found: Session has been terminated", "S-1");
        try {
            co_await s.transport->send(R"({"jsonrpc":"2.0","method":"notifications/message"})");
            ADD_FAILURE() << "sent after termination";
        } catch (const MCPError& e) {
            EXPECT_EQ(e.code(), MCPError::connectionClosedCode);
        }
        s.release.resume();
        while (s.released == 0) co_await platform::sleepFor(1ms);
        (void)waitingPriming;
    });
}

TEST(StatefulHTTPServerTransportTest, ConnectsOnce) {
    testing_support::runAsync([]() -> asio::awaitable<void> {
        StatefulHTTPServerTransport transport;
        co_await transport.connect();
        try {
            co_await transport.connect();
            ADD_FAILURE() << "connected twice";
        } catch (const MCPError& e) {
            EXPECT_EQ(std::string(e.what()), "Internal error: Transport already started");
        }
        EXPECT_EQ(transport.logger().label(), "mcp.transport.http.server.stateful");
        // Without a session or any stream, a message is stored and the unreadable one dropped.
        co_await transport.send(R"({"jsonrpc":"2.0","id":1,"result":{}})");
        co_await transport.send(R"([1])");
        EXPECT_EQ(transport.storedEvents().size(), 1u);
        EXPECT_EQ(transport.storedEvents()[0].streamID(), "1");
        EXPECT_EQ(transport.storedEvents()[0].eventID, "1_1");
    });
}

}  // namespace
}  // namespace mcp
