#include "mcp/base/transports/http_server/bearer_token_validator.hpp"

#include "mcp/base/authorization/default_oauth_metadata_discovery.hpp"
#include "mcp/base/transports/http_server/protected_resource_metadata_validator.hpp"
#include "mcp/base/version.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace mcp {
namespace {

using namespace std::chrono_literals;
using Headers = std::map<std::string, std::string>;
using Scopes = std::set<std::string>;
using Clock = std::chrono::system_clock;

const Clock::time_point kNow = Clock::time_point(1'700'000'000s);
const std::string kMetadataURL = "https://api.example/.well-known/oauth-protected-resource/mcp";
const std::string kBareChallenge = "Bearer resource_metadata=\"" + kMetadataURL + "\"";

HTTPRequest requestWith(std::optional<std::string> authorization) {
    Headers headers;
    if (authorization) headers.emplace("authorization", *authorization);
    return HTTPRequest{"POST", std::move(headers), std::string("{}"), std::string("/mcp")};
}

HTTPValidationContext context(std::optional<std::string> session = std::nullopt) {
    return HTTPValidationContext{"POST", std::move(session), false, Version::supported()};
}

/// A validator whose token check answers `result` and records the tokens it is given.
struct Fixture {
    BearerTokenValidationResult result = BearerTokenValidationResult::valid({});
    std::optional<Scopes> providedScopes;
    bool requiresAuthentication = true;
    std::shared_ptr<const OAuthMetadataDiscovering> discovery = std::make_shared<DefaultOAuthMetadataDiscovery>();
    std::shared_ptr<std::vector<std::string>> tokens = std::make_shared<std::vector<std::string>>();

    BearerTokenValidator validator() const {
        BearerTokenValidator::ChallengeScopeProvider provider;
        if (providedScopes) {
            provider = [scopes = *providedScopes](const HTTPRequest&, const HTTPValidationContext&) {
                return std::optional<Scopes>(scopes);
            };
        }
        return BearerTokenValidator(
            boost::urls::url(kMetadataURL), boost::urls::url("https://api.example/mcp"),
            [result = result, tokens = tokens](const std::string& token, const HTTPRequest&,
                                               const HTTPValidationContext&) {
                tokens->push_back(token);
                return result;
            },
            provider,
            [required = requiresAuthentication](const HTTPRequest&, const HTTPValidationContext&) { return required; },
            discovery, [] { return kNow; });
    }

    std::optional<HTTPResponse> validate(std::optional<std::string> authorization,
                                         std::optional<std::string> session = std::nullopt) const {
        return validator().validate(requestWith(std::move(authorization)), context(std::move(session)));
    }
};

/// A refusal as the validator must make it.
struct Expected {
    int status;
    std::string text;
    std::optional<std::string> challenge;
};

void expectRefusal(const std::optional<HTTPResponse>& response, const Expected& expected,
                   std::optional<std::string> session = std::nullopt) {
    ASSERT_TRUE(response);
    EXPECT_EQ(response->statusCode(), expected.status);
    EXPECT_EQ(response->mcpError(), MCPError::invalidRequest(expected.text));
    Headers headers{{"Content-Type", "application/json"}};
    if (session) headers.emplace("MCP-Session-Id", *session);
    if (expected.challenge) headers.emplace("WWW-Authenticate", *expected.challenge);
    EXPECT_EQ(response->headers(), headers);
}

TEST(BearerTokenValidatorTest, ParsesTheAuthorizationHeader) {
    struct Case {
        const char* name;
        std::string header;
        std::optional<std::string> token;   // passes with this token
        std::optional<std::string> failure;  // or is refused with this message
    };
    const std::vector<Case> cases = {
        {"Plain", "Bearer tok", "tok", std::nullopt},
        {"LowerCaseSchemeAndBlanks", "bearer   tok", "tok", std::nullopt},
        {"UpperCaseScheme", "BEARER tok", "tok", std::nullopt},
        {"SurroundingWhiteSpace", "\t Bearer\t\ttok \r\n", "tok", std::nullopt},
        {"NoBreakSpaceSeparates", "Bearer\xC2\xA0tok", "tok", std::nullopt},
        {"OtherScheme", "Basic abc", std::nullopt, "Authorization scheme must be Bearer"},
        {"SchemeOnly", "Bearer", std::nullopt, "Authorization header must be in the form: Bearer <token>"},
        {"SchemeWithTrailingBlanks", "Bearer   ", std::nullopt, "Authorization header must be in the form: Bearer <token>"},
        {"Blanks", "   ", std::nullopt, "Authorization header is empty"},
        {"Empty", "", std::nullopt, "Authorization header is empty"},
        {"TokenWithBlank", "Bearer a b", std::nullopt, "Bearer token must not contain whitespace"},
        {"TokenWithEmSpace", "Bearer a\xE2\x80\x83" "b", std::nullopt, "Bearer token must not contain whitespace"},
        {"TokenWithLineBreak", "Bearer a\nb", std::nullopt, "Bearer token must not contain whitespace"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture fixture;
        auto response = fixture.validate(c.header);
        if (c.token) {
            EXPECT_FALSE(response);
            EXPECT_EQ(*fixture.tokens, std::vector<std::string>{*c.token});
        } else {
            expectRefusal(response, {400, "Bad Request: " + *c.failure, std::nullopt});
            EXPECT_TRUE(fixture.tokens->empty());
        }
    }
}

TEST(BearerTokenValidatorTest, ChallengesARequestWithoutToken) {
    Fixture fixture;
    expectRefusal(fixture.validate(std::nullopt), {401, "Unauthorized", kBareChallenge});
    expectRefusal(fixture.validate(std::nullopt, "s1"), {401, "Unauthorized", kBareChallenge}, "s1");

    fixture.providedScopes = Scopes{"write", "read"};
    expectRefusal(fixture.validate(std::nullopt), {401, "Unauthorized", kBareChallenge + ", scope=\"read write\""});

    fixture.providedScopes = Scopes{};
    expectRefusal(fixture.validate(std::nullopt), {401, "Unauthorized", kBareChallenge});
}

TEST(BearerTokenValidatorTest, LetsThroughWhatNeedsNoAuthentication) {
    Fixture fixture;
    fixture.requiresAuthentication = false;
    fixture.result = BearerTokenValidationResult::invalidToken();
    EXPECT_FALSE(fixture.validate(std::nullopt));
    EXPECT_FALSE(fixture.validate("Bearer tok"));
    EXPECT_TRUE(fixture.tokens->empty());
}

TEST(BearerTokenValidatorTest, RefusesExpiredTokensAgainstTheClock) {
    const Expected expired{401, "Unauthorized", kBareChallenge + R"(, error="invalid_token", error_description="Token has expired")"};
    struct Case {
        const char* name;
        std::optional<Clock::time_point> expiresAt;
        bool passes;
    };
    const std::vector<Case> cases = {
        {"ExpiresNow", kNow, false},
        {"ExpiredASecondAgo", kNow - 1s, false},
        {"ExpiresInAMillisecond", kNow + 1ms, true},
        {"NoExpiry", std::nullopt, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture fixture;
        fixture.result = BearerTokenValidationResult::valid({std::nullopt, Scopes{"x"}, c.expiresAt});
        auto response = fixture.validate("Bearer tok");
        if (c.passes) {
            EXPECT_FALSE(response);
        } else {
            expectRefusal(response, expired);
        }
    }
}

TEST(BearerTokenValidatorTest, RequiresAnAudienceThatDesignatesTheResource) {
    const Expected mismatch{401, "Unauthorized",
                            kBareChallenge + R"(, error="invalid_token", error_description="Token audience mismatch")"};
    struct Case {
        const char* name;
        std::vector<std::string> audience;
        bool passes;
    };
    const std::vector<Case> cases = {
        {"Exact", {"https://api.example/mcp"}, true},
        {"WholeHost", {"https://api.example"}, true},
        {"SecondEntryMatches", {"https://other.example/mcp", "https://api.example/mcp/"}, true},
        {"InvalidEntrySkipped", {"not a url", "https://api.example/mcp"}, true},
        {"OnlyEmptyText", {""}, false},
        {"Empty", {}, false},
        {"OtherHost", {"https://other.example/mcp"}, false},
        {"PlainHttp", {"http://api.example/mcp"}, false},
        {"SiblingPath", {"https://api.example/mcpx"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture fixture;
        fixture.result = BearerTokenValidationResult::valid({c.audience, std::nullopt, kNow + 1h});
        auto response = fixture.validate("Bearer tok");
        if (c.passes) {
            EXPECT_FALSE(response);
        } else {
            expectRefusal(response, mismatch);
        }
    }
}

TEST(BearerTokenValidatorTest, AsksTheDiscoveryRuleForEachAudienceUntilOneMatches) {
    class Recording final : public DefaultOAuthMetadataDiscovery {
    public:
        mutable std::vector<std::pair<std::string, std::string>> asked;
        bool protectedResourceMatches(boost::urls::url_view resource, boost::urls::url_view endpoint) const override {
            asked.emplace_back(std::string(resource.buffer()), std::string(endpoint.buffer()));
            return resource.buffer() == "urn:b";
        }
    };
    auto discovery = std::make_shared<Recording>();
    Fixture fixture;
    fixture.discovery = discovery;
    fixture.result = BearerTokenValidationResult::valid({std::vector<std::string>{"urn:a", "", "urn:b", "urn:c"}, {}, {}});
    EXPECT_FALSE(fixture.validate("Bearer tok"));
    EXPECT_EQ(discovery->asked, (std::vector<std::pair<std::string, std::string>>{
                                    {"urn:a", "https://api.example/mcp"}, {"urn:b", "https://api.example/mcp"}}));
}

TEST(BearerTokenValidatorTest, TurnsTheCheckersRefusalsIntoResponses) {
    struct Case {
        const char* name;
        BearerTokenValidationResult result;
        std::optional<Scopes> provided;
        Expected expected;
    };
    const std::vector<Case> cases = {
        {"InsufficientScopeSorted", BearerTokenValidationResult::insufficientScope({"b", "a"}), Scopes{"zzz"},
         {403, "Forbidden: Insufficient scope", kBareChallenge + R"(, scope="a b", error="insufficient_scope")"}},
        {"InsufficientScopeWithDescription", BearerTokenValidationResult::insufficientScope({"a"}, "need a"),
         std::nullopt,
         {403, "Forbidden: Insufficient scope",
          kBareChallenge + R"(, scope="a", error="insufficient_scope", error_description="need a")"}},
        {"InsufficientScopeNoneNamed", BearerTokenValidationResult::insufficientScope({}), Scopes{"zzz"},
         {403, "Forbidden: Insufficient scope", kBareChallenge + R"(, error="insufficient_scope")"}},
        {"InvalidTokenWithProvidedScope", BearerTokenValidationResult::invalidToken("revoked"), Scopes{"read"},
         {401, "Unauthorized",
          kBareChallenge + R"(, scope="read", error="invalid_token", error_description="revoked")"}},
        {"InvalidTokenEmptyDescription", BearerTokenValidationResult::invalidToken(""), std::nullopt,
         {401, "Unauthorized", kBareChallenge + R"(, error="invalid_token")"}},
        {"EscapedDescription", BearerTokenValidationResult::invalidToken(R"(bad "tok" \ here)"), std::nullopt,
         {401, "Unauthorized",
          kBareChallenge + R"(, error="invalid_token", error_description="bad \"tok\" \\ here")"}},
        {"MalformedWithDescription", BearerTokenValidationResult::malformedRequest("two tokens"), Scopes{"read"},
         {400, "Bad Request: two tokens", std::nullopt}},
        {"MalformedWithout", BearerTokenValidationResult::malformedRequest(), std::nullopt,
         {400, "Bad Request: Malformed authorization request", std::nullopt}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture fixture;
        fixture.result = c.result;
        fixture.providedScopes = c.provided;
        expectRefusal(fixture.validate("Bearer tok", "s7"), c.expected, "s7");
    }
}

TEST(ProtectedResourceMetadataValidatorTest, ServesTheDocumentOnItsWellKnownPaths) {
    ProtectedResourceMetadataValidator validator(OAuthProtectedResourceServerMetadata{
        "https://api.example/mcp", {boost::urls::url("https://auth.example")}, std::vector<std::string>{"read"}});
    const std::string document =
        R"({"resource":"https:\/\/api.example\/mcp","authorization_servers":["https:\/\/auth.example"],"scopes_supported":["read"]})";
    EXPECT_EQ(validator.encodedMetadata, document);

    struct Case {
        const char* name;
        std::string method;
        std::optional<std::string> path;
        bool served;
    };
    const std::vector<Case> cases = {
        {"Root", "GET", "/.well-known/oauth-protected-resource", true},
        {"ForAPath", "GET", "/.well-known/oauth-protected-resource/mcp", true},
        {"TrailingSlash", "GET", "/.well-known/oauth-protected-resource/", true},
        {"SuffixedName", "GET", "/.well-known/oauth-protected-resource-x", false},
        {"OtherPath", "GET", "/mcp", false},
        {"NoPath", "GET", std::nullopt, false},
        {"Post", "POST", "/.well-known/oauth-protected-resource", false},
        {"LowerCaseGet", "get", "/.well-known/oauth-protected-resource", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HTTPRequest request{c.method, {}, std::nullopt, c.path};
        HTTPValidationContext context{c.method, std::nullopt, false, Version::supported()};
        auto response = validator.validate(request, context);
        if (!c.served) {
            EXPECT_FALSE(response);
            continue;
        }
        ASSERT_TRUE(response);
        EXPECT_EQ(response->statusCode(), 200);
        EXPECT_EQ(response->bodyData(), document);
        EXPECT_EQ(response->headers(), (Headers{{"Content-Type", "application/json"}}));
    }
}

}  // namespace
}  // namespace mcp
