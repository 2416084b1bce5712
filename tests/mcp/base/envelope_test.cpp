#include "mcp/base/messages.hpp"

#include "mcp/base/cancelled_notification.hpp"
#include "mcp/base/initialize.hpp"
#include "mcp/base/ping.hpp"
#include "platform/json/decoding_error.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"
#include "test_methods.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mcp {
namespace {

using platform::json::DecodingError;

std::string write(const boost::json::value& json) {
    return platform::json::write(json, {.escapeSlashes = false});
}

// The outcome of decoding, as one line: "ok <params>", "error <fixed text>" or "own <kind>" for
// an error of the decoder or the parameter type itself.
template <class Envelope>
std::string outcome(std::string_view text) {
    try {
        auto envelope = Envelope::fromJSON(platform::json::parse(text));
        return "ok " + write(platform::json::encode(envelope.params));
    } catch (const DecodingError& e) {
        if (e.kind == DecodingError::Kind::dataCorrupted) return "error " + e.description;
        return "own";
    }
}

std::string requestWithParams(const char* params) {
    std::string text = R"({"jsonrpc":"2.0","id":1,"method":"m")";
    if (params) text += std::string(R"(,"params":)") + params;
    return text + "}";
}

std::string notificationWithParams(const char* params) {
    std::string text = R"({"jsonrpc":"2.0","method":"m")";
    if (params) text += std::string(R"(,"params":)") + params;
    return text + "}";
}

struct ParamsCase {
    const char* params;  // null: no "params" member
    const char* empty;
    const char* required;
    const char* notRequired;
    const char* erased;
};

constexpr const char* kMissing = "error Missing required params field";
constexpr const char* kInvalid = "error Invalid params field";

// The shape of "params" against the four kinds of parameter type.
const std::vector<ParamsCase> kParamsCases = {
    {nullptr, "ok {}", kMissing, "ok {}", "ok null"},
    {"null", "ok {}", kMissing, "ok {}", "ok null"},
    {"{}", "ok {}", kInvalid, "ok {}", "ok {}"},
    {"[1,2]", "ok {}", kInvalid, "own", "ok [1,2]"},
    {R"("text")", "ok {}", kInvalid, "own", R"(ok "text")"},
    {R"({"name":"x"})", "ok {}", R"(ok {"name":"x"})", "ok {}", R"(ok {"name":"x"})"},
    {R"({"name":5})", "ok {}", kInvalid, "ok {}", R"(ok {"name":5})"},
    {R"({"cursor":5})", "ok {}", kInvalid, "own", R"(ok {"cursor":5})"},
    {R"({"cursor":"c"})", "ok {}", kInvalid, R"(ok {"cursor":"c"})", R"(ok {"cursor":"c"})"},
};

TEST(EnvelopeTest, DecodesRequestParamsByTheKindOfParameterType) {
    for (const auto& c : kParamsCases) {
        SCOPED_TRACE(c.params ? c.params : "(missing)");
        auto text = requestWithParams(c.params);
        EXPECT_EQ(outcome<Request<Ping>>(text), c.empty);
        EXPECT_EQ(outcome<Request<test::NamedMethod>>(text), c.required);
        EXPECT_EQ(outcome<Request<test::PagedMethod>>(text), c.notRequired);
        EXPECT_EQ(outcome<Request<AnyMethod>>(text), c.erased);
    }
}

TEST(EnvelopeTest, DecodesNotificationParamsByTheSameRule) {
    for (const auto& c : kParamsCases) {
        SCOPED_TRACE(c.params ? c.params : "(missing)");
        auto text = notificationWithParams(c.params);
        EXPECT_EQ(outcome<Message<test::EmptyNotification>>(text), c.empty);
        EXPECT_EQ(outcome<Message<test::NamedNotification>>(text), c.required);
        EXPECT_EQ(outcome<Message<AnyNotification>>(text), c.erased);
    }
}

TEST(EnvelopeTest, ChecksTheVersionBeforeAnythingElse) {
    struct Case {
        const char* name;
        std::string_view text;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"OlderVersion", R"({"jsonrpc":"1.0","id":1,"method":"m"})", "error Invalid JSON-RPC version"},
        {"TrailingBlank", R"({"jsonrpc":"2.0 ","id":1,"method":"m"})", "error Invalid JSON-RPC version"},
        {"VersionBeforeMissingId", R"({"jsonrpc":"2","method":"m"})", "error Invalid JSON-RPC version"},
        {"MissingVersion", R"({"id":1,"method":"m"})", "own"},
        {"NumericVersion", R"({"jsonrpc":2.0,"id":1,"method":"m"})", "own"},
        {"MissingId", R"({"jsonrpc":"2.0","method":"m"})", "own"},
        {"BadId", R"({"jsonrpc":"2.0","id":true,"method":"m"})", "error ID must be string or number"},
        {"MissingMethod", R"({"jsonrpc":"2.0","id":1})", "own"},
        {"NotAnObject", "[1]", "own"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(outcome<Request<AnyMethod>>(c.text), c.expected);
    }
    try {
        Request<AnyMethod>::fromJSON(platform::json::parse(R"({"jsonrpc":"1.0","id":1,"method":"m"})"));
        ADD_FAILURE() << "decoded";
    } catch (const DecodingError& e) {
        EXPECT_EQ(e.codingPath, std::vector<std::string>{"jsonrpc"});
    }
}

TEST(EnvelopeTest, KeepsTheMethodTextAsSent) {
    auto request = Request<Ping>::fromJSON(platform::json::parse(R"({"jsonrpc":"2.0","id":"a","method":"other"})"));
    EXPECT_EQ(request.method, "other");
    EXPECT_EQ(request.id, ID("a"));
}

TEST(EnvelopeTest, EncodesEnvelopes) {
    struct Case {
        const char* name;
        boost::json::value json;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"PingRequest", Ping::request(1).toJSON(), R"({"jsonrpc":"2.0","id":1,"method":"ping","params":{}})"},
        {"TypedRequest", test::NamedMethod::request("a", {"x"}).toJSON(),
         R"({"jsonrpc":"2.0","id":"a","method":"test/named","params":{"name":"x"}})"},
        {"ErasedNullParams", Request<AnyMethod>(1, "m", Value()).toJSON(),
         R"({"jsonrpc":"2.0","id":1,"method":"m","params":null})"},
        {"EmptyResult", Ping::response(1).toJSON(), R"({"jsonrpc":"2.0","id":1,"result":{}})"},
        {"TypedResult", test::NamedMethod::response(2, test::Counted{3}).toJSON(),
         R"({"jsonrpc":"2.0","id":2,"result":{"count":3}})"},
        {"Failure", Ping::response(1, MCPError::internalError()).toJSON(),
         R"({"jsonrpc":"2.0","id":1,"error":{"code":-32603,"message":"Internal error"}})"},
        {"EmptyNotificationLeavesOutParams", InitializedNotification::message().toJSON(),
         R"({"jsonrpc":"2.0","method":"notifications/initialized"})"},
        {"ErasedNotificationWritesNullParams", Message<AnyNotification>("n", Value()).toJSON(),
         R"({"jsonrpc":"2.0","method":"n","params":null})"},
        {"CancelledWithNothingWritesEmptyParams", CancelledNotification::message({}).toJSON(),
         R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{}})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(write(c.json), c.text);
    }
}

TEST(EnvelopeTest, ErasedRequestWithoutParamsReadsBackTyped) {
    auto erased = Request<AnyMethod>::fromJSON(platform::json::parse(R"({"jsonrpc":"2.0","id":1,"method":"m"})"));
    EXPECT_TRUE(erased.params.isNull());
    auto typed = Request<test::PagedMethod>::fromJSON(erased.toJSON());
    EXPECT_EQ(typed.params, test::Paged{});
}

TEST(EnvelopeTest, ErasesATypedRequestAsItsJSONReadsErased) {
    auto typed = test::NamedMethod::request(ID("r"), {"data:,hi"});
    Request<AnyMethod> erased(typed);
    EXPECT_EQ(erased, Request<AnyMethod>::fromJSON(typed.toJSON()));
    EXPECT_EQ(erased.params, Value::object({{"name", Value::data("text/plain", "hi")}}));
    EXPECT_EQ(erased.method, "test/named");
}

TEST(EnvelopeTest, DecodesResponsesResultFirst) {
    struct Case {
        const char* name;
        std::string_view text;
        std::string expected;  // "success <result>", "failure <description>" or "error <text>"
    };
    const std::vector<Case> cases = {
        {"ResultOnly", R"({"jsonrpc":"2.0","id":1,"result":{"count":2}})", R"(success {"count":2})"},
        {"ErrorOnly", R"({"jsonrpc":"2.0","id":1,"error":{"code":-32601,"message":"Method not found: x"}})",
         "failure Method not found: Method not found: x"},
        {"BothWithGoodResult", R"({"jsonrpc":"2.0","id":1,"result":{"count":2},"error":{"code":1,"message":"m"}})",
         R"(success {"count":2})"},
        {"BadResultGoodError", R"({"jsonrpc":"2.0","id":1,"result":{},"error":{"code":1,"message":"m"}})",
         "failure Server error: m"},
        {"Neither", R"({"jsonrpc":"2.0","id":1})", "error Invalid response"},
        {"BadResultNoError", R"({"jsonrpc":"2.0","id":1,"result":{"count":"2"}})", "error Invalid response"},
        {"BadErrorNoResult", R"({"jsonrpc":"2.0","id":1,"error":{"code":"x"}})", "error Invalid response"},
        {"BadVersion", R"({"jsonrpc":"3.0","id":1,"result":{"count":2}})", "error Invalid JSON-RPC version"},
        {"MissingId", R"({"jsonrpc":"2.0","result":{"count":2}})", "own"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string actual;
        try {
            auto response = Response<test::NamedMethod>::fromJSON(platform::json::parse(c.text));
            actual = response.isSuccess() ? "success " + write(response.success()->toJSON())
                                          : "failure " + response.failure()->errorDescription();
        } catch (const DecodingError& e) {
            actual = e.kind == DecodingError::Kind::dataCorrupted ? "error " + e.description : "own";
        }
        EXPECT_EQ(actual, c.expected);
    }
}

TEST(EnvelopeTest, NullResponseIdReadsAsEmptyStringId) {
    auto response = Response<AnyMethod>::fromJSON(
        platform::json::parse(R"({"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"Parse error"}})"));
    EXPECT_EQ(response.id, ID(""));
    ASSERT_FALSE(response.isSuccess());
    EXPECT_EQ(response.failure()->kind(), MCPError::Kind::parseError);
}

TEST(EnvelopeTest, ErasedResponseTakesANullResultEvenBesideAnError) {
    auto response = Response<AnyMethod>::fromJSON(
        platform::json::parse(R"({"jsonrpc":"2.0","id":1,"result":null,"error":{"code":1,"message":"m"}})"));
    ASSERT_TRUE(response.isSuccess());
    EXPECT_TRUE(response.success()->isNull());
}

TEST(EnvelopeTest, EmptyResultTakesAnyResult) {
    auto response = Response<Ping>::fromJSON(platform::json::parse(R"({"jsonrpc":"2.0","id":1,"result":"x"})"));
    EXPECT_TRUE(response.isSuccess());
}

TEST(EnvelopeTest, ComparesAndHashesEnvelopes) {
    std::hash<Request<test::NamedMethod>> hashRequest;
    auto a = test::NamedMethod::request(1, {"x"});
    auto b = test::NamedMethod::request(1, {"x"});
    EXPECT_EQ(a, b);
    EXPECT_EQ(hashRequest(a), hashRequest(b));
    EXPECT_NE(a, test::NamedMethod::request("1", {"x"}));
    EXPECT_NE(a, test::NamedMethod::request(1, {"y"}));

    std::hash<Response<Ping>> hashResponse;
    EXPECT_EQ(Ping::response(1), Ping::response(1));
    EXPECT_EQ(hashResponse(Ping::response(1)), hashResponse(Ping::response(1)));
    EXPECT_NE(Ping::response(1), Ping::response(1, MCPError::internalError()));
    EXPECT_EQ(Ping::response(1, MCPError::internalError()), Ping::response(1, MCPError::internalError()));
    EXPECT_EQ(std::hash<InitializedNotification>{}(InitializedNotification{}),
              std::hash<InitializedNotification>{}(InitializedNotification{}));
}

}  // namespace
}  // namespace mcp
