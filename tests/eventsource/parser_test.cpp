#include "eventsource/parser.hpp"

#include "eventsource/async_server_sent_events_sequence.hpp"
#include "platform/async/async_stream.hpp"
#include "platform/json/decoding_error.hpp"
#include "support/run_async.hpp"

#include <boost/json/parse.hpp>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace {

using eventsource::Event;
using eventsource::EventStreamLimitError;
using eventsource::Parser;

std::vector<Event> drain(Parser& parser) {
    std::vector<Event> events;
    while (auto event = parser.getNextEvent()) events.push_back(std::move(*event));
    return events;
}

std::vector<Event> feed(Parser& parser, std::string_view bytes) {
    std::vector<Event> events;
    for (char byte : bytes) {
        parser.consume(static_cast<std::uint8_t>(byte));
        for (auto& event : drain(parser)) events.push_back(std::move(event));
    }
    return events;
}

struct Outcome {
    std::vector<Event> events;
    std::string lastEventId;
    std::int64_t reconnectionTime = 0;
    bool operator==(const Outcome&) const = default;
};

// Feeds the chunks one after the other, then finishes the stream.
Outcome parse(const std::vector<std::string_view>& chunks, bool finish = true) {
    Parser parser;
    Outcome outcome;
    for (auto chunk : chunks) {
        for (auto& event : feed(parser, chunk)) outcome.events.push_back(std::move(event));
    }
    if (finish) {
        parser.finish();
        for (auto& event : drain(parser)) outcome.events.push_back(std::move(event));
    }
    outcome.lastEventId = parser.getLastEventId();
    outcome.reconnectionTime = parser.getReconnectionTime();
    return outcome;
}

// Reads the chunks through the event sequence, which hands the parser one chunk at a time.
Outcome parseChunked(const std::vector<std::string_view>& chunks) {
    return testing_support::runAsync([chunks]() -> boost::asio::awaitable<Outcome> {
        platform::AsyncStream<std::string> source;
        for (auto chunk : chunks) source.yield(std::string(chunk));
        source.finish();
        auto iterator = eventsource::events(source).makeAsyncIterator();
        Outcome outcome;
        while (auto event = co_await iterator.next()) outcome.events.push_back(std::move(*event));
        outcome.lastEventId = iterator.parser().getLastEventId();
        outcome.reconnectionTime = iterator.parser().getReconnectionTime();
        co_return outcome;
    });
}

Event data(std::string text) { return Event{std::nullopt, std::nullopt, std::move(text), std::nullopt}; }

struct Case {
    const char* name;
    std::string_view stream;
    std::vector<Event> events;
    std::string lastEventId = "";
    std::int64_t reconnectionTime = 3000;
};

// Each stream is read byte by byte and also in two chunks split at every offset, so line ends and
// characters cut between chunks are covered.
const std::vector<Case>& cases() {
    static const std::vector<Case> table = {
        {"Plain", "data: hello\n\n", {data("hello")}},
        {"NoSpaceAfterColon", "data:hello\n\n", {data("hello")}},
        {"OnlyOneSpaceRemoved", "data:  hello\n\n", {data(" hello")}},
        {"TabKept", "data:\thello\n\n", {data("\thello")}},
        {"TwoDataLinesJoinedByLF", "data: a\ndata: b\n\n", {data("a\nb")}},
        {"FieldWithoutColon", "data\n\n", {data("")}},
        {"EmptyDataBeforeFirstLeavesNoTrace", "data:\ndata: x\n\n", {data("x")}},
        {"EmptyDataBetweenKeepsBothLFs", "data: a\ndata:\ndata: b\n\n", {data("a\n\nb")}},
        {"IdOnly", "id: 7\n\n", {Event{"7", std::nullopt, "", std::nullopt}}, "7"},
        {"EmptyIdIsPresent", "id: 7\n\nid\n\n",
         {Event{"7", std::nullopt, "", std::nullopt}, Event{"", std::nullopt, "", std::nullopt}}, ""},
        {"IdWithNulIgnored", std::string_view("id: 1\n\nid: a\0b\ndata: x\n\n", 24),
         {Event{"1", std::nullopt, "", std::nullopt}, data("x")}, "1"},
        {"EmptyTypeIsPresent", "event:\n\n", {Event{std::nullopt, "", "", std::nullopt}}},
        {"TypeAndData", "event: ping\ndata: 1\n\n", {Event{std::nullopt, "ping", "1", std::nullopt}}},
        {"RetryAloneQueuesNothing", "retry: 5000\n\n", {}, "", 5000},
        {"RetryWithPlusSign", "retry: +250\n\n", {}, "", 250},
        {"RetryCarriedByItsEventOnly", "retry: 250\ndata: a\n\ndata: b\n\n",
         {Event{std::nullopt, std::nullopt, "a", 250}, data("b")}, "", 250},
        {"RetryRejected", "retry: -5\nretry: 0\nretry: 5s\nretry: 99999999999999999999\nretry:\nretry: +\ndata: x\n\n",
         {data("x")}},
        {"RetryLargest", "retry: 9223372036854775807\n\n", {}, "", std::numeric_limits<std::int64_t>::max()},
        {"RetryJustAboveLargest", "retry: 9223372036854775808\n\n", {}},
        {"CommentsAndUnknownFields", ": comment\nfoo: bar\nData: x\n\n", {}},
        {"CommentDoesNotEndEvent", "data: a\n: c\ndata: b\n\n", {data("a\nb")}},
        {"CRLineEnds", "data: a\rdata: b\r\r", {data("a\nb")}},
        {"CRLFLineEnds", "data: a\r\ndata: b\r\n\r\n", {data("a\nb")}},
        {"LFAfterCRIsOneLineEnd", "data: a\r\n\r\n", {data("a")}},
        {"CRCRIsTwoLineEnds", "data: a\r\rdata: b\r\r", {data("a"), data("b")}},
        {"ByteOrderMarkAtStart", "\xEF\xBB\xBF" "data: x\n\n", {data("x")}},
        {"ByteOrderMarkMidStream", "data: a\n\xEF\xBB\xBF" "data: b\n\n", {data("a\nb")}},
        {"ByteOrderMarkAloneIsBlankLine", "data: a\n\xEF\xBB\xBF\ndata: b\n\n", {data("a"), data("b")}},
        {"IllFormedBecomesReplacement", "data: \xC3\x28\n\n", {data("\xEF\xBF\xBD(")}},
        {"MultiByteCharacter", "data: \xE2\x82\xAC\xF0\x9F\x98\x80\n\n", {data("\xE2\x82\xAC\xF0\x9F\x98\x80")}},
        {"TruncatedCharacterAtLineEnd", "data: \xE2\x82\n\n", {data("\xEF\xBF\xBD")}},
        {"UnterminatedLineAtEnd", "data: x", {data("x")}},
        {"UnterminatedEventAtEnd", "data: x\n", {data("x")}},
        {"EmptyDataAloneAtEndDropped", "data:\n", {}},
        {"EmptyDataThenCRAtEnd", "data:\r", {data("")}},
        {"RetryAtEndQueuesNothing", "retry: 100", {}, "", 100},
        {"IdSurvivesDispatch", "id: 1\ndata: a\n\ndata: b\n\n",
         {Event{"1", std::nullopt, "a", std::nullopt}, data("b")}, "1"},
    };
    return table;
}

TEST(ParserTest, ReadsEachStreamAlikeWholeAndSplitAtEveryOffset) {
    for (const auto& c : cases()) {
        SCOPED_TRACE(c.name);
        const Outcome expected{c.events, c.lastEventId, c.reconnectionTime};
        EXPECT_EQ(parse({c.stream}), expected);
        for (std::size_t cut = 0; cut <= c.stream.size(); ++cut) {
            SCOPED_TRACE(cut);
            EXPECT_EQ(parseChunked({c.stream.substr(0, cut), c.stream.substr(cut)}), expected);
        }
    }
}

TEST(ParserTest, FreshParserHasDefaults) {
    Parser parser;
    EXPECT_EQ(parser.getLastEventId(), "");
    EXPECT_EQ(parser.getReconnectionTime(), 3000);
    EXPECT_EQ(parser.getNextEvent(), std::nullopt);
}

TEST(ParserTest, LastEventIdIsSetByTheIdLineBeforeDispatch) {
    Parser parser;
    EXPECT_TRUE(feed(parser, "id: 7\n").empty());
    EXPECT_EQ(parser.getLastEventId(), "7");
}

TEST(ParserTest, EventIsHandedOutAtItsBlankLine) {
    Parser parser;
    EXPECT_TRUE(feed(parser, "data: a\n").empty());
    EXPECT_EQ(feed(parser, "\n"), std::vector<Event>{data("a")});
}

TEST(ParserTest, StaysUsableAfterFinish) {
    Parser parser;
    feed(parser, "id: 1\ndata: a\n\nretry: 70\n");
    parser.finish();
    drain(parser);
    // The retry value that was never dispatched goes with the next event.
    EXPECT_EQ(feed(parser, "data: b\n\n"), (std::vector<Event>{Event{std::nullopt, std::nullopt, "b", 70}}));
    EXPECT_EQ(parser.getLastEventId(), "1");
    EXPECT_EQ(parser.getReconnectionTime(), 70);
}

TEST(ParserTest, ResetStreamDropsHalfReadStateButKeepsIdAndRetry) {
    Parser parser;
    feed(parser, "id: 5\nretry: 40\n\ndata: lost\ndata: half");
    parser.resetStream();
    EXPECT_EQ(parser.getLastEventId(), "5");
    EXPECT_EQ(parser.getReconnectionTime(), 40);
    // The new stream's first line is not glued onto the old stream's half line.
    EXPECT_EQ(feed(parser, "data: fresh\n\n"), std::vector<Event>{data("fresh")});
}

TEST(ParserTest, ResetStreamForgetsAPendingCR) {
    Parser parser;
    feed(parser, "data: a\r");
    parser.resetStream();
    // The LF starts the new stream: it ends an empty line, which dispatches nothing.
    EXPECT_TRUE(feed(parser, "\ndata: b\n\n") == std::vector<Event>{data("b")});
}

TEST(ParserTest, BoundsAreErrorsNeverTruncation) {
    struct LimitCase {
        const char* name;
        Parser::Options options;
        std::string stream;
    };
    const LimitCase limitCases[] = {
        {"LongLine", {.maxLineBytes = 16}, "data: 0123456789abcdef\n"},
        {"LongData", {.maxEventDataBytes = 8}, "data: 12345\ndata: 678\n\n"},
        {"ManyQueued", {.maxQueuedEvents = 2}, "data: 1\n\ndata: 2\n\ndata: 3\n\n"},
    };
    for (const auto& c : limitCases) {
        SCOPED_TRACE(c.name);
        Parser parser(c.options);
        EXPECT_THROW(
            for (char byte : c.stream) parser.consume(static_cast<std::uint8_t>(byte)), EventStreamLimitError);
    }
    // Exactly at a bound is still fine.
    Parser atBound({.maxLineBytes = 7, .maxEventDataBytes = 3});
    EXPECT_EQ(feed(atBound, "data: a\ndata:b\n\n"), std::vector<Event>{data("a\nb")});
}

TEST(EventTest, JsonFormWritesOnlyPresentFields) {
    const Event full{"1", "ping", "x", 5};
    EXPECT_EQ(full.toJSON(), boost::json::parse(R"({"id":"1","event":"ping","data":"x","retry":5})"));
    EXPECT_EQ(data("x").toJSON(), boost::json::parse(R"({"data":"x"})"));
    EXPECT_EQ(Event::fromJSON(full.toJSON()), full);
    EXPECT_EQ(Event::fromJSON(boost::json::parse(R"({"data":""})")), data(""));
    EXPECT_THROW(Event::fromJSON(boost::json::parse(R"({"id":"1"})")), platform::json::DecodingError);
}

TEST(EventTest, HashAndEqualityTellPresenceFromEmpty) {
    const Event withEmptyId{"", std::nullopt, "", std::nullopt};
    const Event withoutId{std::nullopt, std::nullopt, "", std::nullopt};
    EXPECT_NE(withEmptyId, withoutId);
    std::unordered_set<Event> set{withEmptyId, withoutId, withoutId};
    EXPECT_EQ(set.size(), 2u);
}

}  // namespace
