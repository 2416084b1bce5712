#include "platform/http/client.hpp"

#include "platform/async/cancellation.hpp"
#include "platform/async/one_shot.hpp"
#include "platform/http/fetch_blocking.hpp"
#include "support/loopback_http_server.hpp"
#include "support/run_async.hpp"
#include "support/http_client_fixture.hpp"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <gtest/gtest.h>

#include <thread>

namespace {

namespace asio = boost::asio;
using namespace std::chrono_literals;
using platform::http::BufferedResponse;
using platform::http::Client;
using platform::http::Headers;
using platform::http::HttpError;
using platform::http::Request;
using testing_support::failureOf;
using testing_support::get;
using testing_support::LoopbackHttpServer;
using testing_support::runAsync;
using testing_support::TestCertificate;
using testing_support::withServer;
using Exchange = std::shared_ptr<LoopbackHttpServer::Exchange>;

asio::awaitable<void> stall() { co_await platform::sleepFor(1h); }

// Lets the other tasks run up to their next wait.
asio::awaitable<void> yieldTurns(int turns = 20) {
    for (int i = 0; i < turns; ++i) {
        auto executor = co_await asio::this_coro::executor;
        co_await asio::post(executor, asio::use_awaitable);
    }
}

TEST(HeadersTest, AddJoinsSetReplacesOrderIsKept) {
    Headers headers;
    headers.add("Accept", "application/json");
    headers.add("X-Trace", "1");
    headers.add("accept", "text/event-stream");
    headers.set("X-TRACE", "2");
    headers.set("Authorization", "Bearer t");
    EXPECT_EQ(headers.fields(), (std::vector<Headers::Field>{{"Accept", "application/json, text/event-stream"},
                                                             {"X-Trace", "2"},
                                                             {"Authorization", "Bearer t"}}));
    EXPECT_EQ(headers.get("AUTHORIZATION"), "Bearer t");
    headers.remove("authorization");
    EXPECT_FALSE(headers.contains("Authorization"));
}

TEST(HttpClientTest, SendsTheRequestAndHandsOutTheHeadBeforeTheBody) {
    platform::OneShot<void> sendBody;
    withServer(
        [sendBody](Exchange exchange) -> asio::awaitable<void> {
            Headers headers{{"Content-Type", "text/plain"}, {"X-Multi", "a"}, {"x-multi", "b"}};
            co_await exchange->startStream(200, headers);
            co_await sendBody.wait();
            co_await exchange->sendChunk("hello ");
            co_await exchange->sendChunk("world");
            co_await exchange->endStream();
        },
        [&](LoopbackHttpServer& server, asio::any_io_executor executor) -> asio::awaitable<void> {
            Client client(executor);
            auto request = get(server.url("/path?q=1"));
            request.method = "POST";
            request.headers.set("X-First", "1");
            request.headers.set("Content-Type", "application/json");
            request.body = R"({"a":1})";
            auto response = co_await client.send(std::move(request));
            // The body has not been sent yet: the head arrived on its own.
            EXPECT_EQ(response.status, 200);
            EXPECT_EQ(response.headers.get("content-type"), "text/plain");
            EXPECT_EQ(response.headers.get("X-Multi"), "a, b");
            sendBody.resume();
            std::string body;
            while (auto chunk = co_await response.body.next()) body += *chunk;
            EXPECT_EQ(body, "hello world");
            EXPECT_EQ(co_await response.body.next(), std::nullopt);

            const auto& recorded = server.requests().at(0);
            EXPECT_EQ(recorded.method, "POST");
            EXPECT_EQ(recorded.target, "/path?q=1");
            EXPECT_EQ(recorded.body, R"({"a":1})");
            EXPECT_EQ(recorded.headers.fields().at(0).first, "X-First");
            EXPECT_EQ(recorded.headers.get("Host"), "127.0.0.1:" + std::to_string(server.port()));
            EXPECT_EQ(recorded.headers.get("Content-Length"), "7");
        });
}

TEST(HttpClientTest, ConnectsOverTLSOnlyWhenTheNameMatchesATrustedCertificate) {
    const auto certificate = TestCertificate::make({"DNS:localhost"});
    withServer(
        [](Exchange exchange) -> asio::awaitable<void> { co_await exchange->respond(200, {}, "secret"); },
        [&](LoopbackHttpServer& server, asio::any_io_executor executor) -> asio::awaitable<void> {
            platform::http::ClientOptions options;
            options.tls = certificate.clientContext();
            Client trusting(executor, options);
            auto reply = co_await trusting.fetch(get(server.url("localhost", "/")));
            EXPECT_EQ(reply.body, "secret");
            EXPECT_EQ(server.requests().at(0).serverName, "localhost");

            // The certificate names localhost, not the address.
            auto mismatch = co_await failureOf(trusting.fetch(get(server.url("127.0.0.1", "/"))));
            EXPECT_TRUE(mismatch && mismatch->kind == HttpError::Kind::secureConnectionFailed);

            // The system's authorities do not know the test certificate.
            Client system(executor);
            auto untrusted = co_await failureOf(system.fetch(get(server.url("localhost", "/"))));
            EXPECT_TRUE(untrusted && untrusted->kind == HttpError::Kind::secureConnectionFailed);
            EXPECT_EQ(server.requests().size(), 1u);
        },
        certificate);
}

TEST(HttpClientTest, TimesOutWithoutProgressAndAtTheDeadline) {
    withServer(
        [](Exchange exchange) -> asio::awaitable<void> {
            if (exchange->request().target == "/slow-body") {
                co_await exchange->startStream(200, {});
                co_await exchange->sendChunk("first");
            }
            co_await stall();
        },
        [&](LoopbackHttpServer& server, asio::any_io_executor executor) -> asio::awaitable<void> {
            Client client(executor);
            auto noHead = get(server.url("/no-head"));
            noHead.timeout = 50ms;
            auto error = co_await failureOf(client.send(noHead));
            EXPECT_TRUE(error && error->kind == HttpError::Kind::timedOut);

            auto slowBody = get(server.url("/slow-body"));
            // Long enough for the head on a busy machine; the body then stalls for good.
            slowBody.timeout = 250ms;
            auto response = co_await client.send(slowBody);
            EXPECT_EQ(co_await response.body.next(), "first");
            error = co_await failureOf(response.body.next());
            EXPECT_TRUE(error && error->kind == HttpError::Kind::timedOut);

            auto pastDeadline = get(server.url("/slow-body"));
            pastDeadline.deadline = std::chrono::steady_clock::now() + 80ms;
            error = co_await failureOf(client.fetch(pastDeadline));
            EXPECT_TRUE(error && error->kind == HttpError::Kind::timedOut);
        });
}

TEST(HttpClientTest, FollowsRedirectsOnlyForGetAndKeepsAuthorizationInItsOrigin) {
    asio::io_context io;
    LoopbackHttpServer other(io.get_executor(), [](Exchange exchange) -> asio::awaitable<void> {
        co_await exchange->respond(200, {}, "other");
    });
    const auto otherURL = other.url("/elsewhere");
    LoopbackHttpServer server(io.get_executor(), [otherURL](Exchange exchange) -> asio::awaitable<void> {
        const auto& target = exchange->request().target;
        Headers headers;
        int status = 200;
        if (target == "/moved") status = 302, headers.set("Location", "/target");
        else if (target == "/away") status = 307, headers.set("Location", otherURL);
        else if (target == "/loop") status = 301, headers.set("Location", "/loop");
        co_await exchange->respond(status, headers, status == 200 ? "here" : "");
    });
    runAsync(io, [&]() -> asio::awaitable<void> {
        platform::http::ClientOptions options;
        options.maxRedirects = 3;
        Client client(io.get_executor(), options);
        auto moved = get(server.url("/moved"));
        moved.headers.set("Authorization", "Bearer local");
        auto reply = co_await client.fetch(moved);
        EXPECT_EQ(reply.status, 200);
        EXPECT_EQ(reply.body, "here");
        EXPECT_EQ(reply.url.path(), "/target");
        EXPECT_EQ(server.requests().back().headers.get("Authorization"), "Bearer local");

        auto post = get(server.url("/moved"));
        post.method = "POST";
        post.body = "{}";
        reply = co_await client.fetch(post);
        EXPECT_EQ(reply.status, 302);
        EXPECT_EQ(server.requests().back().target, "/moved");

        auto unfollowed = get(server.url("/moved"));
        unfollowed.followRedirects = false;
        reply = co_await client.fetch(unfollowed);
        EXPECT_EQ(reply.status, 302);

        auto away = get(server.url("/away"));
        away.headers.set("Authorization", "Bearer local");
        reply = co_await client.fetch(away);
        EXPECT_EQ(reply.body, "other");
        EXPECT_FALSE(other.requests().back().headers.contains("Authorization"));

        auto error = co_await failureOf(client.fetch(get(server.url("/loop"))));
        EXPECT_TRUE(error && error->kind == HttpError::Kind::tooManyRedirects);
    });
}

TEST(HttpClientTest, CancellationStopsAResponseInFlight) {
    withServer(
        [](Exchange exchange) -> asio::awaitable<void> {
            if (exchange->request().target != "/no-head") co_await exchange->startStream(200, {});
            co_await stall();
        },
        [&](LoopbackHttpServer& server, asio::any_io_executor executor) -> asio::awaitable<void> {
            Client client(executor);
            auto response = co_await client.send(get(server.url("/")));
            auto reading = platform::spawn(executor, response.body.next());
            co_await yieldTurns();
            response.cancel();
            auto error = co_await failureOf(reading.value());
            EXPECT_TRUE(error && error->kind == HttpError::Kind::cancelled);

            // Cancelling the task that waits gives it its cancellation.
            auto body = (co_await client.send(get(server.url("/")))).body;
            auto task = platform::spawn(executor, body.next());
            co_await yieldTurns();
            task.cancel();
            auto cancelled = co_await failureOf<platform::CancellationError>(task.value());
            EXPECT_TRUE(cancelled.has_value());

            // Invalidating the client stops what is in flight and what comes later.
            auto pending = platform::spawn(executor, client.send(get(server.url("/no-head"))));
            co_await yieldTurns();
            client.invalidateAndCancel();
            auto invalidated = co_await failureOf(pending.value());
            EXPECT_TRUE(invalidated && invalidated->kind == HttpError::Kind::cancelled);
            auto later = co_await failureOf(client.send(get(server.url("/"))));
            EXPECT_TRUE(later && later->kind == HttpError::Kind::cancelled);
        });
}

TEST(HttpClientTest, ReportsConnectionsThatFailOrEndEarly) {
    withServer(
        [](Exchange exchange) -> asio::awaitable<void> {
            if (exchange->request().target == "/garbage") {
                co_await exchange->writeRaw("NOT HTTP\r\n\r\n");
                exchange->close();
                co_return;
            }
            co_await exchange->startStream(200, {});
            co_await exchange->sendChunk("data: half");
            exchange->close();
        },
        [&](LoopbackHttpServer& server, asio::any_io_executor executor) -> asio::awaitable<void> {
            Client client(executor);
            auto response = co_await client.send(get(server.url("/drop")));
            EXPECT_EQ(co_await response.body.next(), "data: half");
            auto lost = co_await failureOf(response.body.next());
            EXPECT_TRUE(lost && lost->kind == HttpError::Kind::networkConnectionLost);
            // The failure stays: the body never reads as complete.
            lost = co_await failureOf(response.body.next());
            EXPECT_TRUE(lost && lost->kind == HttpError::Kind::networkConnectionLost);

            auto garbage = co_await failureOf(client.send(get(server.url("/garbage"))));
            EXPECT_TRUE(garbage && garbage->kind == HttpError::Kind::badServerResponse);

            const auto closedPort = server.port();
            server.stop();
            auto refused = co_await failureOf(client.send(get("http://127.0.0.1:" + std::to_string(closedPort) + "/")));
            EXPECT_TRUE(refused && refused->kind == HttpError::Kind::cannotConnectToHost);

            auto unsupported = co_await failureOf(client.send(get("ftp://127.0.0.1/")));
            EXPECT_TRUE(unsupported && unsupported->kind == HttpError::Kind::badURL);
        });
}

TEST(HttpClientTest, ReadsWholeBodiesWithinALimit) {
    withServer(
        [](Exchange exchange) -> asio::awaitable<void> { co_await exchange->respond(200, {}, std::string(1000, 'x')); },
        [&](LoopbackHttpServer& server, asio::any_io_executor executor) -> asio::awaitable<void> {
            Client client(executor);
            auto reply = co_await client.fetch(get(server.url("/")), 1000);
            EXPECT_EQ(reply.body.size(), 1000u);
            auto error = co_await failureOf(client.fetch(get(server.url("/")), 999));
            EXPECT_TRUE(error && error->kind == HttpError::Kind::responseTooLarge);
        });
}

TEST(HttpClientTest, FetchesBlockingFromOutsideAnyRuntime) {
    asio::io_context serverIO;
    auto work = asio::make_work_guard(serverIO);
    LoopbackHttpServer server(serverIO.get_executor(), [](Exchange exchange) -> asio::awaitable<void> {
        if (exchange->request().target == "/stall") co_await stall();
        Headers headers{{"X-Reply", "yes"}};
        co_await exchange->respond(201, headers, "made");
    });
    std::thread serverThread([&] { serverIO.run(); });

    auto reply = platform::http::fetchBlocking(get(server.url("/")));
    EXPECT_EQ(reply.status, 201);
    EXPECT_EQ(reply.headers.get("X-Reply"), "yes");
    EXPECT_EQ(reply.body, "made");
    try {
        platform::http::BlockingOptions options;
        options.limit = 50ms;
        platform::http::fetchBlocking(get(server.url("/stall")), options);
        ADD_FAILURE() << "no time-out";
    } catch (const HttpError& error) {
        EXPECT_EQ(error.kind, HttpError::Kind::timedOut);
    }

    // A blocking caller can stream a body too.
    std::string streamed;
    platform::http::runBlocking(
        [&](asio::any_io_executor executor) -> asio::awaitable<void> {
            Client client(executor);
            auto response = co_await client.send(get(server.url("/")));
            while (auto chunk = co_await response.body.next()) streamed += *chunk;
        },
        10s);
    EXPECT_EQ(streamed, "made");
    EXPECT_THROW(platform::http::runBlocking(
                     [&](asio::any_io_executor executor) -> asio::awaitable<void> {
                         Client client(executor);
                         co_await client.send(get(server.url("/stall")));
                     },
                     50ms),
                 HttpError);

    serverIO.stop();
    serverThread.join();
}

}  // namespace
