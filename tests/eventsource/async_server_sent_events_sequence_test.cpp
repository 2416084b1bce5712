#include "eventsource/async_server_sent_events_sequence.hpp"

#include "platform/async/async_stream.hpp"
#include "support/run_async.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace asio = boost::asio;
using eventsource::Event;
using platform::AsyncStream;
using testing_support::runAsync;

// A source that counts the chunks taken from it, to show the iterator reads no further than it must.
struct CountingSource {
    AsyncStream<std::string> stream;
    std::shared_ptr<int> taken = std::make_shared<int>(0);

    asio::awaitable<std::optional<std::string>> next() {
        ++*taken;
        return stream.next();
    }
};

Event data(std::string text) { return Event{std::nullopt, std::nullopt, std::move(text), std::nullopt}; }

TEST(AsyncServerSentEventsSequenceTest, EmptySourceYieldsNothing) {
    runAsync([]() -> asio::awaitable<void> {
        AsyncStream<std::string> source;
        source.finish();
        auto iterator = eventsource::events(source).makeAsyncIterator();
        EXPECT_EQ(co_await iterator.next(), std::nullopt);
        EXPECT_EQ(co_await iterator.next(), std::nullopt);
    });
}

TEST(AsyncServerSentEventsSequenceTest, HandsOutEachEventWithoutReadingAhead) {
    runAsync([]() -> asio::awaitable<void> {
        CountingSource source;
        source.stream.yield("data: 1\n\ndata: 2\n\n");
        source.stream.yield("data: 3\n\n");
        auto iterator = eventsource::events(source).makeAsyncIterator();
        EXPECT_EQ(co_await iterator.next(), data("1"));
        EXPECT_EQ(co_await iterator.next(), data("2"));
        EXPECT_EQ(*source.taken, 1);
        // The third event completes with the second chunk; the source is not asked again.
        EXPECT_EQ(co_await iterator.next(), data("3"));
        EXPECT_EQ(*source.taken, 2);
    });
}

TEST(AsyncServerSentEventsSequenceTest, UnterminatedEventComesLast) {
    runAsync([]() -> asio::awaitable<void> {
        AsyncStream<std::string> source;
        source.yield("data: a\n\ndata: b");
        source.finish();
        auto iterator = eventsource::events(source).makeAsyncIterator();
        EXPECT_EQ(co_await iterator.next(), data("a"));
        EXPECT_EQ(co_await iterator.next(), data("b"));
        EXPECT_EQ(co_await iterator.next(), std::nullopt);
    });
}

TEST(AsyncServerSentEventsSequenceTest, SourceErrorFollowsTheEventsBeforeIt) {
    runAsync([]() -> asio::awaitable<void> {
        AsyncStream<std::string> source;
        source.yield("data: a\n\n");
        source.finish(std::make_exception_ptr(std::runtime_error("dropped")));
        auto iterator = eventsource::events(source).makeAsyncIterator();
        EXPECT_EQ(co_await iterator.next(), data("a"));
        try {
            co_await iterator.next();
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "dropped");
        }
    });
}

TEST(AsyncServerSentEventsSequenceTest, EachIteratorParsesFromAFreshState) {
    runAsync([]() -> asio::awaitable<void> {
        AsyncStream<std::string> first;
        first.yield("id: 1\ndata: a\n\n");
        first.finish();
        AsyncStream<std::string> second;
        second.yield("data: b\n\n");
        second.finish();
        auto one = eventsource::events(first).makeAsyncIterator();
        auto two = eventsource::events(second).makeAsyncIterator();
        co_await one.next();
        auto event = co_await two.next();
        EXPECT_EQ(event, data("b"));
        EXPECT_EQ(one.parser().getLastEventId(), "1");
        EXPECT_EQ(two.parser().getLastEventId(), "");
    });
}

}  // namespace
