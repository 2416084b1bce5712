#include "mcp/base/transports/http_server/http_response.hpp"

#include "mcp/base/http_request.hpp"
#include "mcp/base/transports/http_server/jsonrpc_message_kind.hpp"
#include "mcp/base/transports/http_server/sse_event.hpp"
#include "mcp/base/transports/http_server/uuid_session_id_generator.hpp"
#include "platform/json/decoding_error.hpp"
#include "platform/json/parse.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace mcp {
namespace {

using Headers = HTTPResponse::Headers;

TEST(HTTPResponseTest, PlainCasesCarryStatusHeadersAndBody) {
    const Headers headers{{"X-A", "1"}};

    auto accepted = HTTPResponse::accepted(headers);
    EXPECT_EQ(accepted.statusCode(), 202);
    EXPECT_EQ(accepted.headers(), headers);
    EXPECT_FALSE(accepted.bodyData());

    auto ok = HTTPResponse::ok();
    EXPECT_EQ(ok.statusCode(), 200);
    EXPECT_TRUE(ok.headers().empty());
    EXPECT_FALSE(ok.bodyData());

    auto data = HTTPResponse::data("{}", headers);
    EXPECT_EQ(data.kind(), HTTPResponse::Kind::data);
    EXPECT_EQ(data.statusCode(), 200);
    EXPECT_EQ(data.bodyData(), "{}");

    platform::AsyncStream<std::string> events;
    auto stream = HTTPResponse::stream(events, headers);
    EXPECT_EQ(stream.statusCode(), 200);
    EXPECT_FALSE(stream.bodyData());
    ASSERT_TRUE(stream.eventStream());
    events.finish();
    EXPECT_TRUE(stream.eventStream()->isFinished());
}

TEST(HTTPResponseTest, ErrorBodyIsTheExactJSONRPCErrorObject) {
    struct Case {
        const char* name;
        MCPError error;
        std::string body;
    };
    const std::vector<Case> cases = {
        {"InvalidRequest", MCPError::invalidRequest("x"),
         R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request: x"},"id":null})"},
        // Default writer options: "/" is escaped.
        {"SlashEscaped", MCPError::invalidRequest("Not Acceptable: Client must accept application/json"),
         R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request: Not Acceptable: Client must accept application\/json"},"id":null})"},
        {"ParseError", MCPError::parseError("Empty request body"),
         R"({"jsonrpc":"2.0","error":{"code":-32700,"message":"Parse error: Invalid JSON: Empty request body"},"id":null})"},
        {"ServerErrorCode", MCPError::serverError(-32099, "busy \"now\""),
         R"({"jsonrpc":"2.0","error":{"code":-32099,"message":"Server error: busy \"now\""},"id":null})"},
        {"ConnectionClosed", MCPError::connectionClosed(),
         R"({"jsonrpc":"2.0","error":{"code":-32000,"message":"Connection closed"},"id":null})"},
        {"InternalNoData", MCPError::internalError("boom"),
         R"({"jsonrpc":"2.0","error":{"code":-32603,"message":"Internal error: boom"},"id":null})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto response = HTTPResponse::error(400, c.error);
        EXPECT_EQ(response.bodyData(), c.body);
        EXPECT_EQ(response.mcpError(), c.error);
    }
}

TEST(HTTPResponseTest, ErrorHeadersPutExtrasAfterTheFixedOnes) {
    auto plain = HTTPResponse::error(406, MCPError::invalidRequest("x"));
    EXPECT_EQ(plain.statusCode(), 406);
    EXPECT_EQ(plain.headers(), (Headers{{"Content-Type", "application/json"}}));

    auto withSession = HTTPResponse::error(405, MCPError::invalidRequest("x"), "s1", {{"Allow", "POST"}});
    EXPECT_EQ(withSession.headers(),
              (Headers{{"Content-Type", "application/json"}, {"MCP-Session-Id", "s1"}, {"Allow", "POST"}}));

    auto overridden = HTTPResponse::error(400, MCPError::invalidRequest("x"), "s1",
                                          {{"Content-Type", "text/plain"}, {"MCP-Session-Id", "s2"}});
    EXPECT_EQ(overridden.headers(), (Headers{{"Content-Type", "text/plain"}, {"MCP-Session-Id", "s2"}}));
}

TEST(HTTPRequestTest, HeaderLookupIgnoresLetterCase) {
    HTTPRequest request{"POST", {{"Content-Type", "application/json"}}, std::nullopt, std::nullopt};
    for (const char* name : {"content-type", "CONTENT-TYPE", "Content-Type"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(request.header(name), "application/json");
    }
    EXPECT_FALSE(request.header("Content-Length"));
}

TEST(JSONRPCMessageKindTest, ClassifiesBodies) {
    using K = JSONRPCMessageKind;
    struct Case {
        const char* name;
        std::string body;
        std::optional<K> expected;
    };
    const std::vector<Case> cases = {
        {"RequestWithIntegerId", R"({"jsonrpc":"2.0","id":1,"method":"ping"})", K::request("1", "ping")},
        {"RequestWithStringId", R"({"id":"a","method":"x"})", K::request("a", "x")},
        {"StringSevenAndIntegerSevenShareText", R"({"id":"7","method":"x"})", K::request("7", "x")},
        {"NegativeId", R"({"id":-12,"method":"x"})", K::request("-12", "x")},
        {"IntegralDoubleIdIsAnInteger", R"({"id":3.0,"method":"x"})", K::request("3", "x")},
        {"Notification", R"({"method":"notifications/initialized"})", K::notification("notifications/initialized")},
        {"NullIdWithAMethodIsRefused", R"({"id":null,"method":"x"})", std::nullopt},
        {"BoolIdMakesANotification", R"({"id":true,"method":"x"})", K::notification("x")},
        {"IdBeyondInt64MakesANotification", R"({"id":9223372036854775808,"method":"x"})", K::notification("x")},
        {"ResponseWithResult", R"({"id":3,"result":{}})", K::response("3")},
        {"ResponseWithNullResult", R"({"id":3,"result":null})", K::response("3")},
        {"ResponseWithError", R"({"id":3,"error":{}})", K::response("3")},
        {"EscapedStringId", R"({"id":"a\"b\u00e9","method":"x"})", K::request("a\"b\xC3\xA9", "x")},
        {"LastOfRepeatedKeysWins", R"({"id":1,"id":"z","method":"a","method":"b"})", K::request("z", "b")},
        {"NestedMembersAreNotLookedAt", R"({"params":{"id":5,"method":"inner"},"method":"outer"})",
         K::notification("outer")},
        {"ArrayIdIsNoId", R"({"id":[1],"method":"x"})", K::notification("x")},
        {"FractionalIdResponse", R"({"id":1.5,"result":1})", std::nullopt},
        {"ResponseWithoutId", R"({"result":1})", std::nullopt},
        {"NonStringMethodWithoutResult", R"({"id":1,"method":5})", std::nullopt},
        {"AnyMethodMemberWithResult", R"({"id":1,"method":5,"result":1})", std::nullopt},
        {"MethodWithResult", R"({"id":1,"method":"x","result":1})", std::nullopt},
        {"MethodWithError", R"({"method":"x","error":{}})", std::nullopt},
        {"Batch", R"([{"id":1,"method":"ping"}])", std::nullopt},
        {"String", R"("text")", std::nullopt},
        {"EmptyObject", "{}", std::nullopt},
        {"InvalidJSON", R"({"id":1,"method":"x")", std::nullopt},
        {"TrailingData", R"({"method":"x"} {})", std::nullopt},
        {"TrailingComma", R"({"method":"x",})", std::nullopt},
        {"Comment", R"({"method":"x"/**/})", std::nullopt},
        {"InvalidUTF8", "{\"method\":\"\xFF\"}", std::nullopt},
        {"NumberBeyondDoubleRange", R"({"method":"x","params":{"v":1e400}})", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(K::classify(c.body), c.expected);
    }
}

// The classifier reads the text itself; a body it takes must be one the engine can parse.
TEST(JSONRPCMessageKindTest, RefusesWhatTheJSONLayerRefuses) {
    auto nested = [](int depth) {
        return R"({"method":"x","params":)" + std::string(depth, '[') + std::string(depth, ']') + "}";
    };
    const std::vector<std::string> bodies = {
        nested(510), nested(511), nested(512), "{\"method\":\"x\",\"v\":1.7976931348623157e308}",
        "{\"method\":\"x\",\"v\":1.7976931348623159e308}", "{\"method\":\"x\",\"v\":-1e-400}",
        "{\"method\":\"x\"}\n\t ", " {\"method\":\"x\"}", "{\"method\":\"x\",\"s\":\"\xED\xA0\x80\"}",
    };
    for (const auto& body : bodies) {
        SCOPED_TRACE(body.substr(0, 60));
        bool parses = true;
        try {
            platform::json::parse(body);
        } catch (const platform::json::DecodingError&) {
            parses = false;
        }
        EXPECT_EQ(JSONRPCMessageKind::classify(body).has_value(), parses);
    }
}

TEST(JSONRPCMessageKindTest, OnlyAnInitializeRequestIsOne) {
    EXPECT_TRUE(JSONRPCMessageKind::request("1", "initialize").isInitializeRequest());
    EXPECT_FALSE(JSONRPCMessageKind::notification("initialize").isInitializeRequest());
    EXPECT_FALSE(JSONRPCMessageKind::request("1", "Initialize").isInitializeRequest());
}

TEST(SSEEventTest, FormatsPresentFieldsInOrder) {
    SSEEvent event{"s_1", std::nullopt, "{}", std::nullopt};
    EXPECT_EQ(event.formatted(), "id: s_1\ndata: {}\n\n");

    event.event = "message";
    event.retry = 3000;
    EXPECT_EQ(event.formatted(), "id: s_1\nevent: message\nretry: 3000\ndata: {}\n\n");

    EXPECT_EQ((SSEEvent{std::nullopt, std::nullopt, "", std::nullopt}.formatted()), "data: \n\n");
    // Line breaks stay on the one data line.
    EXPECT_EQ((SSEEvent{std::nullopt, std::nullopt, "a\nb", std::nullopt}.formatted()), "data: a\nb\n\n");
}

TEST(SSEEventTest, MessageReplacesIllFormedUTF8) {
    const std::string replacement = "\xEF\xBF\xBD";
    struct Case {
        const char* name;
        std::string bytes;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"WellFormed", "h\xC3\xA9 \xF0\x9F\x98\x80", "h\xC3\xA9 \xF0\x9F\x98\x80"},
        {"StrayContinuation", "a\x80z", "a" + replacement + "z"},
        // A truncated sequence is one replacement; the byte that breaks it starts afresh.
        {"TruncatedThreeByte", "\xE2\x82z", replacement + "z"},
        {"TruncatedAtEnd", "a\xF0\x9F\x98", "a" + replacement},
        {"Surrogate", "\xED\xA0\x80", replacement + replacement + replacement},
        {"Overlong", "\xC0\xAF", replacement + replacement},
        {"BeyondUnicode", "\xF4\x90\x80\x80", replacement + replacement + replacement + replacement},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto event = SSEEvent::message(c.bytes, "e1");
        EXPECT_EQ(event, (SSEEvent{"e1", "message", c.text, std::nullopt}));
    }
}

TEST(UUIDSessionIDGeneratorTest, MakesFreshUpperCaseUUIDs) {
    UUIDSessionIDGenerator generator;
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        auto id = generator.generateSessionID();
        ASSERT_EQ(id.size(), 36u) << id;
        for (std::size_t j = 0; j < id.size(); ++j) {
            const bool hyphen = j == 8 || j == 13 || j == 18 || j == 23;
            if (hyphen) {
                EXPECT_EQ(id[j], '-') << id;
            } else {
                EXPECT_TRUE((id[j] >= '0' && id[j] <= '9') || (id[j] >= 'A' && id[j] <= 'F')) << id;
            }
        }
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 50u);
}

}  // namespace
}  // namespace mcp
