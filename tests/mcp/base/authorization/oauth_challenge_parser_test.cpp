#include "mcp/base/authorization/oauth_www_authenticate_parser.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using Parameters = std::map<std::string, std::string>;

TEST(DefaultOAuthWWWAuthenticateParserTest, ReadsTheBearerChallenge) {
    struct Case {
        const char* header;
        std::optional<Parameters> expected;
    };
    const std::vector<Case> cases = {
        {"Bearer realm=mcp, scope=files:read", Parameters{{"realm", "mcp"}, {"scope", "files:read"}}},
        {R"(Bearer scope="read write", realm="a,b")", Parameters{{"scope", "read write"}, {"realm", "a,b"}}},
        {R"(Bearer error="say \"hi\"")", Parameters{{"error", R"(say "hi")"}}},
        // Every quoted pair is undone, so an escaped backslash reads back as one backslash.
        {R"(Bearer realm="C:\\dir", scope="\a")", Parameters{{"realm", R"(C:\dir)"}, {"scope", "a"}}},
        {"Basic realm=a, Bearer error=insufficient_scope, scope=x", Parameters{{"error", "insufficient_scope"}, {"scope", "x"}}},
        {"Bearer scope=a, Basic realm=b", Parameters{{"scope", "a"}}},
        {"Bearer scope=a, foo", Parameters{{"scope", "a"}}},
        {"Bearer scope=a, Bearer scope=b", Parameters{{"scope", "a"}}},
        {"Bearer", Parameters{}},
        {"Bearer   ", Parameters{}},
        {"Basic realm=a", std::nullopt},
        {"", std::nullopt},
        {"  \t ", std::nullopt},
        {"Bearer Scope=X", Parameters{{"scope", "X"}}},
        {"Bearer scope=, =x", Parameters{}},
        {R"(Bearer scope="")", Parameters{{"scope", ""}}},
        {"Bearer scope=a, scope=b", Parameters{{"scope", "b"}}},
        {"BEARER scope=x", Parameters{{"scope", "x"}}},
        {"Bearer\tscope=x", Parameters{{"scope", "x"}}},
        {"Bearerx scope=x", std::nullopt},
        {"Bearer, scope=x", Parameters{{"scope", "x"}}},
        {"Bearer realm=a scope=b", Parameters{{"realm", "a scope=b"}}},
        {"Bearer a==b", Parameters{{"a", "=b"}}},
        {R"(Bearer scope="unbalanced, realm=x)", Parameters{{"scope", R"("unbalanced, realm=x)"}}},
    };
    const DefaultOAuthWWWAuthenticateParser parser;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header);
        const auto challenge = parser.parseBearer(platform::http::Headers{{"WWW-Authenticate", c.header}});
        ASSERT_EQ(challenge.has_value(), c.expected.has_value());
        if (challenge) EXPECT_EQ(challenge->parameters, *c.expected);
    }
}

TEST(DefaultOAuthWWWAuthenticateParserTest, FindsTheHeaderInAnyCaseAndReadsTheAccessors) {
    const DefaultOAuthWWWAuthenticateParser parser;
    EXPECT_FALSE(parser.parseBearer(platform::http::Headers{{"Content-Type", "text/plain"}}));
    const auto challenge = parser.parseBearer(platform::http::Headers{
        {"content-type", "x"},
        {"www-authenticate",
         R"(Bearer error="insufficient_scope", error_description="more", scope="a b", resource_metadata="https://r.example/.well-known/oauth-protected-resource")"}});
    ASSERT_TRUE(challenge);
    EXPECT_EQ(challenge->error(), "insufficient_scope");
    EXPECT_EQ(challenge->errorDescription(), "more");
    EXPECT_EQ(challenge->scope(), "a b");
    ASSERT_TRUE(challenge->resourceMetadataURL());
    EXPECT_EQ(challenge->resourceMetadataURL()->buffer(), "https://r.example/.well-known/oauth-protected-resource");

    const OAuthBearerChallenge broken{{{"resource_metadata", "https://a b"}}};
    EXPECT_FALSE(broken.resourceMetadataURL());
    EXPECT_FALSE(OAuthBearerChallenge{}.scope());
}

}  // namespace
}  // namespace mcp
