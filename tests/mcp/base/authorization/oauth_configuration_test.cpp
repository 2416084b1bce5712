#include "mcp/base/authorization/oauth_authorization_error.hpp"
#include "mcp/base/authorization/oauth_configuration.hpp"

#include "platform/base64.hpp"
#include "platform/json/parse.hpp"
#include "support/run_async.hpp"
#include "support/test_ec_key.hpp"

#include <boost/json/object.hpp>
#include <gtest/gtest.h>


#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <stdexcept>

namespace mcp {
namespace {

using Error = OAuthAuthorizationError;
using Authentication = OAuthConfiguration::TokenEndpointAuthentication;

TEST(OAuthAuthorizationErrorTest, DescribesEveryCase) {
    using K = Error::Kind;
    struct Case {
        Error error;
        std::string text;
    };
    const std::vector<Case> cases = {
        {Error::tokenRequestFailed(400, "invalid_grant"), "Token request failed with status 400 (oauth_error: invalid_grant)"},
        {Error::tokenRequestFailed(400, ""), "Token request failed with status 400"},
        {Error::tokenRequestFailed(400, std::nullopt), "Token request failed with status 400"},
        {Error::tokenRequestFailed(-1, std::nullopt), "Token request failed with status -1"},
        {Error::invalidResourceURI("x"), "Invalid resource URI: x"},
        {Error::invalidClientIDMetadataURL("http://c"),
         "Client ID metadata document URL must use https and include a path: http://c"},
        {Error::protectedResourceMismatch("a", "b"), "Protected resource metadata resource mismatch. Expected a, got b"},
        {Error::cimdNotSupported("https://c/x"),
         "Authorization server does not support Client ID Metadata Documents; configure pre-registered credentials or "
         "ensure the server advertises client_id_metadata_document_supported: https://c/x"},
        {Error::privateIPAddressBlocked("Token endpoint", "https://10.0.0.1/t"),
         "Token endpoint resolves to a private or reserved IP address which is blocked for SSRF protection: "
         "https://10.0.0.1/t"},
        {Error::insecureOAuthEndpoint("MCP endpoint", "http://a/mcp"), "MCP endpoint must use https or loopback http: http://a/mcp"},
        {Error::insecureAuthorizationServerEndpoint("Token endpoint", "http://a"), "Token endpoint must use https: http://a"},
        {Error::invalidRedirectURI("app:/cb"),
         "Redirect URI must use https or loopback http and must not include fragments: app:/cb"},
        {Error::authorizationRequestFailed(401), "Authorization request failed with status 401"},
        {Error::authorizationResponseRedirectMismatch("e", "a"), "Authorization response redirect URI mismatch. Expected e, got a"},
        {Error::authorizationResponseStateMismatch("e", "a"), "Authorization response state mismatch. Expected e, got a"},
        {Error::pkceS256NotSupported({"plain"}), "Authorization server metadata must support PKCE S256 (advertised: plain)"},
        {Error::pkceS256NotSupported({"plain", "x"}), "Authorization server metadata must support PKCE S256 (advertised: plain, x)"},
        {Error::pkceS256NotSupported({}), "Authorization server metadata must support PKCE S256 (advertised: )"},
        {Error::authorizationServerIssuerMismatch("e", "a"), "Authorization server issuer mismatch. Expected e, got a"},
        {Error::plain(K::missingAuthorizationServer), "No authorization server was found in protected resource metadata"},
        {Error::plain(K::metadataDiscoveryFailed), "Failed to discover protected resource metadata"},
        {Error::plain(K::authorizationServerMetadataDiscoveryFailed), "Failed to discover authorization server metadata"},
        {Error::plain(K::tokenEndpointMissing), "Authorization server metadata is missing token_endpoint"},
        {Error::plain(K::tokenResponseInvalid), "Token response is invalid"},
        {Error::plain(K::registrationInformationRequired),
         "No supported client registration mechanism was available; provide pre-registered client credentials"},
        {Error::plain(K::authorizationResponseMissingRedirectLocation), "Authorization response is missing redirect location"},
        {Error::plain(K::authorizationResponseMissingState), "Authorization response is missing state"},
        {Error::plain(K::authorizationResponseMissingCode), "Authorization response is missing the authorization code"},
        {Error::plain(K::pkceCodeChallengeMethodsMissing),
         "Authorization server metadata must include code_challenge_methods_supported for PKCE"},
        {Error::plain(K::pkceS256Unavailable), "PKCE S256 code challenge generation is unavailable on this platform"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.error.what(), c.text);
        EXPECT_EQ(c.error.errorDescription(), c.text);
    }
}

TEST(OAuthConfigurationTest, RetryPolicyRaisesLimitsToOne) {
    const OAuthConfiguration::RetryPolicy low(0, -4);
    EXPECT_EQ(low.maxAuthorizationAttempts, 1);
    EXPECT_EQ(low.maxScopeUpgradeAttempts, 1);
    const OAuthConfiguration::RetryPolicy given(5, 1);
    EXPECT_EQ(given.maxAuthorizationAttempts, 5);
    EXPECT_EQ(given.maxScopeUpgradeAttempts, 1);
    EXPECT_EQ(OAuthConfiguration::RetryPolicy::default_().maxAuthorizationAttempts, 3);
    EXPECT_EQ(OAuthConfiguration::RetryPolicy::default_().maxScopeUpgradeAttempts, 2);
}

TEST(OAuthConfigurationTest, DefaultRedirectURIUsesARandomDynamicPort) {
    std::set<int> ports;
    for (int i = 0; i < 200; ++i) {
        OAuthConfiguration configuration(OAuthConfiguration::GrantType::authorizationCode, Authentication::none("c"));
        const auto& uri = configuration.authorizationRedirectURI;
        EXPECT_EQ(uri.scheme(), "http");
        EXPECT_EQ(uri.host(), "127.0.0.1");
        EXPECT_EQ(uri.path(), "/callback");
        const int port = uri.port_number();
        EXPECT_GE(port, 49152);
        EXPECT_LE(port, 65535);
        EXPECT_EQ(uri.buffer(), "http://127.0.0.1:" + std::to_string(port) + "/callback");
        ports.insert(port);
    }
    EXPECT_GT(ports.size(), 1u);
    EXPECT_FALSE(OAuthConfiguration(OAuthConfiguration::GrantType::clientCredentials, Authentication::none("c"))
                     .allowLoopbackHTTPAuthorizationServerEndpoints);
}

TEST(OAuthConfigurationTest, SigningAlgorithmIsReadOnlyFromItsExactText) {
    EXPECT_EQ(OAuthConfiguration::signingAlgorithm("ES256"), OAuthConfiguration::PrivateKeyJWTSigningAlgorithm::ES256);
    EXPECT_FALSE(OAuthConfiguration::signingAlgorithm("es256"));
    EXPECT_EQ(OAuthConfiguration::text(OAuthConfiguration::PrivateKeyJWTSigningAlgorithm::ES256), "ES256");
}

TEST(TokenEndpointAuthenticationTest, AppliesEachMethodToTheRequest) {
    auto factory = [](std::string clientID, boost::urls::url endpoint) -> boost::asio::awaitable<std::string> {
        co_return "jwt-for-" + clientID + "@" + std::string(endpoint.buffer());
    };
    struct Case {
        const char* name;
        Authentication authentication;
        std::optional<std::string> header;
        std::map<std::string, std::string> body;
    };
    const std::map<std::string, std::string> start{{"client_id", "old"}, {"grant_type", "client_credentials"}};
    const std::vector<Case> cases = {
        {"Basic", Authentication::clientSecretBasic("id", "s:é"), "Basic " + platform::base64Encode("id:s:é"), start},
        {"Post", Authentication::clientSecretPost("id", "sec"), std::nullopt,
         {{"client_id", "id"}, {"client_secret", "sec"}, {"grant_type", "client_credentials"}}},
        {"None", Authentication::none("id"), std::nullopt, {{"client_id", "id"}, {"grant_type", "client_credentials"}}},
        {"JWT", Authentication::privateKeyJWT("id", factory), std::nullopt,
         {{"client_id", "id"},
          {"client_assertion_type", "urn:ietf:params:oauth:client-assertion-type:jwt-bearer"},
          {"client_assertion", "jwt-for-id@https://as.example/token"},
          {"grant_type", "client_credentials"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::http::Request request;
        auto body = start;
        testing_support::runAsync([&]() -> boost::asio::awaitable<void> {
            co_await c.authentication.apply(request, body, boost::urls::url("https://as.example/token"));
        });
        EXPECT_EQ(request.headers.get("Authorization"), c.header);
        EXPECT_EQ(body, c.body);
    }
}

TEST(TokenEndpointAuthenticationTest, AFailingFactoryLeavesTheFieldsSetBeforeIt) {
    auto failing = [](std::string, boost::urls::url) -> boost::asio::awaitable<std::string> {
        throw std::runtime_error("no key");
        co_return "";
    };
    platform::http::Request request;
    std::map<std::string, std::string> body;
    EXPECT_THROW(testing_support::runAsync([&]() -> boost::asio::awaitable<void> {
                     co_await Authentication::privateKeyJWT("id", failing)
                         .apply(request, body, boost::urls::url("https://as.example/token"));
                 }),
                 std::runtime_error);
    EXPECT_EQ(body.at("client_id"), "id");
    EXPECT_TRUE(body.contains("client_assertion_type"));
    EXPECT_FALSE(body.contains("client_assertion"));
}

TEST(TokenEndpointAuthenticationTest, EqualityIgnoresAssertionFactories) {
    auto one = [](std::string, boost::urls::url) -> boost::asio::awaitable<std::string> { co_return "1"; };
    auto two = [](std::string, boost::urls::url) -> boost::asio::awaitable<std::string> { co_return "2"; };
    EXPECT_EQ(Authentication::privateKeyJWT("id", one), Authentication::privateKeyJWT("id", two));
    EXPECT_NE(Authentication::privateKeyJWT("id", one), Authentication::privateKeyJWT("other", one));
    EXPECT_NE(Authentication::clientSecretBasic("id", "a"), Authentication::clientSecretBasic("id", "b"));
    EXPECT_NE(Authentication::clientSecretBasic("id", "a"), Authentication::clientSecretPost("id", "a"));
    EXPECT_EQ(Authentication::none("id"), Authentication::none("id"));
}

using testing_support::TestECKey;

TEST(PrivateKeyJWTAssertionTest, MakesAnES256AssertionTheKeyVerifies) {
    const auto pair = TestECKey::make("P-256");
    const auto issuedAt = std::chrono::system_clock::time_point(std::chrono::milliseconds(1'700'000'000'900));
    const auto jwt = OAuthConfiguration::makePrivateKeyJWTAssertion(
        "client-1", boost::urls::url("https://as.example/token"), pair.privateKeyPem,
        OAuthConfiguration::PrivateKeyJWTSigningAlgorithm::ES256, std::nullopt, issuedAt, 300);

    EXPECT_EQ(jwt.find_first_of("+/="), std::string::npos);
    const auto firstDot = jwt.find('.');
    const auto secondDot = jwt.find('.', firstDot + 1);
    ASSERT_NE(secondDot, std::string::npos);
    ASSERT_EQ(jwt.find('.', secondDot + 1), std::string::npos);
    const auto header = platform::json::parse(*platform::base64UrlDecode(jwt.substr(0, firstDot)));
    const auto claims = platform::json::parse(*platform::base64UrlDecode(jwt.substr(firstDot + 1, secondDot - firstDot - 1)));
    EXPECT_EQ(header, (boost::json::object{{"alg", "ES256"}, {"typ", "JWT"}}));
    EXPECT_EQ(claims.at("iss"), "client-1");
    EXPECT_EQ(claims.at("sub"), "client-1");
    EXPECT_EQ(claims.at("aud"), "https://as.example/token");
    EXPECT_EQ(claims.at("iat").to_number<std::int64_t>(), 1'700'000'000);
    EXPECT_EQ(claims.at("exp").to_number<std::int64_t>(), 1'700'000'300);
    const std::string jti(claims.at("jti").as_string());
    EXPECT_EQ(jti.size(), 36u);
    EXPECT_EQ(jti.find_first_of("abcdef"), std::string::npos);

    const auto signature = platform::base64UrlDecode(jwt.substr(secondDot + 1));
    ASSERT_TRUE(signature);
    EXPECT_TRUE(pair.verifiesES256(jwt.substr(0, secondDot), *signature));
    EXPECT_FALSE(TestECKey::make("P-256").verifiesJWT(jwt));
}

TEST(PrivateKeyJWTAssertionTest, LifetimeAudienceAndKeyRules) {
    const auto pair = TestECKey::make("P-256");
    const auto issuedAt = std::chrono::system_clock::time_point(std::chrono::seconds(1000));
    const auto claimsOf = [&](double expiresIn, std::optional<std::string> audience = std::nullopt) {
        const auto jwt = OAuthConfiguration::makePrivateKeyJWTAssertion(
            "c", boost::urls::url("https://as.example/token"), pair.privateKeyPem,
            OAuthConfiguration::PrivateKeyJWTSigningAlgorithm::ES256, audience, issuedAt, expiresIn);
        const auto first = jwt.find('.');
        const auto second = jwt.find('.', first + 1);
        return platform::json::parse(*platform::base64UrlDecode(jwt.substr(first + 1, second - first - 1)));
    };
    EXPECT_EQ(claimsOf(0.5).at("exp").to_number<std::int64_t>(), 1001);
    EXPECT_EQ(claimsOf(299.9).at("exp").to_number<std::int64_t>(), 1299);
    EXPECT_EQ(claimsOf(1e300).at("exp").to_number<std::int64_t>(), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(claimsOf(60, "urn:audience").at("aud"), "urn:audience");

    const std::vector<std::pair<double, std::string>> refused = {
        {0, "0.0"}, {-1, "-1.0"}, {std::nan(""), "nan"}};
    for (const auto& [lifetime, text] : refused) {
        try {
            claimsOf(lifetime);
            ADD_FAILURE() << "accepted " << text;
        } catch (const OAuthConfiguration::PrivateKeyJWTAssertionError& error) {
            EXPECT_EQ(error.kind(), OAuthConfiguration::PrivateKeyJWTAssertionError::Kind::invalidLifetime);
            EXPECT_EQ(std::string(error.what()),
                      "private_key_jwt assertion lifetime must be greater than zero seconds, got " + text);
        }
    }
    const auto sign = [&](const std::string& pem) {
        return OAuthConfiguration::makePrivateKeyJWTAssertion("c", boost::urls::url("https://as.example/token"), pem,
                                                              OAuthConfiguration::PrivateKeyJWTSigningAlgorithm::ES256,
                                                              std::nullopt, issuedAt, 60);
    };
    EXPECT_THROW(sign("not a key"), std::runtime_error);
    EXPECT_THROW(sign(TestECKey::make("P-384").privateKeyPem), std::runtime_error);
}

}  // namespace
}  // namespace mcp
