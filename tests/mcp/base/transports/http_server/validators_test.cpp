#include "mcp/base/transports/http_server/standard_validation_pipeline.hpp"

#include "mcp/base/transports/http_server/accept_header_validator.hpp"
#include "mcp/base/transports/http_server/content_type_validator.hpp"
#include "mcp/base/transports/http_server/origin_validator.hpp"
#include "mcp/base/transports/http_server/protocol_version_validator.hpp"
#include "mcp/base/transports/http_server/session_validator.hpp"
#include "mcp/base/version.hpp"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mcp {
namespace {

using Headers = std::map<std::string, std::string>;

HTTPRequest requestWith(Headers headers, std::string method = "POST") {
    return HTTPRequest{std::move(method), std::move(headers), std::string("{}"), std::string("/mcp")};
}

HTTPValidationContext contextFor(std::string method, std::optional<std::string> session = std::nullopt,
                                 bool initialize = false) {
    return HTTPValidationContext{std::move(method), std::move(session), initialize, Version::supported()};
}

/// What a refusal must look like; a passing request expects nothing.
struct Refusal {
    int status;
    std::string text;
};

void expectOutcome(const std::optional<HTTPResponse>& response, const std::optional<Refusal>& expected,
                   const HTTPValidationContext& context) {
    if (!expected) {
        EXPECT_FALSE(response) << "refused with " << response->statusCode();
        return;
    }
    ASSERT_TRUE(response);
    EXPECT_EQ(response->statusCode(), expected->status);
    EXPECT_EQ(response->mcpError(), MCPError::invalidRequest(expected->text));
    Headers headers{{"Content-Type", "application/json"}};
    if (context.sessionID) headers.emplace("MCP-Session-Id", *context.sessionID);
    EXPECT_EQ(response->headers(), headers);
}

/// Records that it ran and answers with `answer`.
class RecordingValidator final : public HTTPRequestValidator {
public:
    RecordingValidator(std::vector<std::string>& log, std::string name, std::optional<int> answer)
        : log_(log), name_(std::move(name)), answer_(answer) {}

    std::optional<HTTPResponse> validate(const HTTPRequest&, const HTTPValidationContext&) const override {
        log_.push_back(name_);
        if (!answer_) return std::nullopt;
        return HTTPResponse::accepted({{"X-Validator", name_}});
    }

private:
    std::vector<std::string>& log_;
    std::string name_;
    std::optional<int> answer_;
};

TEST(StandardValidationPipelineTest, FirstAnswerWinsAndStopsTheRun) {
    std::vector<std::string> log;
    StandardValidationPipeline pipeline({
        std::make_shared<RecordingValidator>(log, "a", std::nullopt),
        std::make_shared<RecordingValidator>(log, "b", 1),
        std::make_shared<RecordingValidator>(log, "c", 1),
    });
    auto response = pipeline.validate(requestWith({}), contextFor("POST"));
    ASSERT_TRUE(response);
    EXPECT_EQ(response->headers().at("X-Validator"), "b");
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b"}));

    log.clear();
    StandardValidationPipeline passing({std::make_shared<RecordingValidator>(log, "a", std::nullopt),
                                        std::make_shared<RecordingValidator>(log, "b", std::nullopt)});
    EXPECT_FALSE(passing.validate(requestWith({}), contextFor("POST")));
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b"}));

    EXPECT_FALSE(StandardValidationPipeline({}).validate(requestWith({}), contextFor("POST")));
}

TEST(AcceptHeaderValidatorTest, RequiresWhatTheMethodAnswersWith) {
    using Mode = AcceptHeaderValidator::Mode;
    const Refusal json{406, "Not Acceptable: Client must accept application/json"};
    const Refusal both{406, "Not Acceptable: Client must accept both application/json and text/event-stream"};
    const Refusal events{406, "Not Acceptable: Client must accept text/event-stream"};
    struct Case {
        const char* name;
        std::string method;
        std::optional<std::string> accept;
        std::optional<Refusal> jsonOnly;
        std::optional<Refusal> sseRequired;
    };
    const std::vector<Case> cases = {
        {"PostBoth", "POST", "application/json, text/event-stream", std::nullopt, std::nullopt},
        {"PostBothTabsAndEmptyPieces", "POST", ",\ttext/event-stream ,, application/json;q=0.9\t", std::nullopt,
         std::nullopt},
        {"PostJsonOnly", "POST", "application/json", std::nullopt, both},
        {"PostEventStreamOnly", "POST", "text/event-stream", json, both},
        {"PostWildcard", "POST", "*/*", json, both},
        {"PostTypeWildcard", "POST", "application/*", json, both},
        {"PostUpperCase", "POST", "Application/JSON", json, both},
        {"PostLeadingLineBreakNotTrimmed", "POST", "\napplication/json", json, both},
        {"PostMissing", "POST", std::nullopt, json, both},
        {"GetEventStream", "GET", "text/event-stream", std::nullopt, std::nullopt},
        {"GetJsonOnly", "GET", "application/json", events, events},
        {"GetMissing", "GET", std::nullopt, events, events},
        {"LowerCasePostIsNotPost", "post", std::nullopt, std::nullopt, std::nullopt},
        {"Delete", "DELETE", "*/*", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Headers headers;
        if (c.accept) headers.emplace("accept", *c.accept);
        const auto context = contextFor(c.method);
        expectOutcome(AcceptHeaderValidator(Mode::jsonOnly).validate(requestWith(headers, c.method), context),
                      c.jsonOnly, context);
        expectOutcome(AcceptHeaderValidator(Mode::sseRequired).validate(requestWith(headers, c.method), context),
                      c.sseRequired, context);
    }
}

TEST(ContentTypeValidatorTest, RequiresJSONOnPost) {
    const Refusal refused{415, "Unsupported Media Type: Content-Type must be application/json"};
    struct Case {
        const char* name;
        std::string method;
        std::optional<std::string> contentType;
        std::optional<Refusal> expected;
    };
    const std::vector<Case> cases = {
        {"Json", "POST", "application/json", std::nullopt},
        {"JsonWithCharset", "POST", "application/json; charset=utf-8", std::nullopt},
        {"Padded", "POST", " \tapplication/json \t;charset=utf-8", std::nullopt},
        {"LeadingSemicolonsDropped", "POST", ";;application/json", std::nullopt},
        {"UpperCase", "POST", "Application/JSON", refused},
        {"Text", "POST", "text/plain", refused},
        {"JsonSuffix", "POST", "application/json-seq", refused},
        {"Empty", "POST", "", refused},
        {"Missing", "POST", std::nullopt, refused},
        {"GetWithout", "GET", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Headers headers;
        if (c.contentType) headers.emplace("Content-Type", *c.contentType);
        const auto context = contextFor(c.method);
        expectOutcome(ContentTypeValidator().validate(requestWith(headers, c.method), context), c.expected, context);
    }
}

TEST(ProtocolVersionValidatorTest, RefusesUnsupportedVersionsWithTheSortedList) {
    const Refusal unsupported{
        400, "Bad Request: Unsupported protocol version: 1999-01-01. Supported: 2024-11-05, 2025-03-26, 2025-06-18, "
             "2025-11-25"};
    struct Case {
        const char* name;
        std::optional<std::string> version;
        bool initialize;
        std::optional<Refusal> expected;
    };
    const std::vector<Case> cases = {
        {"Supported", "2025-06-18", false, std::nullopt},
        {"Missing", std::nullopt, false, std::nullopt},
        {"Unknown", "1999-01-01", false, unsupported},
        {"UnknownOnInitialize", "1999-01-01", true, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Headers headers;
        if (c.version) headers.emplace("mcp-protocol-version", *c.version);
        const auto context = contextFor("POST", std::nullopt, c.initialize);
        expectOutcome(ProtocolVersionValidator().validate(requestWith(headers), context), c.expected, context);
    }
}

TEST(SessionValidatorTest, RequiresTheEstablishedSession) {
    struct Case {
        const char* name;
        std::optional<std::string> contextSession;
        std::optional<std::string> header;
        bool initialize;
        std::optional<Refusal> expected;
    };
    const std::vector<Case> cases = {
        {"Matching", "s1", "s1", false, std::nullopt},
        {"Different", "s1", "s2", false, Refusal{404, "Not Found: Invalid or expired session ID"}},
        {"DifferentCase", "s1", "S1", false, Refusal{404, "Not Found: Invalid or expired session ID"}},
        {"MissingHeader", "s1", std::nullopt, false, Refusal{400, "Bad Request: Missing MCP-Session-Id header"}},
        {"NoSession", std::nullopt, "s1", false, Refusal{400, "Bad Request: Session not initialized"}},
        {"Initialize", std::nullopt, std::nullopt, true, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Headers headers;
        if (c.header) headers.emplace("MCP-Session-Id", *c.header);
        const auto context = contextFor("POST", c.contextSession, c.initialize);
        expectOutcome(SessionValidator().validate(requestWith(headers), context), c.expected, context);
    }
}

TEST(OriginValidatorTest, BuildsTheLocalhostLists) {
    auto any = OriginValidator::localhost();
    EXPECT_TRUE(any.enabled);
    EXPECT_EQ(any.allowedHosts, (std::vector<std::string>{"127.0.0.1:*", "localhost:*", "[::1]:*"}));
    EXPECT_EQ(any.allowedOrigins,
              (std::vector<std::string>{"http://127.0.0.1:*", "http://localhost:*", "http://[::1]:*"}));
    auto fixed = OriginValidator::localhost(8080);
    EXPECT_EQ(fixed.allowedHosts, (std::vector<std::string>{"127.0.0.1:8080", "localhost:8080", "[::1]:8080"}));
}

TEST(OriginValidatorTest, ChecksHostThenOrigin) {
    const Refusal host{421, "Misdirected Request: Host header not allowed"};
    const Refusal origin{403, "Forbidden: Origin not allowed"};
    struct Case {
        const char* name;
        OriginValidator validator;
        std::optional<std::string> host;
        std::optional<std::string> origin;
        std::optional<Refusal> expected;
    };
    const auto any = OriginValidator::localhost();
    const auto port8080 = OriginValidator::localhost(8080);
    const std::vector<Case> cases = {
        {"LocalhostAnyPort", any, "localhost:47292", std::nullopt, std::nullopt},
        {"LoopbackPortOne", any, "127.0.0.1:1", std::nullopt, std::nullopt},
        {"IPv6Loopback", any, "[::1]:8080", std::nullopt, std::nullopt},
        {"ArabicIndicDigitsAreNumeric", any, "localhost:\xD9\xA8\xD9\xA0", std::nullopt, std::nullopt},
        {"FullwidthDigitsAreNumeric", any, "localhost:\xEF\xBC\x98", std::nullopt, std::nullopt},
        {"NoPort", any, "localhost", std::nullopt, host},
        {"EmptyPort", any, "localhost:", std::nullopt, host},
        {"PortWithLetter", any, "localhost:80a", std::nullopt, host},
        {"PortWithSpace", any, "localhost:80 ", std::nullopt, host},
        {"IllFormedUTF8Port", any, "localhost:8\xFF", std::nullopt, host},
        {"UpperCaseHost", any, "LOCALHOST:80", std::nullopt, host},
        {"LanAddress", any, "192.168.1.5:80", std::nullopt, host},
        {"SuffixAttack", any, "localhost.evil.example:80", std::nullopt, host},
        {"HttpOrigin", any, "localhost:3000", "http://localhost:3000", std::nullopt},
        {"HttpsOrigin", any, "localhost:3000", "https://localhost:3000", origin},
        {"OriginWithoutHost", any, std::nullopt, "http://evil.example", origin},
        {"HostIsCheckedFirst", any, "evil.example", "http://evil.example", host},
        {"NeitherHeader", any, std::nullopt, std::nullopt, std::nullopt},
        {"FixedPortMatches", port8080, "localhost:8080", std::nullopt, std::nullopt},
        {"FixedPortDiffers", port8080, "localhost:8081", std::nullopt, host},
        {"EmptyListsRefuseAnyHost", OriginValidator({}, {}), "localhost:1", std::nullopt, host},
        {"EmptyListsRefuseAnyOrigin", OriginValidator({}, {}), std::nullopt, "http://localhost:1", origin},
        {"Disabled", OriginValidator::disabled(), "evil.example", "http://evil.example", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Headers headers;
        if (c.host) headers.emplace("host", *c.host);
        if (c.origin) headers.emplace("ORIGIN", *c.origin);
        for (const auto& session : {std::optional<std::string>(), std::optional<std::string>("s9")}) {
            const auto context = contextFor("POST", session);
            expectOutcome(c.validator.validate(requestWith(headers), context), c.expected, context);
        }
    }
}

}  // namespace
}  // namespace mcp
