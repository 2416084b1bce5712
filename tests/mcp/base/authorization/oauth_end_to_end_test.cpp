#include "mcp/base/authorization/oauth_authorizer.hpp"

#include "mcp/base/authorization/oauth_authorization_error.hpp"
#include "mcp/base/transports/http_client_transport.hpp"
#include "support/fake_authorization_server.hpp"
#include "support/run_async.hpp"

#include <boost/asio/io_context.hpp>
#include <gtest/gtest.h>

namespace mcp {
namespace {

namespace asio = boost::asio;
using Authentication = OAuthConfiguration::TokenEndpointAuthentication;
using GrantType = OAuthConfiguration::GrantType;
using testing_support::FakeAuthorizationServer;

struct Bed {
    asio::io_context io;
    FakeAuthorizationServer server{io.get_executor()};
    platform::http::Client session{io.get_executor()};
    std::shared_ptr<OAuthAuthorizer> authorizer;

    boost::urls::url endpoint() const { return boost::urls::url(server.url("/mcp")); }

    void make(OAuthConfiguration configuration) {
        configuration.allowLoopbackHTTPAuthorizationServerEndpoints = true;
        authorizer = std::make_shared<OAuthAuthorizer>(std::move(configuration));
    }

    /// One MCP request as the HTTP client transport sends it: prepared, authorized, and sent again
    /// while challenges are answered.
    int call() {
        return testing_support::runAsync(io, [&]() -> asio::awaitable<int> {
            const auto url = endpoint();
            co_await authorizer->prepareAuthorization(url, session);
            for (int attempt = 0;; ++attempt) {
                platform::http::Request request;
                request.method = "POST";
                request.url = url;
                request.followRedirects = false;
                request.headers.set("Content-Type", "application/json");
                request.body = R"({"jsonrpc":"2.0","id":1,"method":"tools/call"})";
                if (auto header = authorizer->authorizationHeader(url)) request.headers.set("Authorization", *header);
                auto response = co_await session.fetch(std::move(request));
                if ((response.status == 401 || response.status == 403) && attempt + 1 < authorizer->maxAuthorizationAttempts()) {
                    bool again = co_await authorizer->handleChallenge(response.status, response.headers, url,
                                                                      "tools/call", session);
                    if (again) continue;
                }
                co_return response.status;
            }
        });
    }

    std::map<std::string, std::string> lastTokenForm() const {
        for (auto it = server.requests().rbegin(); it != server.requests().rend(); ++it) {
            if (it->target == "/token") return FakeAuthorizationServer::formFields(it->body);
        }
        return {};
    }
};

TEST(OAuthEndToEndTest, ClientCredentialsWithEachClientAuthentication) {
    const auto key = testing_support::TestECKey::make();
    struct Case {
        const char* method;
        Authentication authentication;
    };
    const std::vector<Case> cases = {
        {"client_secret_basic", Authentication::clientSecretBasic("client", "secret")},
        {"client_secret_post", Authentication::clientSecretPost("client", "secret")},
        {"private_key_jwt", Authentication::privateKeyJWT("client", [key](std::string clientID, boost::urls::url tokenEndpoint)
                                                                         -> asio::awaitable<std::string> {
             co_return OAuthConfiguration::makePrivateKeyJWTAssertion(
                 clientID, tokenEndpoint, key.privateKeyPem, OAuthConfiguration::PrivateKeyJWTSigningAlgorithm::ES256,
                 std::nullopt, std::chrono::system_clock::now(), 60);
         })},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        Bed bed;
        bed.server.tokenAuthMethod = c.method;
        bed.server.clientKey = key;
        bed.make(OAuthConfiguration(GrantType::clientCredentials, c.authentication));
        EXPECT_EQ(bed.call(), 200);
        EXPECT_EQ(bed.server.requestLines(),
                  (std::vector<std::string>{"POST /mcp", "GET /.well-known/oauth-protected-resource/mcp",
                                            "GET /.well-known/oauth-authorization-server", "POST /token", "POST /mcp"}));
        const auto form = bed.lastTokenForm();
        EXPECT_EQ(form.at("grant_type"), "client_credentials");
        EXPECT_EQ(form.at("resource"), bed.server.url("/mcp"));
        EXPECT_EQ(form.at("scope"), "mcp:read mcp:write");
        EXPECT_EQ(bed.server.requests().back().headers.get("Authorization"),
                  "Bearer " + bed.server.issuedTokens.begin()->first);
        // The token serves the next request without another challenge.
        EXPECT_EQ(bed.call(), 200);
        EXPECT_EQ(bed.server.requests().size(), 6u);
    }
}

TEST(OAuthEndToEndTest, WrongClientCredentialsFailTheChallenge) {
    Bed bed;
    bed.make(OAuthConfiguration(GrantType::clientCredentials, Authentication::clientSecretBasic("client", "wrong")));
    try {
        bed.call();
        ADD_FAILURE();
    } catch (const OAuthAuthorizationError& error) {
        EXPECT_EQ(std::string(error.what()), "Token request failed with status 401 (oauth_error: invalid_client)");
    }
}

TEST(OAuthEndToEndTest, AuthorizationCodeWithPKCEThroughRegistration) {
    Bed bed;
    bed.server.registrationEnabled = true;
    bed.make(OAuthConfiguration(GrantType::authorizationCode, Authentication::none(""),
                                OAuthConfiguration::RetryPolicy::default_(), {},
                                boost::urls::url("http://127.0.0.1:50002/callback"), "End to end"));
    EXPECT_EQ(bed.call(), 200);
    const auto lines = bed.server.requestLines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[3], "POST /register");
    EXPECT_TRUE(lines[4].starts_with("GET /authorize?response_type=code&client_id=registered-1&"));
    EXPECT_EQ(lines[5], "POST /token");
    const auto form = bed.lastTokenForm();
    EXPECT_EQ(form.at("grant_type"), "authorization_code");
    EXPECT_EQ(form.at("client_id"), "registered-1");
    EXPECT_EQ(form.at("redirect_uri"), "http://127.0.0.1:50002/callback");
}

TEST(OAuthEndToEndTest, ARegistrationThatIssuesASecretIsUsedTheWayTheServerSays) {
    Bed bed;
    bed.server.registrationEnabled = true;
    bed.server.registeredSecretMethod = "client_secret_post";
    bed.make(OAuthConfiguration(GrantType::authorizationCode, Authentication::none(""),
                                OAuthConfiguration::RetryPolicy::default_(), {},
                                boost::urls::url("http://127.0.0.1:50002/callback"), "End to end"));
    EXPECT_EQ(bed.call(), 200);
    EXPECT_EQ(bed.lastTokenForm().at("client_secret"), "registered-1-secret");
}

TEST(OAuthEndToEndTest, AuthorizationCodeThroughADelegateThatFollowsTheBrowserRedirect) {
    /// Stands in for the user's browser: opens the authorization URL and reports where the
    /// server sent it.
    class Browser final : public OAuthAuthorizationDelegate {
    public:
        explicit Browser(platform::http::Client& client) : client_(client) {}
        int opened = 0;
        asio::awaitable<boost::urls::url> authorize(boost::urls::url url) override {
            ++opened;
            platform::http::Request request;
            request.url = url;
            request.followRedirects = false;
            auto response = co_await client_.fetch(std::move(request));
            co_return boost::urls::url(*response.headers.get("Location"));
        }

    private:
        platform::http::Client& client_;
    };
    Bed bed;
    bed.server.tokenAuthMethod = "none";
    auto browser = std::make_shared<Browser>(bed.session);
    bed.make(OAuthConfiguration(GrantType::authorizationCode, Authentication::none("client"),
                                OAuthConfiguration::RetryPolicy::default_(), {},
                                boost::urls::url("http://localhost:50003/callback"), "", {}, {}, browser));
    EXPECT_EQ(bed.call(), 200);
    EXPECT_EQ(browser->opened, 1);
    EXPECT_EQ(bed.lastTokenForm().at("grant_type"), "authorization_code");
}

TEST(OAuthEndToEndTest, RefreshKeepsAPreviousRefreshTokenTheServerDidNotReplace) {
    Bed bed;
    bed.server.rotateRefreshTokens = false;
    bed.make(OAuthConfiguration(GrantType::clientCredentials, Authentication::clientSecretBasic("client", "secret")));
    ASSERT_EQ(bed.call(), 200);
    const auto firstRefresh = bed.server.refreshTokens.begin()->first;
    for (int round = 0; round < 2; ++round) {
        for (const auto& [token, scopes] : bed.server.issuedTokens) bed.server.revokedTokens.insert(token);
        ASSERT_EQ(bed.call(), 200);
        const auto form = bed.lastTokenForm();
        EXPECT_EQ(form.at("grant_type"), "refresh_token");
        EXPECT_EQ(form.at("refresh_token"), firstRefresh);
    }
    // A refresh token the server refuses leads to a new acquisition.
    bed.server.revokedTokens.insert(firstRefresh);
    for (const auto& [token, scopes] : bed.server.issuedTokens) bed.server.revokedTokens.insert(token);
    ASSERT_EQ(bed.call(), 200);
    EXPECT_EQ(bed.lastTokenForm().at("grant_type"), "client_credentials");
}

TEST(OAuthEndToEndTest, ProactiveRefreshRenewsBeforeTheRequest) {
    Bed bed;
    bed.server.expiresIn = 45;  // within the 30-second skew plus the 60-second window
    auto configuration = OAuthConfiguration(GrantType::clientCredentials, Authentication::clientSecretBasic("client", "secret"));
    configuration.proactiveRefreshWindowSeconds = 60;
    bed.make(configuration);
    ASSERT_EQ(bed.call(), 200);
    const auto before = bed.server.requests().size();
    ASSERT_EQ(bed.call(), 200);
    const auto lines = bed.server.requestLines();
    EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<long>(before), lines.end()),
              (std::vector<std::string>{"POST /token", "POST /mcp"}));
    EXPECT_EQ(bed.lastTokenForm().at("grant_type"), "refresh_token");
}

TEST(OAuthEndToEndTest, StepsUpToTheScopesTheServerAsksFor) {
    Bed bed;
    bed.make(OAuthConfiguration(GrantType::clientCredentials, Authentication::clientSecretBasic("client", "secret")));
    ASSERT_EQ(bed.call(), 200);
    bed.server.requiredScopes = {"mcp:admin"};
    EXPECT_EQ(bed.call(), 200);
    EXPECT_EQ(bed.lastTokenForm().at("scope"), "mcp:admin mcp:read mcp:write");
}

TEST(OAuthEndToEndTest, RefusesMetadataOfAnotherIssuer) {
    Bed bed;
    bed.server.issuerOverride = "https://attacker.example";
    bed.make(OAuthConfiguration(GrantType::clientCredentials, Authentication::clientSecretBasic("client", "secret")));
    try {
        bed.call();
        ADD_FAILURE();
    } catch (const OAuthAuthorizationError& error) {
        EXPECT_EQ(error.kind(), OAuthAuthorizationError::Kind::authorizationServerIssuerMismatch);
        EXPECT_EQ(error.actual, "https://attacker.example");
    }
    for (const auto& line : bed.server.requestLines()) EXPECT_NE(line, "POST /token");
    EXPECT_FALSE(bed.authorizer->selectedAuthorizationServer());
}

TEST(OAuthEndToEndTest, TheHTTPClientTransportSendsAgainWithTheTokenObtained) {
    asio::io_context io;
    FakeAuthorizationServer server(io.get_executor());
    OAuthConfiguration configuration(GrantType::clientCredentials, Authentication::clientSecretBasic("client", "secret"));
    configuration.allowLoopbackHTTPAuthorizationServerEndpoints = true;
    HTTPClientTransport::Options options;
    options.streaming = false;
    options.authorizer = std::make_shared<OAuthAuthorizer>(configuration);
    auto transport = HTTPClientTransport::create(io.get_executor(), boost::urls::url(server.url("/mcp")), options);
    const auto received = testing_support::runAsync(io, [&]() -> asio::awaitable<std::vector<std::string>> {
        co_await transport->connect();
        co_await transport->send(R"({"jsonrpc":"2.0","id":7,"method":"tools/call","params":{}})");
        co_await transport->send(R"({"jsonrpc":"2.0","id":8,"method":"tools/list"})");
        co_await transport->disconnect();
        std::vector<std::string> messages;
        auto stream = transport->receive();
        while (auto message = co_await stream.next()) messages.push_back(*message);
        co_return messages;
    });
    EXPECT_EQ(received, (std::vector<std::string>{R"({"jsonrpc":"2.0","id":7,"result":{}})",
                                                  R"({"jsonrpc":"2.0","id":8,"result":{}})"}));
    EXPECT_EQ(server.requestLines(),
              (std::vector<std::string>{"POST /mcp", "GET /.well-known/oauth-protected-resource/mcp",
                                        "GET /.well-known/oauth-authorization-server", "POST /token", "POST /mcp",
                                        "POST /mcp"}));
    const auto& requests = server.requests();
    EXPECT_FALSE(requests.front().headers.contains("Authorization"));
    const auto bearer = "Bearer " + server.issuedTokens.begin()->first;
    EXPECT_EQ(requests[4].headers.get("Authorization"), bearer);
    EXPECT_EQ(requests[5].headers.get("Authorization"), bearer);
}

}  // namespace
}  // namespace mcp
