#include "mcp/server/log_level.hpp"

#include "mcp/server/log_message_notification.hpp"
#include "mcp/server/set_logging_level.hpp"
#include "platform/json/decoding_error.hpp"
#include "server_harness.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mcp::test {
namespace {

using platform::json::DecodingError;

TEST(LogLevelTest, HasEightLevelsReadOnlyFromTheirExactTexts) {
    ASSERT_EQ(allLogLevels.size(), 8u);
    EXPECT_EQ(allLogLevels.front(), LogLevel::debug);
    EXPECT_EQ(allLogLevels.back(), LogLevel::emergency);
    std::vector<std::string> texts;
    for (auto level : allLogLevels) {
        texts.emplace_back(rawValue(level));
        EXPECT_EQ(logLevelFromRawValue(rawValue(level)), level);
        EXPECT_EQ(decodeLogLevel(encodeLogLevel(level)), level);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"debug", "info", "notice", "warning", "error", "critical", "alert",
                                               "emergency"}));
    for (const char* text : {"Debug", "WARNING", "trace", "", "error "}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(logLevelFromRawValue(text), std::nullopt);
    }
}

TEST(SetLoggingLevelTest, ParametersHoldExactlyOneKnownLevel) {
    EXPECT_EQ(platform::json::write(SetLoggingLevel::Parameters{LogLevel::notice}.toJSON()), R"({"level":"notice"})");
    EXPECT_EQ(SetLoggingLevel::Parameters::fromJSON(json(R"({"level":"alert","x":1})")).level, LogLevel::alert);
    for (const char* text : {R"({})", R"({"level":"Alert"})", R"({"level":3})", R"({"level":null})"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(SetLoggingLevel::Parameters::fromJSON(json(text)), DecodingError);
    }
}

TEST(LogMessageNotificationTest, DataIsRequiredButMayBeNull) {
    auto withNull = LogMessageNotification::Parameters::fromJSON(json(R"({"level":"info","data":null})"));
    EXPECT_TRUE(withNull.data.isNull());
    EXPECT_EQ(withNull.logger, std::nullopt);
    EXPECT_EQ(platform::json::write(withNull.toJSON()), R"({"level":"info","data":null})");

    auto full = LogMessageNotification::Parameters{LogLevel::error, "db", Value::object({{"n", 1}})};
    EXPECT_EQ(platform::json::write(full.toJSON()), R"({"level":"error","logger":"db","data":{"n":1}})");
    EXPECT_EQ(LogMessageNotification::Parameters::fromJSON(full.toJSON()), full);

    try {
        LogMessageNotification::Parameters::fromJSON(json(R"({"level":"info"})"));
        ADD_FAILURE() << "decoded without data";
    } catch (const DecodingError& e) {
        EXPECT_EQ(e.kind, DecodingError::Kind::keyNotFound);
    }
    EXPECT_THROW(LogMessageNotification::Parameters::fromJSON(json(R"({"level":"loud","data":1})")), DecodingError);
}

struct Reading {
    double celsius;
    boost::json::value toJSON() const { return boost::json::object{{"celsius", celsius}}; }
    static Reading fromJSON(const boost::json::value& json) {
        return {platform::json::required<double>(platform::json::asObject(json), "celsius")};
    }
};

TEST(ServerLogTest, SendsEveryMessageWhateverTheCapabilitiesOrRequestedLevel) {
    ServerHarness h;
    auto sent = h.runStarted([&]() -> asio::awaitable<std::vector<std::string>> {
        // The client asks for a level; no handler is registered, so nothing is stored or filtered.
        auto refused = co_await h.exchange(R"({"jsonrpc":"2.0","id":1,"method":"logging/setLevel","params":{"level":"error"}})");
        co_await h.server->log(LogLevel::warning, std::nullopt, Value("disk/almost full"));
        auto warning = co_await h.transport->nextSent();
        // The payload is a temporary that ends with the call, before the send is awaited.
        auto logReading = h.server->log(LogLevel::debug, "sensor", Reading{21.5});
        co_await std::move(logReading);
        auto debug = co_await h.transport->nextSent();
        co_await h.server->log(LogLevel::emergency, "x", Value());
        auto emergency = co_await h.transport->nextSent();
        co_return std::vector<std::string>{refused, warning, debug, emergency};
    });
    EXPECT_EQ(sent[0], R"({"error":)" + text(MCPError::methodNotFound("Unknown method: logging/setLevel").toJSON()) +
                           R"(,"id":1,"jsonrpc":"2.0"})");
    EXPECT_EQ(sent[1], R"({"jsonrpc":"2.0","method":"notifications/message","params":{"data":"disk/almost full","level":"warning"}})");
    EXPECT_EQ(sent[2], R"({"jsonrpc":"2.0","method":"notifications/message","params":{"data":{"celsius":21.5},"level":"debug","logger":"sensor"}})");
    EXPECT_EQ(sent[3], R"({"jsonrpc":"2.0","method":"notifications/message","params":{"data":null,"level":"emergency","logger":"x"}})");
}

TEST(ServerLogTest, FailsBeforeStartAndAfterStop) {
    ServerHarness h;
    auto outcomes = h.run([&]() -> asio::awaitable<std::vector<std::string>> {
        std::vector<std::string> outcomes;
        for (int round = 0; round < 2; ++round) {
            try {
                co_await h.server->log(LogLevel::info, std::nullopt, Value("x"));
                outcomes.push_back("sent");
            } catch (const MCPError& e) {
                outcomes.push_back(e.errorDescription());
            }
            if (round == 0) {
                co_await h.server->start(h.transport);
                co_await h.server->stop();
            }
        }
        co_return outcomes;
    });
    EXPECT_EQ(outcomes, std::vector<std::string>(2, "Internal error: Server connection not initialized"));
    EXPECT_EQ(h.transport->sendAttempts(), 0u);
}

TEST(ServerLogTest, ARegisteredSetLevelHandlerGetsValidLevelsOnly) {
    ServerHarness h;
    std::vector<LogLevel> requested;
    h.server->withMethodHandler<SetLoggingLevel>([&requested](SetLoggingLevel::Parameters parameters) -> asio::awaitable<Empty> {
        requested.push_back(parameters.level);
        co_return Empty{};
    });
    auto replies = h.runStarted([&]() -> asio::awaitable<std::vector<std::string>> {
        auto ok = co_await h.exchange(R"({"jsonrpc":"2.0","id":1,"method":"logging/setLevel","params":{"level":"critical"}})");
        auto bad = co_await h.exchange(R"({"jsonrpc":"2.0","id":2,"method":"logging/setLevel","params":{"level":"LOUD"}})");
        co_return std::vector<std::string>{ok, bad};
    });
    EXPECT_EQ(replies[0], R"({"id":1,"jsonrpc":"2.0","result":{}})");
    EXPECT_EQ(replies[1], R"({"error":)" + text(MCPError::internalError("Invalid params field").toJSON()) +
                              R"(,"id":2,"jsonrpc":"2.0"})");
    EXPECT_EQ(requested, std::vector<LogLevel>{LogLevel::critical});
}

}  // namespace
}  // namespace mcp::test
