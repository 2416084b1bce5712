#include "eventsource/event_source.hpp"

#include "platform/async/cancellation.hpp"
#include "platform/async/one_shot.hpp"
#include "platform/describe.hpp"
#include "platform/json/decoding_error.hpp"
#include "support/loopback_http_server.hpp"
#include "support/eventually.hpp"
#include "support/run_async.hpp"

#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

namespace asio = boost::asio;
using namespace std::chrono_literals;
using eventsource::Event;
using eventsource::EventSource;
using eventsource::EventSourceError;
using platform::http::Headers;
using testing_support::LoopbackHttpServer;
using testing_support::eventually;
using testing_support::runAsync;
using Exchange = std::shared_ptr<LoopbackHttpServer::Exchange>;
using ReadyState = EventSource::ReadyState;

Event data(std::string text, std::optional<std::string> id = std::nullopt) {
    return Event{std::move(id), std::nullopt, std::move(text), std::nullopt};
}

asio::awaitable<void> stall() { co_await platform::sleepFor(1h); }

// What a source reported, in order: "open", "event:<data>", "end" or "error:<description>".
struct Recorder {
    std::vector<std::string> log;
    std::vector<Event> events;

    void attach(EventSource& source) {
        source.onOpen([this]() -> asio::awaitable<void> {
            log.push_back("open");
            co_return;
        });
        source.onMessage([this](Event event) -> asio::awaitable<void> {
            log.push_back("event:" + event.data);
            events.push_back(std::move(event));
            co_return;
        });
        source.onError([this](std::exception_ptr error) -> asio::awaitable<void> {
            log.push_back(error ? "error:" + platform::describe(error) : "end");
            co_return;
        });
    }
    std::size_t count(std::string_view prefix) const {
        return std::count_if(log.begin(), log.end(), [prefix](const auto& line) { return line.starts_with(prefix); });
    }
};

Headers eventStreamHeaders() { return Headers{{"Content-Type", "text/event-stream"}}; }

TEST(EventSourceTest, ResumesWithLastEventIdAfterADropMidEventWithoutGluingLines) {
    asio::io_context io;
    std::vector<std::chrono::steady_clock::time_point> arrivals;
    LoopbackHttpServer server(io.get_executor(), [&](Exchange exchange) -> asio::awaitable<void> {
        arrivals.push_back(std::chrono::steady_clock::now());
        auto headers = eventStreamHeaders();
        co_await exchange->startStream(200, headers);
        if (arrivals.size() == 1) {
            co_await exchange->sendChunk("retry: 50\nid: 1\ndata: a\n\ndata: hal");
            exchange->close();
        } else if (arrivals.size() == 2) {
            co_await exchange->sendChunk("f\ndata: b\n\n");
            co_await exchange->endStream();
        } else {
            co_await stall();
        }
    });
    Recorder recorder;
    runAsync(io, [&]() -> asio::awaitable<void> {
        auto source = EventSource::create(io.get_executor(), boost::urls::url(server.url("/events")));
        recorder.attach(*source);
        EXPECT_TRUE(co_await eventually([&] { return recorder.count("open") == 3; }));
        source->close();
        EXPECT_EQ(source->readyState(), ReadyState::closed);
    });
    ASSERT_EQ(server.requests().size(), 3u);
    EXPECT_FALSE(server.requests()[0].headers.contains("Last-Event-ID"));
    EXPECT_EQ(server.requests()[0].headers.get("Accept"), "text/event-stream");
    EXPECT_EQ(server.requests()[0].headers.get("Cache-Control"), "no-cache");
    EXPECT_EQ(server.requests()[1].headers.get("Last-Event-ID"), "1");
    EXPECT_EQ(server.requests()[2].headers.get("Last-Event-ID"), "1");
    // The half line "data: hal" died with its connection; "f" alone is an unknown field.
    EXPECT_EQ(recorder.events, (std::vector<Event>{Event{"1", std::nullopt, "a", 50}, data("b")}));
    ASSERT_EQ(recorder.log.size(), 7u);
    EXPECT_TRUE(recorder.log[2].starts_with("error:The network connection was lost")) << recorder.log[2];
    recorder.log[2] = "error";
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"open", "event:a", "error", "open", "event:b", "end", "open"}));
    // "retry: 50" set the waits, not the default of three seconds.
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        EXPECT_GE(arrivals[i] - arrivals[i - 1], 50ms);
        EXPECT_LT(arrivals[i] - arrivals[i - 1], 3000ms);
    }
}

TEST(EventSourceTest, UnacceptableRepliesCloseWithoutRetry) {
    struct Case {
        const char* name;
        int status;
        std::optional<std::string> contentType;
        std::string description;
    };
    const Case cases[] = {
        {"NoContent", 204, "text/event-stream", "Invalid HTTP response status code: 204"},
        {"Redirect", 302, "text/event-stream", "Invalid HTTP response status code: 302"},
        {"NotFound", 404, "text/event-stream", "Invalid HTTP response status code: 404"},
        {"NoType", 200, std::nullopt, "Missing Content-Type header in SSE response"},
        {"Json", 200, "application/json", "Invalid Content-Type for SSE: application/json"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        asio::io_context io;
        LoopbackHttpServer server(io.get_executor(), [&](Exchange exchange) -> asio::awaitable<void> {
            Headers headers;
            if (c.contentType) headers.set("Content-Type", *c.contentType);
            co_await exchange->respond(c.status, headers, "retry: 1\ndata: x\n\n");
        });
        Recorder recorder;
        runAsync(io, [&]() -> asio::awaitable<void> {
            auto source = EventSource::create(io.get_executor(), boost::urls::url(server.url("/")));
            recorder.attach(*source);
            EXPECT_TRUE(co_await eventually([&] { return source->readyState() == ReadyState::closed; }));
        });
        EXPECT_EQ(recorder.log, std::vector<std::string>{"error:" + c.description});
        EXPECT_EQ(server.requests().size(), 1u);
    }
}

TEST(EventSourceTest, AcceptsTheTypeWithoutRegardToCaseAndWithParameters) {
    asio::io_context io;
    LoopbackHttpServer server(io.get_executor(), [](Exchange exchange) -> asio::awaitable<void> {
        Headers headers{{"Content-Type", "Text/Event-Stream; charset=utf-8"}};
        co_await exchange->startStream(200, headers);
        co_await exchange->sendChunk("data: x\n\n");
        co_await stall();
    });
    Recorder recorder;
    runAsync(io, [&]() -> asio::awaitable<void> {
        auto source = EventSource::create(io.get_executor(), boost::urls::url(server.url("/")));
        recorder.attach(*source);
        EXPECT_TRUE(co_await eventually([&] { return !recorder.events.empty(); }));
        EXPECT_EQ(source->readyState(), ReadyState::open);
        source->close();
    });
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"open", "event:x"}));
}

TEST(EventSourceTest, CloseDuringAHugeRetryWaitEndsAtOnce) {
    asio::io_context io;
    LoopbackHttpServer server(io.get_executor(), [](Exchange exchange) -> asio::awaitable<void> {
        auto headers = eventStreamHeaders();
        co_await exchange->startStream(200, headers);
        // Far beyond what fits a nanosecond count: the wait is clamped, not overflowed.
        co_await exchange->sendChunk("retry: 9223372036854775807\ndata: x\n\n");
        co_await exchange->endStream();
    });
    Recorder recorder;
    runAsync(io, [&]() -> asio::awaitable<void> {
        auto source = EventSource::create(io.get_executor(), boost::urls::url(server.url("/")));
        recorder.attach(*source);
        EXPECT_TRUE(co_await eventually([&] { return recorder.count("end") == 1; }));
        EXPECT_EQ(source->readyState(), ReadyState::open);
        source->close();
        EXPECT_EQ(source->readyState(), ReadyState::closed);
        std::weak_ptr<EventSource> weak = source;
        source.reset();
        // The loop let go of the source: it ended instead of waiting on.
        EXPECT_TRUE(co_await eventually([&] { return weak.expired(); }));
    });
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"open", "event:x", "end"}));
}

TEST(EventSourceTest, UnterminatedLastEventIsHandedOutUpToTheFinalisationLimit) {
    for (int limit : {100, 0}) {
        SCOPED_TRACE(limit);
        asio::io_context io;
        LoopbackHttpServer server(io.get_executor(), [](Exchange exchange) -> asio::awaitable<void> {
            auto headers = eventStreamHeaders();
            co_await exchange->startStream(200, headers);
            co_await exchange->sendChunk("retry: 3600000\ndata: a\n\ndata: last");
            co_await exchange->endStream();
        });
        Recorder recorder;
        runAsync(io, [&]() -> asio::awaitable<void> {
            auto source = EventSource::create(io.get_executor(), boost::urls::url(server.url("/")));
            source->setMaximumFinalizationEventCount(limit);
            recorder.attach(*source);
            EXPECT_TRUE(co_await eventually([&] { return recorder.count("end") == 1; }));
            source->close();
        });
        if (limit > 0) {
            EXPECT_EQ(recorder.log, (std::vector<std::string>{"open", "event:a", "event:last", "end"}));
        } else {
            EXPECT_EQ(recorder.log, (std::vector<std::string>{"open", "event:a", "end"}));
        }
    }
}

TEST(EventSourceTest, HandlersApplyInCallOrderAndAnEmptyOneChangesNothing) {
    asio::io_context io;
    LoopbackHttpServer server(io.get_executor(), [](Exchange exchange) -> asio::awaitable<void> {
        auto headers = eventStreamHeaders();
        co_await exchange->startStream(200, headers);
        co_await exchange->sendChunk("data: x\n\n");
        co_await stall();
    });
    std::vector<std::string> calls;
    runAsync(io, [&]() -> asio::awaitable<void> {
        platform::http::Request request;
        request.url = boost::urls::url(server.url("/"));
        request.headers.set("X-Own", "1");
        auto source = EventSource::create(io.get_executor(), request);
        source->onMessage([&](Event) -> asio::awaitable<void> {
            calls.push_back("first");
            co_return;
        });
        source->onMessage([&](Event) -> asio::awaitable<void> {
            calls.push_back("second");
            co_return;
        });
        source->onMessage(nullptr);
        EXPECT_TRUE(co_await eventually([&] { return !calls.empty(); }));
        source->close();
    });
    EXPECT_EQ(calls, std::vector<std::string>{"second"});
    // A source made from a request sends only that request's headers.
    const auto& sent = server.requests().at(0).headers;
    EXPECT_EQ(sent.get("X-Own"), "1");
    EXPECT_FALSE(sent.contains("Accept"));
    EXPECT_FALSE(sent.contains("Cache-Control"));
}

TEST(EventSourceTest, TransportFailuresAreRetriedAfterTheReconnectionTime) {
    asio::io_context io;
    int attempts = 0;
    LoopbackHttpServer server(io.get_executor(), [&](Exchange exchange) -> asio::awaitable<void> {
        ++attempts;
        auto headers = eventStreamHeaders();
        co_await exchange->startStream(200, headers);
        co_await exchange->sendChunk("retry: 10\n\n");
        exchange->close();
    });
    Recorder recorder;
    runAsync(io, [&]() -> asio::awaitable<void> {
        auto source = EventSource::create(io.get_executor(), boost::urls::url(server.url("/")));
        recorder.attach(*source);
        EXPECT_TRUE(co_await eventually([&] { return recorder.count("error:") >= 3; }));
        source->close();
    });
    EXPECT_GE(attempts, 3);
    EXPECT_EQ(recorder.count("end"), 0u);
}

TEST(EventSourceTest, ReadyStateTexts) {
    EXPECT_EQ(eventsource::description(ReadyState::connecting), "connecting");
    EXPECT_EQ(eventsource::description(ReadyState::open), "open");
    EXPECT_EQ(eventsource::description(ReadyState::closed), "closed");
    EXPECT_EQ(eventsource::toJSON(ReadyState::closed), boost::json::value(2));
    EXPECT_EQ(eventsource::readyStateFromJSON(boost::json::value(1)), ReadyState::open);
    EXPECT_THROW(eventsource::readyStateFromJSON(boost::json::value(3)), platform::json::DecodingError);
}

}  // namespace
