#include "mcp/base/metadata.hpp"

#include "mcp/base/cancelled_notification.hpp"
#include "mcp/base/ping.hpp"
#include "mcp/base/progress_notification.hpp"
#include "mcp/base/request_context.hpp"
#include "platform/json/decoding_error.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"
#include "support/run_async.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace mcp {
namespace {

namespace asio = boost::asio;
using platform::json::DecodingError;

std::string write(const boost::json::value& json) {
    return platform::json::write(json, {.escapeSlashes = false});
}

Metadata metadata(std::string_view json) {
    return Metadata::fromJSON(platform::json::parse(json));
}

// Decodes `json` as T and writes it back; "fails" when the decoding throws.
template <class T>
std::string reencode(std::string_view json) {
    try {
        return write(T::fromJSON(platform::json::parse(json)).toJSON());
    } catch (const DecodingError&) {
        return "fails";
    }
}

TEST(MetadataTest, ReadsTheProgressTokenOfStringsAndInts) {
    struct Case {
        std::string_view json;
        std::optional<ProgressToken> token;
    };
    const std::vector<Case> cases = {
        {R"({"progressToken":7})", ProgressToken::integer(7)},
        {R"({"progressToken":"abc"})", ProgressToken::string("abc")},
        {R"({"progressToken":7.5})", std::nullopt},
        {R"({"progressToken":true})", std::nullopt},
        {R"({"progressToken":null})", std::nullopt},
        {R"({"other":1})", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        auto value = metadata(c.json);
        EXPECT_EQ(value.progressToken(), c.token);
        // Reading never drops the entry.
        EXPECT_EQ(write(value.toJSON()), c.json);
    }
}

TEST(MetadataTest, WritesTheProgressTokenOverOnlyItsEntry) {
    auto value = metadata(R"({"progressToken":"abc","a":1})");
    value.setProgressToken(std::nullopt);
    EXPECT_EQ(write(value.toJSON()), R"({"a":1})");
    value.setProgressToken(ProgressToken::integer(5));
    EXPECT_EQ(write(value.toJSON()), R"({"a":1,"progressToken":5})");
    value.setProgressToken(ProgressToken::string("t"));
    EXPECT_EQ(write(value.toJSON()), R"({"a":1,"progressToken":"t"})");

    auto additional = metadata(R"({"progressToken":"x","a":1})").fields;
    EXPECT_EQ(write(Metadata(std::nullopt, additional).toJSON()), R"({"a":1})");
    EXPECT_EQ(write(Metadata(ProgressToken::integer(5), metadata(R"({"progressToken":"x"})").fields).toJSON()),
              R"({"progressToken":5})");
}

TEST(MetadataTest, LooksUpEntriesAndComparesAsMaps) {
    auto value = metadata(R"({"a":[1],"b":null})");
    ASSERT_NE(value["a"], nullptr);
    EXPECT_EQ(*value["a"], Value::array({1}));
    EXPECT_EQ(value["missing"], nullptr);
    EXPECT_EQ(value, metadata(R"({"b":null,"a":[1]})"));
    EXPECT_EQ(std::hash<Metadata>{}(value), std::hash<Metadata>{}(metadata(R"({"b":null,"a":[1]})")));
    EXPECT_NE(value, Metadata());
}

TEST(MetadataTest, RefusesAnythingButAnObject) {
    EXPECT_EQ(reencode<Metadata>("[1,2]"), "fails");
    EXPECT_EQ(reencode<Metadata>(R"("x")"), "fails");
    EXPECT_EQ(reencode<Metadata>("{}"), "{}");
}

TEST(ProgressNotificationTest, WritesAndReadsItsParameters) {
    ProgressNotification::Parameters half{ProgressToken::string("t"), 0.5};
    EXPECT_EQ(write(half.toJSON()), R"({"progressToken":"t","progress":0.5})");
    EXPECT_EQ(write(ProgressNotification::message(half).toJSON()),
              R"({"jsonrpc":"2.0","method":"notifications/progress","params":{"progressToken":"t","progress":0.5}})");

    struct Case {
        const char* name;
        std::string_view json;
        std::string written;
    };
    const std::vector<Case> cases = {
        {"Full", R"({"progressToken":3,"progress":1,"total":4,"message":"m","_meta":{}})",
         R"({"progressToken":3,"progress":1,"total":4,"message":"m"})"},
        {"NullMessage", R"({"progressToken":"t","progress":2,"message":null})", R"({"progressToken":"t","progress":2})"},
        {"NoProgress", R"({"progressToken":"t"})", "fails"},
        {"NullToken", R"({"progressToken":null,"progress":1})", "fails"},
        {"DoubleToken", R"({"progressToken":1.5,"progress":1})", "fails"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reencode<ProgressNotification::Parameters>(c.json), c.written);
    }
}

TEST(CancelledNotificationTest, BothMembersAreOptional) {
    struct Case {
        const char* name;
        std::string_view json;
        std::optional<CancelledNotification::Parameters> expected;  // nothing: fails
    };
    const std::vector<Case> cases = {
        {"NumberId", R"({"requestId":5})", CancelledNotification::Parameters{ID(5)}},
        {"StringIdAndReason", R"({"requestId":"abc","reason":"user"})",
         CancelledNotification::Parameters{ID("abc"), "user"}},
        {"NullReason", R"({"reason":null})", CancelledNotification::Parameters{}},
        {"BoolId", R"({"requestId":true})", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto json = platform::json::parse(c.json);
        if (c.expected) {
            EXPECT_EQ(CancelledNotification::Parameters::fromJSON(json), *c.expected);
        } else {
            EXPECT_THROW(CancelledNotification::Parameters::fromJSON(json), DecodingError);
        }
    }
    EXPECT_EQ(write(CancelledNotification::Parameters{}.toJSON()), "{}");
}

TEST(CancelledNotificationTest, AMessageWithoutParamsReadsAsNoIdAndNoReason) {
    auto message = Message<CancelledNotification>::fromJSON(
        platform::json::parse(R"({"jsonrpc":"2.0","method":"notifications/cancelled"})"));
    EXPECT_EQ(message.params, CancelledNotification::Parameters{});
}

TEST(PingTest, TravelsWithEmptyObjects) {
    EXPECT_EQ(write(Ping::request(ID("p")).toJSON()), R"({"jsonrpc":"2.0","id":"p","method":"ping","params":{}})");
    auto response = Response<Ping>::fromJSON(platform::json::parse(R"({"jsonrpc":"2.0","id":"p","result":{}})"));
    EXPECT_TRUE(response.isSuccess());
}

TEST(RequestContextTest, GivesTheSameOutcomeToEveryReader) {
    auto outcomes = testing_support::runAsync([]() -> asio::awaitable<std::vector<std::string>> {
        auto executor = co_await asio::this_coro::executor;
        auto task = platform::spawn(executor, []() -> asio::awaitable<Empty> {
            throw MCPError::connectionClosed();
            co_return Empty{};
        }());
        RequestContext<Empty> context(ID("r"), task);
        RequestContext<Empty> copy = context;
        std::vector<std::string> seen;
        for (const auto* reader : {&context, &copy, &context}) {
            try {
                co_await reader->value();
                seen.push_back("value");
            } catch (const MCPError& e) {
                seen.push_back(e.errorDescription());
            }
        }
        co_return seen;
    });
    EXPECT_EQ(outcomes, std::vector<std::string>(3, "Connection closed"));
}

TEST(RequestContextTest, AReadOutlivesTheContextItCameFrom) {
    auto outcomes = testing_support::runAsync([]() -> asio::awaitable<std::vector<std::int64_t>> {
        auto executor = co_await asio::this_coro::executor;
        auto makeTask = [executor](std::int64_t result) {
            return platform::spawn(executor, [](std::int64_t r) -> asio::awaitable<std::int64_t> { co_return r; }(result));
        };
        std::optional<RequestContext<std::int64_t>> context;
        context.emplace(ID("a"), makeTask(1));
        auto firstRead = context->value();
        // The storage of the first context now holds another one.
        context.emplace(ID("b"), makeTask(2));
        auto secondRead = context->value();
        context.reset();
        auto first = co_await std::move(firstRead);
        auto second = co_await std::move(secondRead);
        co_return std::vector<std::int64_t>{first, second};
    });
    EXPECT_EQ(outcomes, (std::vector<std::int64_t>{1, 2}));
}

}  // namespace
}  // namespace mcp
