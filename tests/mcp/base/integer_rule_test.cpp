// The integer rule judged on the number as written, through every reader of numbers.
#include "mcp/base/id.hpp"
#include "mcp/base/progress_token.hpp"
#include "mcp/base/transports/http_server/jsonrpc_message_kind.hpp"
#include "mcp/base/value.hpp"
#include "platform/json/decoding_error.hpp"
#include "platform/json/integer.hpp"
#include "platform/json/parse.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace mcp {
namespace {

TEST(IntegerRuleTest, JudgesTheRangeOnTheNumberAsWritten) {
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    struct Case {
        std::string text;
        std::optional<std::int64_t> integer;
        double asDouble;  // what Value holds when the number is no integer
    };
    const Case cases[] = {
        {"-9223372036854775809", std::nullopt, -9223372036854775808.0},
        {"9223372036854775808", std::nullopt, 9223372036854775808.0},
        {"9223372036854775807.0", kMax, 0},
        {"9223372036854775807", kMax, 0},
        {"-9223372036854775808", kMin, 0},
        {"-9223372036854775808.0", kMin, 0},
        {"-9223372036854775808.5", std::nullopt, -9223372036854775808.0},
        {"9.223372036854775807e18", kMax, 0},
        {"92233720368547758070e-1", kMax, 0},
        {"1e19", std::nullopt, 1e19},
        {"3.0", 3, 0},
        {"1E2", 100, 0},
        {"12.5e1", 125, 0},
        {"-0.0", 0, 0},
        {"3.5", std::nullopt, 3.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto json = platform::json::parse(c.text);
        EXPECT_EQ(platform::json::asInteger(json), c.integer);

        auto value = Value::fromJSON(json);
        if (c.integer) {
            EXPECT_EQ(value.intValue(), c.integer);
        } else {
            EXPECT_EQ(value.intValue(), std::nullopt);
            EXPECT_EQ(value.doubleValue(), c.asDouble);
        }

        auto kind = JSONRPCMessageKind::classify(R"({"jsonrpc":"2.0","method":"ping","id":)" + c.text + "}");
        if (c.integer) {
            EXPECT_EQ(ID::fromJSON(json).numberValue(), c.integer);
            EXPECT_EQ(ProgressToken::fromJSON(json).integerValue(), c.integer);
            ASSERT_TRUE(kind);
            EXPECT_EQ(kind->id, std::to_string(*c.integer));
        } else {
            try {
                ID::fromJSON(json);
                ADD_FAILURE() << "read as an id";
            } catch (const platform::json::DecodingError& e) {
                EXPECT_EQ(std::string(e.what()).find("ID must be string or number") != std::string::npos, true) << e.what();
            }
            EXPECT_THROW(ProgressToken::fromJSON(json), platform::json::DecodingError);
            // No id: the transports read the message as a notification.
            ASSERT_TRUE(kind);
            EXPECT_EQ(kind->kind, JSONRPCMessageKind::Case::notification);
        }
    }
}

}  // namespace
}  // namespace mcp
