#include "mcp/base/authorization/oauth_access_token.hpp"
#include "mcp/base/authorization/oauth_documents.hpp"

#include "platform/json/decoding_error.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace mcp {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::system_clock;

TEST(OAuthAccessTokenTest, ExpiryHonoursTheSkew) {
    const auto now = Clock::now();
    OAuthAccessToken token{"v", "Bearer", std::nullopt, {}, std::nullopt, std::nullopt, std::nullopt};
    EXPECT_FALSE(token.isExpired(now, 1e9));
    token.expiresAt = now + 31s;
    EXPECT_FALSE(token.isExpired(now, OAuthTokenExpirySkew::defaultSeconds));
    token.expiresAt = now + 30s;
    EXPECT_TRUE(token.isExpired(now, OAuthTokenExpirySkew::defaultSeconds));
    token.expiresAt = now - 1s;
    EXPECT_TRUE(token.isExpired(now, 0));
}

TEST(OAuthAccessTokenTest, StoredFormKeepsEveryFieldAndOmitsAbsentOnes) {
    const OAuthAccessToken minimal{"v", "Bearer", std::nullopt, {}, std::nullopt, std::nullopt, std::nullopt};
    EXPECT_EQ(platform::json::write(minimal.toJSON()), R"({"value":"v","tokenType":"Bearer","scopes":[]})");

    // 2001-01-01 plus 100.5 seconds.
    const auto expiry = Clock::time_point(std::chrono::milliseconds(978'307'300'500));
    const OAuthAccessToken full{"v",  "Bearer", expiry, {"b", "a"}, boost::urls::url("https://as.example/t"),
                                "rt", "client"};
    const auto json = full.toJSON();
    EXPECT_EQ(json.at("expiresAt").to_number<double>(), 100.5);
    EXPECT_EQ(json.at("authorizationServer"), "https://as.example/t");
    EXPECT_EQ(OAuthAccessToken::fromJSON(platform::json::parse(platform::json::write(json))), full);

    EXPECT_THROW(OAuthAccessToken::fromJSON(platform::json::parse(R"({"value":"v","tokenType":"Bearer"})")),
                 platform::json::DecodingError);
    EXPECT_THROW(OAuthAccessToken::fromJSON(platform::json::parse(R"({"value":"v","tokenType":1,"scopes":[]})")),
                 platform::json::DecodingError);
    const auto read = OAuthAccessToken::fromJSON(
        platform::json::parse(R"({"value":"v","tokenType":"Bearer","scopes":["x"],"refreshToken":null})"));
    EXPECT_FALSE(read.refreshToken);
    EXPECT_EQ(read.scopes, (std::set<std::string>{"x"}));
    // A stored expiry far beyond what the clock holds is clamped, not wrapped into the past.
    const auto far = OAuthAccessToken::fromJSON(
        platform::json::parse(R"({"value":"v","tokenType":"Bearer","scopes":[],"expiresAt":1e300})"));
    EXPECT_FALSE(far.isExpired(Clock::now(), 30));
}

TEST(InMemoryTokenStorageTest, HoldsTheLastTokenSaved) {
    InMemoryTokenStorage storage;
    EXPECT_FALSE(storage.load());
    storage.save({"a", "Bearer", std::nullopt, {}, std::nullopt, std::nullopt, std::nullopt});
    storage.save({"b", "Bearer", std::nullopt, {}, std::nullopt, std::nullopt, std::nullopt});
    EXPECT_EQ(storage.load()->value, "b");
    storage.clear();
    EXPECT_FALSE(storage.load());
}

TEST(OAuthDocumentsTest, DecodesOrRefusesEachDocument) {
    using platform::json::parse;
    const auto decodes = [](auto read, const char* json) {
        try {
            read(parse(json));
            return true;
        } catch (const platform::json::DecodingError&) {
            return false;
        }
    };
    const auto pr = [](const boost::json::value& v) { return OAuthProtectedResourceMetadata::fromJSON(v); };
    const auto as = [](const boost::json::value& v) { return OAuthAuthorizationServerMetadata::fromJSON(v); };
    const auto token = [](const boost::json::value& v) { return OAuthTokenResponse::fromJSON(v); };
    const auto error = [](const boost::json::value& v) { return OAuthTokenErrorResponse::fromJSON(v); };
    const auto registration = [](const boost::json::value& v) { return OAuthClientRegistrationResponse::fromJSON(v); };

    EXPECT_TRUE(decodes(as, "{}"));
    EXPECT_EQ(as(parse("{}")), OAuthAuthorizationServerMetadata{});
    EXPECT_FALSE(decodes(pr, "{}"));
    EXPECT_FALSE(decodes(token, "{}"));
    EXPECT_FALSE(decodes(error, "{}"));
    EXPECT_FALSE(decodes(registration, "{}"));
    EXPECT_FALSE(decodes(as, R"({"issuer":"https://a b"})"));
    EXPECT_FALSE(decodes(as, R"({"token_endpoint":5})"));
    EXPECT_FALSE(decodes(token, R"({"access_token":"a"})"));
    EXPECT_FALSE(decodes(token, R"({"access_token":"a","token_type":"Bearer","expires_in":1.5})"));
    EXPECT_FALSE(decodes(error, R"({"error_description":"x"})"));

    EXPECT_NE(as(parse(R"({"client_id_metadata_document_supported":false})")).clientIDMetadataDocumentSupported, true);
    const auto full = as(parse(R"({"issuer":"https://as.example","authorization_endpoint":"https://as.example/a",
        "token_endpoint":"https://as.example/t","registration_endpoint":null,"code_challenge_methods_supported":["S256"],
        "token_endpoint_auth_methods_supported":["none"],"client_id_metadata_document_supported":true,"other":1})"));
    EXPECT_EQ(full.tokenEndpoint->buffer(), "https://as.example/t");
    EXPECT_FALSE(full.registrationEndpoint);
    EXPECT_EQ(full.clientIDMetadataDocumentSupported, true);

    const auto reply = token(parse(R"({"access_token":"a","token_type":"bearer","scope":"x y"})"));
    EXPECT_EQ(reply, (OAuthTokenResponse{"a", "bearer", std::nullopt, "x y", std::nullopt}));
    EXPECT_EQ(token(parse(R"({"access_token":"a","token_type":"b","expires_in":3600})")).expiresIn, 3600);

    const auto metadata = pr(parse(R"({"authorization_servers":["https://as.example"],"scopes_supported":["r"]})"));
    EXPECT_FALSE(metadata.resource);
    EXPECT_EQ(metadata.authorizationServers.at(0).buffer(), "https://as.example");
    EXPECT_EQ(error(parse(R"({"error":"invalid_client","error_description":"x"})")).error, "invalid_client");
    const auto registered = registration(parse(R"({"client_id":"c","client_secret_expires_at":0})"));
    EXPECT_EQ(registered.clientID, "c");
    EXPECT_EQ(registered.clientSecretExpiresAt, 0);
}

}  // namespace
}  // namespace mcp
