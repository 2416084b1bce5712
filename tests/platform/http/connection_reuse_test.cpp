#include "platform/http/client.hpp"

#include "platform/async/cancellation.hpp"
#include "platform/async/one_shot.hpp"
#include "platform/async/task.hpp"
#include "support/eventually.hpp"
#include "support/loopback_http_server.hpp"
#include "support/run_async.hpp"
#include "support/http_client_fixture.hpp"

#include <boost/asio/io_context.hpp>
#include <gtest/gtest.h>

#include <memory>

namespace {

namespace asio = boost::asio;
using namespace std::chrono_literals;
using platform::http::Client;
using platform::http::ClientOptions;
using platform::http::Headers;
using platform::http::HttpError;
using platform::http::Request;
using testing_support::eventually;
using testing_support::failureOf;
using testing_support::get;
using testing_support::LoopbackHttpServer;
using testing_support::runAsync;
using testing_support::TestCertificate;
using Exchange = std::shared_ptr<LoopbackHttpServer::Exchange>;

// The server keeps connections alive.
template <class Body>
void withKeepAliveServer(LoopbackHttpServer::Handler handler, Body body, std::optional<TestCertificate> certificate = {}) {
    testing_support::withServer(std::move(handler), std::move(body), std::move(certificate), true);
}

asio::awaitable<void> answerPlainly(Exchange exchange) { co_await exchange->respond(200, {}, "hello"); }

std::vector<std::size_t> connectionsOf(const LoopbackHttpServer& server) {
    std::vector<std::size_t> connections;
    for (const auto& request : server.requests()) connections.push_back(request.connection);
    return connections;
}

TEST(HttpConnectionReuseTest, SequentialRequestsShareOneConnectionPerHostName) {
    const auto certificate = TestCertificate::make({"DNS:localhost", "IP:127.0.0.1"});
    for (const bool secure : {false, true}) {
        SCOPED_TRACE(secure ? "TLS" : "plain");
        withKeepAliveServer(
            [](Exchange exchange) -> asio::awaitable<void> {
                const auto& target = exchange->request().target;
                if (target == "/chunked") {
                    co_await exchange->startStream(200, {});
                    co_await exchange->sendChunk("one ");
                    co_await exchange->sendChunk("two");
                    co_await exchange->endStream();
                } else if (target == "/accepted") {
                    co_await exchange->respond(202, {}, "");
                } else {
                    co_await exchange->respond(200, {}, "body of " + target);
                }
            },
            [&](LoopbackHttpServer& server, asio::any_io_executor executor) -> asio::awaitable<void> {
                ClientOptions options;
                if (secure) options.tls = certificate.clientContext();
                Client client(executor, options);
                auto reply = co_await client.fetch(get(server.url("localhost", "/a")));
                EXPECT_EQ(reply.body, "body of /a");
                reply = co_await client.fetch(get(server.url("localhost", "/chunked")));
                EXPECT_EQ(reply.body, "one two");
                // A reply whose body is empty frees its connection with the head.
                auto post = get(server.url("localhost", "/accepted"));
                post.method = "POST";
                post.body = "{}";
                auto accepted = co_await client.send(post);
                EXPECT_EQ(accepted.status, 202);
                reply = co_await client.fetch(get(server.url("localhost", "/b")));
                EXPECT_EQ(reply.body, "body of /b");
                EXPECT_EQ(connectionsOf(server), (std::vector<std::size_t>{1, 1, 1, 1}));

                // Another host name for the same address and port gets a connection of its own.
                reply = co_await client.fetch(get(server.url("127.0.0.1", "/c")));
                EXPECT_EQ(reply.body, "body of /c");
                EXPECT_EQ(server.connectionCount(), 2u);
            },
            secure ? std::optional(certificate) : std::nullopt);
    }
}

TEST(HttpConnectionReuseTest, ClosesConnectionsItMayNotReuse) {
    struct Case {
        const char* name;
        std::function<asio::awaitable<void>(Exchange)> firstReply;
        std::function<asio::awaitable<void>(Client&, Request)> firstRequest;
    };
    auto fetchWhole = [](Client& client, Request request) -> asio::awaitable<void> {
        auto reply = co_await client.fetch(std::move(request));
        EXPECT_EQ(reply.status, 200);
    };
    const Case cases[] = {
        {"ServerSaysClose",
         [](Exchange exchange) -> asio::awaitable<void> {
             Headers headers{{"Connection", "close"}};
             co_await exchange->respond(200, headers, "bye");
         },
         fetchWhole},
        {"HTTP10Reply",
         [](Exchange exchange) -> asio::awaitable<void> {
             co_await exchange->writeRaw("HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nContent-Length: 2\r\n\r\nok");
         },
         fetchWhole},
        {"CallerSaysClose", answerPlainly,
         [fetchWhole](Client& client, Request request) -> asio::awaitable<void> {
             request.headers.set("Connection", "close");
             co_await fetchWhole(client, std::move(request));
         }},
        {"BodyDroppedUnread", answerPlainly,
         [](Client& client, Request request) -> asio::awaitable<void> {
             auto response = co_await client.send(std::move(request));
             EXPECT_EQ(response.status, 200);
         }},
        {"BodyDroppedAfterAChunk",
         [](Exchange exchange) -> asio::awaitable<void> {
             co_await exchange->startStream(200, {});
             co_await exchange->sendChunk("first");
             co_await platform::sleepFor(1h);
         },
         [](Client& client, Request request) -> asio::awaitable<void> {
             auto response = co_await client.send(std::move(request));
             EXPECT_EQ(co_await response.body.next(), "first");
         }},
        {"BodyCancelledAtItsEnd", answerPlainly,
         [](Client& client, Request request) -> asio::awaitable<void> {
             auto response = co_await client.send(std::move(request));
             response.cancel();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        withKeepAliveServer(
            [&c](Exchange exchange) -> asio::awaitable<void> {
                if (exchange->request().target == "/first") {
                    co_await c.firstReply(exchange);
                } else {
                    co_await exchange->respond(200, {}, "second");
                }
            },
            [&](LoopbackHttpServer& server, asio::any_io_executor executor) -> asio::awaitable<void> {
                Client client(executor);
                co_await c.firstRequest(client, get(server.url("/first")));
                auto reply = co_await client.fetch(get(server.url("/second")));
                EXPECT_EQ(reply.body, "second");
                EXPECT_EQ(connectionsOf(server), (std::vector<std::size_t>{1, 2}));
            });
    }
}

TEST(HttpConnectionReuseTest, SendsTheCallersConnectionHeader) {
    withKeepAliveServer(answerPlainly, [](LoopbackHttpServer& server, asio::any_io_executor executor) -> asio::awaitable<void> {
        Client client(executor);
        auto request = get(server.url("/"));
        request.headers.set("Connection", "close");
        co_await client.fetch(request);
        EXPECT_EQ(server.requests().at(0).headers.get("Connection"), "close");
        // Closed by the client at once, not left idle for a later request.
        EXPECT_TRUE(co_await eventually([&] { return server.closedIdleConnectionCount() == 1; }));
    });
}

TEST(HttpConnectionReuseTest, RetriesOnceOnANewConnectionWhenTheIdleOneWasClosed) {
    struct Case {
        const char* name;
        // How the server ends the first connection after answering its first request.
        bool closeAfterFirstReply;
        std::size_t requestsSeen;
    };
    // Closed right after the reply, the connection is seen dead before reuse or fails on it; closed
    // when the next request arrives, it fails on it. Either way the request goes out once more.
    constexpr Case kCases[] = {{"ClosedWhileIdle", true, 2}, {"ClosedAsTheRequestArrives", false, 3}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        withKeepAliveServer(
            [&c](Exchange exchange) -> asio::awaitable<void> {
                const auto& request = exchange->request();
                if (request.connection == 1 && request.target != "/first") {
                    exchange->close();
                    co_return;
                }
                co_await exchange->respond(200, {}, "answer to " + request.target);
                if (c.closeAfterFirstReply) exchange->close();
            },
            [&](LoopbackHttpServer& server, asio::any_io_executor executor) -> asio::awaitable<void> {
                Client client(executor);
                auto reply = co_await client.fetch(get(server.url("/first")));
                EXPECT_EQ(reply.body, "answer to /first");
                reply = co_await client.fetch(get(server.url("/again")));
                EXPECT_EQ(reply.body, "answer to /again");
                EXPECT_EQ(server.requests().size(), c.requestsSeen);
                EXPECT_EQ(server.connectionCount(), 2u);
            });
    }
}

TEST(HttpConnectionReuseTest, DoesNotRetryOnceTheServerMayHaveActed) {
    struct Case {
        const char* name;
        // Whether a first request leaves an idle connection for the one that fails.
        bool reused;
        std::string path;
        HttpError::Kind expected;
    };
    const Case cases[] = {
        // A new connection that fails was not closed under the request while idle.
        {"NewConnectionDropped", false, "/drop", HttpError::Kind::networkConnectionLost},
        // The answer had begun.
        {"AnswerCutShort", true, "/cut", HttpError::Kind::networkConnectionLost},
        // The server may still be working on it.
        {"NoAnswerInTime", true, "/stall", HttpError::Kind::timedOut},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        withKeepAliveServer(
            [](Exchange exchange) -> asio::awaitable<void> {
                const auto& target = exchange->request().target;
                if (target == "/drop") {
                    exchange->close();
                } else if (target == "/cut") {
                    co_await exchange->writeRaw("HTTP/1.1 200 OK\r\nContent-");
                    exchange->close();
                } else if (target == "/stall") {
                    co_await platform::sleepFor(1h);
                } else {
                    co_await exchange->respond(200, {}, "fine");
                }
            },
            [&](LoopbackHttpServer& server, asio::any_io_executor executor) -> asio::awaitable<void> {
                Client client(executor);
                if (c.reused) co_await client.fetch(get(server.url("/first")));
                auto failing = get(server.url(c.path));
                failing.timeout = 200ms;
                auto error = co_await failureOf(client.fetch(failing));
                EXPECT_TRUE(error && error->kind == c.expected) << (error ? error->what() : "no error");
                EXPECT_EQ(server.requests().size(), c.reused ? 2u : 1u);
            });
    }
}

TEST(HttpConnectionReuseTest, ConcurrentRequestsUseSeparateConnections) {
    auto arrived = std::make_shared<int>(0);
    withKeepAliveServer(
        [arrived](Exchange exchange) -> asio::awaitable<void> {
            // Both requests are in flight at once: neither is answered before the other came.
            ++*arrived;
            // Named: g++ 12 destroys a capturing lambda made inside a co_await statement twice.
            std::function<bool()> bothArrived = [arrived] { return *arrived >= 2; };
            co_await eventually(bothArrived);
            co_await exchange->respond(200, {}, exchange->request().target);
        },
        [&](LoopbackHttpServer& server, asio::any_io_executor executor) -> asio::awaitable<void> {
            Client client(executor);
            auto first = platform::spawn(executor, client.fetch(get(server.url("/one"))));
            auto second = platform::spawn(executor, client.fetch(get(server.url("/two"))));
            EXPECT_EQ((co_await first.value()).body, "/one");
            EXPECT_EQ((co_await second.value()).body, "/two");
            EXPECT_EQ(server.connectionCount(), 2u);

            // Both went back to the pool: two more at once need no new connection.
            first = platform::spawn(executor, client.fetch(get(server.url("/three"))));
            second = platform::spawn(executor, client.fetch(get(server.url("/four"))));
            co_await first.value();
            co_await second.value();
            EXPECT_EQ(server.connectionCount(), 2u);
        });
}

TEST(HttpConnectionReuseTest, AnEventStreamHoldsItsConnectionUntilItEnds) {
    platform::OneShot<void> endEvents;
    withKeepAliveServer(
        [endEvents](Exchange exchange) -> asio::awaitable<void> {
            if (exchange->request().target != "/events") {
                co_await answerPlainly(exchange);
                co_return;
            }
            Headers headers{{"Content-Type", "text/event-stream"}};
            co_await exchange->startStream(200, headers);
            co_await exchange->sendChunk("data: 1\n\n");
            co_await endEvents.wait();
            co_await exchange->sendChunk("data: 2\n\n");
            co_await exchange->endStream();
        },
        [&](LoopbackHttpServer& server, asio::any_io_executor executor) -> asio::awaitable<void> {
            Client client(executor);
            auto events = get(server.url("/events"));
            events.headers.set("Accept", "text/event-stream");
            auto stream = co_await client.send(events);
            EXPECT_EQ(co_await stream.body.next(), "data: 1\n\n");
            co_await client.fetch(get(server.url("/")));
            co_await client.fetch(get(server.url("/")));
            EXPECT_EQ(connectionsOf(server), (std::vector<std::size_t>{1, 2, 2}));

            endEvents.resume();
            EXPECT_EQ(co_await stream.body.readAll(), "data: 2\n\n");
            // The stream's connection and the other one are both idle now.
            auto first = platform::spawn(executor, client.fetch(get(server.url("/"))));
            auto second = platform::spawn(executor, client.fetch(get(server.url("/"))));
            co_await first.value();
            co_await second.value();
            EXPECT_EQ(server.connectionCount(), 2u);
        });
}

TEST(HttpConnectionReuseTest, KeepsFewIdleConnectionsForALimitedTime) {
    withKeepAliveServer(answerPlainly, [](LoopbackHttpServer& server, asio::any_io_executor executor) -> asio::awaitable<void> {
        ClientOptions options;
        options.maxIdleConnectionsPerOrigin = 1;
        Client client(executor, options);
        auto fetchTwoAtOnce = [&]() -> asio::awaitable<void> {
            auto first = platform::spawn(executor, client.fetch(get(server.url("/"))));
            auto second = platform::spawn(executor, client.fetch(get(server.url("/"))));
            co_await first.value();
            co_await second.value();
        };
        co_await fetchTwoAtOnce();
        EXPECT_TRUE(co_await eventually([&] { return server.closedIdleConnectionCount() == 1; }));
        co_await fetchTwoAtOnce();
        EXPECT_EQ(server.connectionCount(), 3u);
    });

    // Past their lifetime, idle connections close instead of serving the next request.
    withKeepAliveServer(answerPlainly, [](LoopbackHttpServer& server, asio::any_io_executor executor) -> asio::awaitable<void> {
        ClientOptions options;
        options.idleConnectionLifetime = 0s;
        Client client(executor, options);
        co_await client.fetch(get(server.url("/")));
        co_await client.fetch(get(server.url("/")));
        EXPECT_EQ(server.connectionCount(), 2u);
        EXPECT_TRUE(co_await eventually([&] { return server.closedIdleConnectionCount() == 1; }));
    });
}

TEST(HttpConnectionReuseTest, InvalidationAndTheClientsEndCloseIdleConnections) {
    withKeepAliveServer(answerPlainly, [](LoopbackHttpServer& server, asio::any_io_executor executor) -> asio::awaitable<void> {
        Client client(executor);
        co_await client.fetch(get(server.url("/")));
        client.invalidateAndCancel();
        EXPECT_TRUE(co_await eventually([&] { return server.closedIdleConnectionCount() == 1; }));

        {
            Client shortLived(executor);
            co_await shortLived.fetch(get(server.url("/")));
        }
        EXPECT_TRUE(co_await eventually([&] { return server.closedIdleConnectionCount() == 2; }));
    });
}

}  // namespace
