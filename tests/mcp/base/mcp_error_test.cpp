#include "mcp/base/mcp_error.hpp"

#include "platform/describe.hpp"
#include "platform/json/decoding_error.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"

#include <boost/system/system_error.hpp>
#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace mcp {
namespace {

std::string encode(const MCPError& error) {
    return platform::json::write(error.toJSON(), {.escapeSlashes = false});
}

MCPError decode(std::string_view json) {
    return MCPError::fromJSON(platform::json::parse(json));
}

const URLElicitationInfo kFirst{"url", "e1", "https://a.example/auth", "Sign in"};
const URLElicitationInfo kSecond{"url", "e2", "https://b.example/pay", "Pay"};

TEST(MCPErrorTest, CarriesCodeAndTextsOfEachCase) {
    struct Case {
        const char* name;
        MCPError error;
        std::int64_t code;
        std::string description;
        std::string failureReason;
        std::optional<std::string> recoverySuggestion;
    };
    const std::vector<Case> cases = {
        {"ParseError", MCPError::parseError(), -32700, "Parse error: Invalid JSON",
         "The server received invalid JSON that could not be parsed",
         "Verify that the JSON being sent is valid and well-formed"},
        {"ParseErrorDetail", MCPError::parseError("bad"), -32700, "Parse error: Invalid JSON: bad",
         "The server received invalid JSON that could not be parsed",
         "Verify that the JSON being sent is valid and well-formed"},
        {"InvalidRequest", MCPError::invalidRequest("x"), -32600, "Invalid Request: x",
         "The JSON sent is not a valid Request object",
         "Ensure the request is a well-formed JSON-RPC 2.0 message"},
        {"MethodNotFound", MCPError::methodNotFound("tools/x"), -32601, "Method not found: tools/x",
         "The method does not exist or is not available",
         "Check the method name and ensure it is supported by the server"},
        {"InvalidParamsEmptyDetail", MCPError::invalidParams(""), -32602, "Invalid params: ",
         "Invalid method parameter(s)", "Verify the parameters match the method's expected parameters"},
        {"InternalError", MCPError::internalError(), -32603, "Internal error", "Internal JSON-RPC error",
         std::nullopt},
        {"ServerError", MCPError::serverError(42, "boom"), 42, "Server error: boom",
         "Server-defined error occurred", std::nullopt},
        {"URLElicitationNone", MCPError::urlElicitationRequired("need", {}), -32042,
         "URL elicitation required: need", "The server requires user authentication or input via external URL",
         "Complete the required URL-based elicitation"},
        {"URLElicitationTwo", MCPError::urlElicitationRequired("need", {kFirst, kSecond}), -32042,
         "URL elicitation required: need", "The server requires user authentication or input via external URL",
         "Visit https://a.example/auth to complete the required authentication or input"},
        {"TransportError", MCPError::transportError(std::make_exception_ptr(std::runtime_error("reset"))), -32001,
         "Transport error: reset", "reset", std::nullopt},
        {"TransportErrorOfMCPError", MCPError::transportError(std::make_exception_ptr(MCPError::connectionClosed())),
         -32001, "Transport error: Connection closed", "The connection to the server was closed", std::nullopt},
        {"ConnectionClosed", MCPError::connectionClosed(), -32000, "Connection closed",
         "The connection to the server was closed", "Try reconnecting to the server"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.error.code(), c.code);
        EXPECT_EQ(c.error.errorDescription(), c.description);
        EXPECT_EQ(std::string(c.error.what()), c.description);
        EXPECT_EQ(platform::describe(std::make_exception_ptr(c.error)), c.description);
        EXPECT_EQ(c.error.failureReason(), c.failureReason);
        EXPECT_EQ(c.error.recoverySuggestion(), c.recoverySuggestion);
        EXPECT_EQ(c.error.debugDescription().rfind("[" + std::to_string(c.code) + "] " + c.description, 0), 0u);
    }
}

TEST(MCPErrorTest, DebugDescriptionShowsTheUnderlyingError) {
    EXPECT_EQ(MCPError::connectionClosed().debugDescription(), "[-32000] Connection closed");
    auto wrapped = MCPError::transportError(std::make_exception_ptr(MCPError::parseError()));
    EXPECT_EQ(wrapped.debugDescription(),
              "[-32001] Transport error: Parse error: Invalid JSON (Underlying error: [-32700] Parse error: Invalid JSON)");
    auto system = MCPError::transportError(std::make_exception_ptr(std::runtime_error("reset")));
    EXPECT_EQ(system.debugDescription(), "[-32001] Transport error: reset (Underlying error: std::runtime_error(reset))");
}

TEST(MCPErrorTest, TransportErrorWithoutAnUnderlyingErrorReadsAsUnknown) {
    auto error = MCPError::transportError(nullptr);
    EXPECT_EQ(error.errorDescription(), "Transport error: Unknown error");
    EXPECT_EQ(error.failureReason(), "Unknown error");
    EXPECT_EQ(error.debugDescription(), "[-32001] Transport error: Unknown error (Underlying error: Unknown error)");
    EXPECT_EQ(encode(error), R"({"code":-32001,"message":"Transport error: Unknown error","data":{"error":"Unknown error"}})");
}

TEST(MCPErrorTest, EncodesEachCase) {
    struct Case {
        const char* name;
        MCPError error;
        std::string json;
    };
    const std::vector<Case> cases = {
        {"NoDetail", MCPError::parseError(), R"({"code":-32700,"message":"Parse error: Invalid JSON"})"},
        {"Detail", MCPError::parseError("bad"),
         R"({"code":-32700,"message":"Parse error: Invalid JSON: bad","data":{"detail":"bad"}})"},
        {"MethodNotFound", MCPError::methodNotFound("tools/x"),
         R"({"code":-32601,"message":"Method not found: tools/x","data":{"detail":"tools/x"}})"},
        {"InternalError", MCPError::internalError("oops"),
         R"({"code":-32603,"message":"Internal error: oops","data":{"detail":"oops"}})"},
        {"ServerError", MCPError::serverError(-1, "boom"), R"({"code":-1,"message":"Server error: boom"})"},
        {"URLElicitation", MCPError::urlElicitationRequired("need", {kFirst}),
         R"({"code":-32042,"message":"need","data":{"elicitations":[{"mode":"url","elicitationId":"e1",)"
         R"("url":"https://a.example/auth","message":"Sign in"}]}})"},
        {"URLElicitationNone", MCPError::urlElicitationRequired("need", {}),
         R"({"code":-32042,"message":"need","data":{"elicitations":[]}})"},
        {"TransportError", MCPError::transportError(std::make_exception_ptr(std::runtime_error("reset"))),
         R"({"code":-32001,"message":"Transport error: reset","data":{"error":"reset"}})"},
        {"ConnectionClosed", MCPError::connectionClosed(), R"({"code":-32000,"message":"Connection closed"})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(encode(c.error), c.json);
    }
}

TEST(MCPErrorTest, DecodesByCode) {
    struct Case {
        const char* name;
        std::string_view json;
        MCPError expected;
    };
    const std::vector<Case> cases = {
        {"MessageBecomesDetail", R"({"code":-32601,"message":"Method not found: x"})",
         MCPError::methodNotFound("Method not found: x")},
        {"DataDetail", R"({"code":-32601,"message":"Method not found: x","data":{"detail":"x"}})",
         MCPError::methodNotFound("x")},
        {"NonStringDetail", R"({"code":-32700,"message":"m","data":{"detail":5}})", MCPError::parseError("m")},
        {"DataURLDetailIsNoString", R"({"code":-32600,"message":"m","data":{"detail":"data:,x"}})",
         MCPError::invalidRequest("m")},
        {"InvalidParams", R"({"code":-32602,"message":"m"})", MCPError::invalidParams("m")},
        {"InternalDropsMessage", R"({"code":-32603,"message":"anything"})", MCPError::internalError()},
        {"InternalKeepsDetail", R"({"code":-32603,"message":"anything","data":{"detail":"d"}})",
         MCPError::internalError("d")},
        {"NullData", R"({"code":-32603,"message":"m","data":null})", MCPError::internalError()},
        {"ConnectionClosed", R"({"code":-32000,"message":"whatever","data":{"x":1}})", MCPError::connectionClosed()},
        {"OtherCode", R"({"code":42,"message":"m"})", MCPError::serverError(42, "m")},
        {"MinusOne", R"({"code":-1,"message":"m"})", MCPError::serverError(-1, "m")},
        {"URLElicitationSkipsBadEntries",
         R"({"code":-32042,"message":"need","data":{"elicitations":[)"
         R"({"mode":"url","elicitationId":"e1","url":"https://a.example/auth","message":"Sign in"},)"
         R"({"mode":"url","elicitationId":"e3","message":"no url"},7,)"
         R"({"mode":"url","elicitationId":"e2","url":"https://b.example/pay","message":"Pay"}]}})",
         MCPError::urlElicitationRequired("need", {kFirst, kSecond})},
        {"URLElicitationNotArray", R"({"code":-32042,"message":"need","data":{"elicitations":{}}})",
         MCPError::urlElicitationRequired("need", {})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto error = decode(c.json);
        EXPECT_EQ(error, c.expected);
        EXPECT_EQ(error.errorDescription(), c.expected.errorDescription());
    }
}

TEST(MCPErrorTest, DecodesTransportErrorAsPeerText) {
    auto withData = decode(R"({"code":-32001,"message":"m","data":{"error":"reset by peer"}})");
    EXPECT_EQ(withData.kind(), MCPError::Kind::transportError);
    EXPECT_EQ(withData.errorDescription(), "Transport error: reset by peer");
    EXPECT_EQ(withData.failureReason(), "reset by peer");
    try {
        std::rethrow_exception(withData.underlyingError());
    } catch (const PeerError& e) {
        EXPECT_EQ(e.code, -32001);
        EXPECT_EQ(e.domain, PeerError::jsonRPCDomain);
    }
    EXPECT_EQ(decode(R"({"code":-32001,"message":"gone"})").errorDescription(), "Transport error: gone");
}

TEST(MCPErrorTest, RefusesMalformedErrorObjects) {
    for (std::string_view json : {R"({"message":"m"})", R"({"code":-32600})", R"({"code":"x","message":"m"})",
                                  R"({"code":1.5,"message":"m"})", R"({"code":1,"message":"m","data":"text"})",
                                  R"({"code":1,"message":"m","data":[1]})", "[]"}) {
        SCOPED_TRACE(json);
        EXPECT_THROW(decode(json), platform::json::DecodingError);
    }
}

TEST(MCPErrorTest, RoundTrips) {
    auto elicitation = MCPError::urlElicitationRequired("need", {kFirst, kSecond});
    EXPECT_EQ(MCPError::fromJSON(elicitation.toJSON()), elicitation);
    auto detail = MCPError::invalidParams("p");
    EXPECT_EQ(MCPError::fromJSON(detail.toJSON()), detail);
    // The message of a server error carries its prefix on the wire, so it comes back with two.
    auto server = MCPError::fromJSON(MCPError::serverError(7, "boom").toJSON());
    EXPECT_EQ(server.errorDescription(), "Server error: Server error: boom");
    EXPECT_NE(server, MCPError::serverError(7, "boom"));
}

TEST(MCPErrorTest, ComparesAndHashesByCaseAndPayload) {
    struct Case {
        const char* name;
        MCPError a;
        MCPError b;
        bool equal;
    };
    auto reset = [] { return std::make_exception_ptr(std::runtime_error("reset")); };
    auto resetSystem = [] { return std::make_exception_ptr(std::logic_error("reset")); };
    const std::vector<Case> cases = {
        {"SameDetail", MCPError::invalidParams("x"), MCPError::invalidParams("x"), true},
        {"AbsentVersusEmptyDetail", MCPError::invalidParams(), MCPError::invalidParams(""), false},
        {"OtherCaseSameDetail", MCPError::invalidParams("x"), MCPError::invalidRequest("x"), false},
        {"ServerCodesDiffer", MCPError::serverError(1, "m"), MCPError::serverError(2, "m"), false},
        {"TransportBySameText", MCPError::transportError(reset()), MCPError::transportError(resetSystem()), true},
        {"ElicitationOrder", MCPError::urlElicitationRequired("m", {kFirst, kSecond}),
         MCPError::urlElicitationRequired("m", {kSecond, kFirst}), false},
        {"ConnectionClosed", MCPError::connectionClosed(), MCPError::connectionClosed(), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.a == c.b, c.equal);
        if (c.equal) {
            EXPECT_EQ(std::hash<MCPError>{}(c.a), std::hash<MCPError>{}(c.b));
        }
    }
}

TEST(MCPErrorTest, RecognisesOnlyABareWouldBlockError) {
    struct Case {
        const char* name;
        std::exception_ptr error;
        bool wouldBlock;
    };
    const std::vector<Case> cases = {
        {"StdEAGAIN", std::make_exception_ptr(std::system_error(EAGAIN, std::generic_category())), true},
        {"SystemCategoryEAGAIN", std::make_exception_ptr(std::system_error(EAGAIN, std::system_category())), true},
        {"EWOULDBLOCK", std::make_exception_ptr(std::system_error(EWOULDBLOCK, std::generic_category())), true},
        {"BoostEAGAIN",
         std::make_exception_ptr(boost::system::system_error(EAGAIN, boost::system::system_category())), true},
        {"OtherErrno", std::make_exception_ptr(std::system_error(EPIPE, std::generic_category())), false},
        {"WrappedInTransportError",
         std::make_exception_ptr(MCPError::transportError(
             std::make_exception_ptr(std::system_error(EAGAIN, std::generic_category())))),
         false},
        {"OtherException", std::make_exception_ptr(std::runtime_error("EAGAIN")), false},
        {"NotAnException", std::make_exception_ptr(35), false},
        {"Null", nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MCPError::isResourceTemporarilyUnavailable(c.error), c.wouldBlock);
    }
}

}  // namespace
}  // namespace mcp
