#include "mcp/base/authorization/default_oauth_metadata_discovery.hpp"
#include "mcp/base/authorization/oauth_authorization_code_flow.hpp"
#include "mcp/base/authorization/oauth_authorization_error.hpp"
#include "mcp/base/authorization/oauth_client_registrar.hpp"
#include "mcp/base/authorization/oauth_discovery_client.hpp"
#include "mcp/base/authorization/oauth_token_endpoint_client.hpp"

#include "platform/json/decoding_error.hpp"
#include "platform/json/parse.hpp"
#include "support/loopback_http_server.hpp"
#include "support/run_async.hpp"

#include <boost/asio/io_context.hpp>
#include <gtest/gtest.h>

#include <map>

namespace mcp {
namespace {

namespace asio = boost::asio;
using Kind = OAuthAuthorizationError::Kind;
using Authentication = OAuthConfiguration::TokenEndpointAuthentication;
using testing_support::LoopbackHttpServer;

struct Reply {
    int status = 200;
    platform::http::Headers headers;
    std::string body;
    bool drop = false;  // close the connection without a reply
};

/// A loopback server answering each path from a table; unknown paths get 404.
struct Server {
    asio::io_context io;
    std::map<std::string, Reply> routes;
    LoopbackHttpServer server{io.get_executor(), [this](std::shared_ptr<LoopbackHttpServer::Exchange> exchange)
                                                     -> asio::awaitable<void> {
                                  const auto& target = exchange->request().target;
                                  const auto path = target.substr(0, target.find('?'));
                                  auto found = routes.find(path);
                                  if (found == routes.end()) {
                                      co_await exchange->respond(404, {}, "");
                                  } else if (found->second.drop) {
                                      exchange->close();
                                  } else {
                                      co_await exchange->respond(found->second.status, found->second.headers,
                                                                 found->second.body);
                                  }
                              }};
    platform::http::Client session{io.get_executor()};

    std::string url(const std::string& path) const { return server.url(path); }
    boost::urls::url u(const std::string& path) const { return boost::urls::url(url(path)); }
    std::vector<std::string> paths() const {
        std::vector<std::string> out;
        for (const auto& r : server.requests()) out.push_back(r.method + " " + r.target);
        return out;
    }
    template <class F>
    auto run(F&& f) {
        return testing_support::runAsync(io, std::forward<F>(f));
    }
};

template <class F>
std::string failureText(F&& step) {
    try {
        step();
        return "none";
    } catch (const OAuthAuthorizationError& error) {
        return error.what();
    } catch (const platform::json::DecodingError&) {
        return "decoding";
    }
}

const platform::http::Headers kJSON{{"Content-Type", "application/json"}};

TEST(OAuthDiscoveryClientTest, TakesTheFirstProtectedResourceDocumentNamingAServer) {
    Server s;
    s.routes["/gone"] = {.drop = true};
    s.routes["/empty"] = {200, kJSON, R"({"authorization_servers":[]})"};
    s.routes["/broken"] = {200, kJSON, R"({"resource":"x"})"};
    s.routes["/good"] = {200, kJSON, R"({"authorization_servers":["https://as.example"]})"};
    const OAuthDiscoveryClient client(std::make_shared<DefaultOAuthMetadataDiscovery>(), OAuthURLValidator(true));
    const auto fetch = [&](std::vector<std::string> paths, std::optional<boost::urls::url> fallback) {
        std::vector<boost::urls::url> candidates;
        for (const auto& p : paths) candidates.push_back(s.u(p));
        return s.run([&]() -> asio::awaitable<OAuthProtectedResourceMetadata> {
            co_return co_await client.fetchProtectedResourceMetadata(candidates, fallback, s.session);
        });
    };
    const auto found = fetch({"/missing", "/gone", "/empty", "/broken", "/good", "/never"}, std::nullopt);
    EXPECT_EQ(found.authorizationServers.at(0).buffer(), "https://as.example");
    EXPECT_EQ(s.paths(), (std::vector<std::string>{"GET /missing", "GET /gone", "GET /empty", "GET /broken", "GET /good"}));
    EXPECT_EQ(s.server.requests().front().headers.get("Accept"), "application/json");

    const auto fallback = fetch({"/missing"}, boost::urls::url("https://api.example"));
    EXPECT_EQ(fallback, (OAuthProtectedResourceMetadata{std::nullopt, {boost::urls::url("https://api.example")}, std::nullopt}));
    EXPECT_EQ(failureText([&] { fetch({}, std::nullopt); }), "Failed to discover protected resource metadata");
}

TEST(OAuthDiscoveryClientTest, AcceptsOnlyADocumentOfTheServerAsked) {
    Server s;
    const auto doc = [](const std::string& issuer) {
        return Reply{200, kJSON, R"({"issuer":")" + issuer + R"(","token_endpoint":"https://t.example/token"})"};
    };
    s.routes["/.well-known/oauth-authorization-server/tenant"] = doc("https://elsewhere.example");
    s.routes["/.well-known/openid-configuration/tenant"] = doc(s.url("/tenant") + "/");
    s.routes["/.well-known/oauth-authorization-server/b"] = {200, kJSON, "not json"};
    s.routes["/.well-known/openid-configuration/b"] = doc(s.url("/B"));
    s.routes["/.well-known/oauth-authorization-server/plain"] = {200, kJSON, R"({"token_endpoint":"https://t.example/p"})"};
    const OAuthDiscoveryClient client(std::make_shared<DefaultOAuthMetadataDiscovery>(), OAuthURLValidator(true));
    const auto fetch = [&](std::vector<boost::urls::url> candidates) {
        return s.run([&]() -> asio::awaitable<OAuthAuthorizationServerResolution> {
            co_return co_await client.fetchAuthorizationServerMetadata(candidates, s.session);
        });
    };
    // Insecure and private candidates are passed over without a request.
    const auto found = fetch({boost::urls::url("http://as.example/x"), boost::urls::url("https://10.0.0.1/x"),
                              boost::urls::url("https://as.example/#f"), s.u("/tenant"), s.u("/b")});
    EXPECT_EQ(found.server.buffer(), s.url("/b"));
    EXPECT_EQ(found.metadata.issuer->buffer(), s.url("/B"));
    EXPECT_EQ(s.paths(), (std::vector<std::string>{
                             "GET /.well-known/oauth-authorization-server/tenant", "GET /.well-known/openid-configuration/tenant",
                             "GET /tenant/.well-known/openid-configuration", "GET /.well-known/oauth-authorization-server/b",
                             "GET /.well-known/openid-configuration/b"}));

    EXPECT_EQ(fetch({s.u("/plain")}).server.buffer(), s.url("/plain"));
    // A document speaking for another issuer is refused, even when it is all there is.
    EXPECT_EQ(failureText([&] { fetch({s.u("/tenant")}); }),
              "Authorization server issuer mismatch. Expected " + s.url("/tenant") + ", got https://elsewhere.example");
    EXPECT_EQ(failureText([&] { fetch({s.u("/nothing")}); }), "Failed to discover authorization server metadata");
    EXPECT_EQ(failureText([&] { fetch({}); }), "Failed to discover authorization server metadata");
    const OAuthDiscoveryClient strict(std::make_shared<DefaultOAuthMetadataDiscovery>(), OAuthURLValidator(false));
    const std::vector<boost::urls::url> loopbackOnly{s.u("/plain")};
    EXPECT_EQ(failureText([&] {
                  s.run([&]() -> asio::awaitable<void> {
                      co_await strict.fetchAuthorizationServerMetadata(loopbackOnly, s.session);
                  });
              }),
              "Failed to discover authorization server metadata");
}

TEST(OAuthTokenEndpointClientTest, EncodesTheFormStrictly) {
    EXPECT_EQ(OAuthTokenEndpointClient::encodeForm({{"scope", "read write"}, {"grant_type", "client_credentials"}}),
              "grant_type=client_credentials&scope=read%20write");
    EXPECT_EQ(OAuthTokenEndpointClient::encodeForm({{"resource", "https://api.example/mcp"}, {"x", "é~+=&"}}),
              "resource=https%3A%2F%2Fapi.example%2Fmcp&x=%C3%A9~%2B%3D%26");
    EXPECT_EQ(OAuthTokenEndpointClient::encodeForm({}), "");
}

TEST(OAuthTokenEndpointClientTest, SendsTheRequestAndChecksTheReply) {
    Server s;
    const OAuthTokenEndpointClient client;
    const auto request = [&](Reply reply, Authentication authentication = Authentication::clientSecretBasic("id", "pw")) {
        s.routes["/token"] = reply;
        std::map<std::string, std::string> form{{"grant_type", "client_credentials"}, {"client_id", "extra"}};
        return s.run([&]() -> asio::awaitable<OAuthTokenResponse> {
            co_return co_await client.request(form, s.u("/token"), authentication, s.session);
        });
    };
    const auto token = request({200, kJSON, R"({"access_token":"a","token_type":" bEaReR\n","expires_in":60})"});
    EXPECT_EQ(token, (OAuthTokenResponse{"a", " bEaReR\n", 60, std::nullopt, std::nullopt}));
    const auto& sent = s.server.requests().back();
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.headers.get("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(sent.headers.get("Accept"), "application/json");
    EXPECT_EQ(sent.headers.get("Authorization"), "Basic aWQ6cHc=");
    EXPECT_EQ(sent.body, "client_id=extra&grant_type=client_credentials");

    request({200, kJSON, R"({"access_token":"a","token_type":"Bearer"})"}, Authentication::clientSecretPost("id", "pw"));
    EXPECT_EQ(s.server.requests().back().body, "client_id=id&client_secret=pw&grant_type=client_credentials");
    EXPECT_FALSE(s.server.requests().back().headers.contains("Authorization"));

    struct Case {
        Reply reply;
        std::string failure;
    };
    const std::vector<Case> cases = {
        {{400, kJSON, R"({"error":"invalid_grant","error_description":"no"})"},
         "Token request failed with status 400 (oauth_error: invalid_grant)"},
        {{503, {{"Content-Type", "text/html"}}, "<html>down</html>"}, "Token request failed with status 503"},
        {{304, {}, ""}, "Token request failed with status 304"},
        {{302, {{"Location", "https://elsewhere.example/token"}}, ""}, "Token request failed with status 302"},
        {{200, kJSON, R"({"token_type":"Bearer"})"}, "decoding"},
        {{200, kJSON, R"({"access_token":"","token_type":"Bearer"})"}, "Token response is invalid"},
        {{200, kJSON, R"({"access_token":"a","token_type":"  "})"}, "Token response is invalid"},
        {{200, kJSON, R"({"access_token":"a","token_type":"mac"})"}, "Token response is invalid"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.body);
        EXPECT_EQ(failureText([&] { request(c.reply); }), c.failure);
    }
}

TEST(OAuthClientRegistrarTest, DecidesWhetherAndHowToRegister) {
    Server s;
    s.routes["/register"] = {201, kJSON, R"({"client_id":"new-id"})"};
    const OAuthClientRegistrar registrar(OAuthURLValidator(true));
    const auto registerWith = [&](Authentication authentication, bool documentSupported, bool withEndpoint,
                                  OAuthConfiguration::GrantType grant = OAuthConfiguration::GrantType::clientCredentials) {
        OAuthConfiguration configuration(grant, std::move(authentication));
        configuration.clientName = "Test Client";
        configuration.authorizationRedirectURI = boost::urls::url("http://127.0.0.1:50001/callback");
        OAuthAuthorizationServerMetadata metadata;
        metadata.clientIDMetadataDocumentSupported = documentSupported;
        if (withEndpoint) metadata.registrationEndpoint = s.u("/register");
        return s.run([&]() -> asio::awaitable<std::optional<OAuthClientRegistration>> {
            co_return co_await registrar.register_(configuration, metadata, s.session);
        });
    };
    struct Case {
        const char* name;
        Authentication authentication;
        bool documentSupported;
        bool withEndpoint;
        std::string outcome;  // "none", "registered" or a failure text
    };
    const std::string cimdURL = "https://app.example/client.json";
    const std::vector<Case> cases = {
        {"SecretPost", Authentication::clientSecretPost("c", "s"), true, true, "none"},
        {"DocumentURL", Authentication::none(cimdURL), true, true, "none"},
        {"HttpDocumentURL", Authentication::none("http://app.example/c.json"), true, true,
         "Client ID metadata document URL must use https and include a path: http://app.example/c.json"},
        {"RootDocumentURL", Authentication::none("https://app.example/"), true, true,
         "Client ID metadata document URL must use https and include a path: https://app.example/"},
        {"DocumentUnsupported", Authentication::none(cimdURL), false, false,
         "Authorization server does not support Client ID Metadata Documents; configure pre-registered credentials or "
         "ensure the server advertises client_id_metadata_document_supported: " + cimdURL},
        {"DocumentUnsupportedButRegistration", Authentication::none(cimdURL), false, true, "registered"},
        {"PlainIDWithoutEndpoint", Authentication::none("client-42"), false, false, "none"},
        {"PlainIDWithDocumentSupport", Authentication::none("client-42"), true, true, "registered"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = s.server.requests().size();
        std::string outcome = "none";
        const auto failure = failureText([&] {
            auto result = registerWith(c.authentication, c.documentSupported, c.withEndpoint);
            if (result) {
                EXPECT_EQ(result->updatedAuthentication, Authentication::none("new-id"));
                outcome = "registered";
            }
        });
        if (failure != "none") outcome = failure;
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_EQ(s.server.requests().size() - before, c.outcome == "registered" ? 1u : 0u);
    }
}

TEST(OAuthClientRegistrarTest, PostsTheRegistrationOfEachGrant) {
    Server s;
    s.routes["/register"] = {201, kJSON, R"({"client_id":"new-id"})"};
    const OAuthClientRegistrar registrar(OAuthURLValidator(true));
    const auto registerWith = [&](OAuthConfiguration::GrantType grant) {
        OAuthConfiguration configuration(grant, Authentication::none("c"));
        configuration.clientName = "Test Client";
        configuration.authorizationRedirectURI = boost::urls::url("http://127.0.0.1:50001/callback");
        OAuthAuthorizationServerMetadata metadata;
        metadata.registrationEndpoint = s.u("/register");
        return s.run([&]() -> asio::awaitable<std::optional<OAuthClientRegistration>> {
            co_return co_await registrar.register_(configuration, metadata, s.session);
        });
    };
    registerWith(OAuthConfiguration::GrantType::clientCredentials);
    EXPECT_EQ(platform::json::parse(s.server.requests().back().body),
              platform::json::parse(
                  R"({"client_name":"Test Client","grant_types":["client_credentials"],"token_endpoint_auth_method":"none"})"));
    const auto result = registerWith(OAuthConfiguration::GrantType::authorizationCode);
    const auto& sent = s.server.requests().back();
    EXPECT_EQ(platform::json::parse(sent.body),
              platform::json::parse(R"({"client_name":"Test Client","grant_types":["authorization_code","refresh_token"],
                  "token_endpoint_auth_method":"none","response_types":["code"],
                  "redirect_uris":["http://127.0.0.1:50001/callback"]})"));
    EXPECT_EQ(sent.headers.get("Content-Type"), "application/json");
    EXPECT_EQ(result->response.clientID, "new-id");

    s.routes["/register"] = {400, kJSON, R"({"error":"invalid_client_metadata"})"};
    EXPECT_EQ(failureText([&] { registerWith(OAuthConfiguration::GrantType::clientCredentials); }),
              "Token request failed with status 400 (oauth_error: invalid_client_metadata)");
    s.routes["/register"] = {500, {{"Content-Type", "text/html"}}, "<html/>"};
    EXPECT_EQ(failureText([&] { registerWith(OAuthConfiguration::GrantType::clientCredentials); }),
              "Token request failed with status 500");
    s.routes["/register"] = {201, kJSON, R"({"client_secret":"x"})"};
    EXPECT_EQ(failureText([&] { registerWith(OAuthConfiguration::GrantType::clientCredentials); }), "decoding");

    const OAuthClientRegistrar strict(OAuthURLValidator(false));
    EXPECT_EQ(failureText([&] {
                  OAuthAuthorizationServerMetadata metadata;
                  metadata.registrationEndpoint = s.u("/register");
                  const OAuthConfiguration configuration(OAuthConfiguration::GrantType::clientCredentials,
                                                         Authentication::none("c"));
                  s.run([&]() -> asio::awaitable<void> { co_await strict.register_(configuration, metadata, s.session); });
              }),
              "Client registration endpoint must use https: " + s.url("/register"));
}

TEST(OAuthClientRegistrarTest, UpdatedAuthenticationKeepsTheMethod) {
    const OAuthClientRegistrationResponse withSecret{"new", "new-secret", std::nullopt, std::nullopt};
    const OAuthClientRegistrationResponse withoutSecret{"new", std::nullopt, std::nullopt, std::nullopt};
    EXPECT_EQ(OAuthClientRegistrar::updatedAuthentication(withoutSecret, Authentication::clientSecretBasic("old", "s")),
              Authentication::clientSecretBasic("new", "s"));
    EXPECT_EQ(OAuthClientRegistrar::updatedAuthentication(withSecret, Authentication::clientSecretPost("old", "s")),
              Authentication::clientSecretPost("new", "new-secret"));
    // Without credentials, an issued secret is used the way the server says it must be.
    struct Case {
        std::optional<std::string> secret;
        std::optional<std::string> method;
        Authentication expected;
    };
    for (const auto& c : std::vector<Case>{
             {std::nullopt, std::nullopt, Authentication::none("new")},
             {std::nullopt, "client_secret_basic", Authentication::none("new")},
             {"s2", std::nullopt, Authentication::clientSecretBasic("new", "s2")},
             {"s2", "client_secret_basic", Authentication::clientSecretBasic("new", "s2")},
             {"s2", "client_secret_post", Authentication::clientSecretPost("new", "s2")},
             {"s2", "none", Authentication::none("new")},
             {"s2", "private_key_jwt", Authentication::none("new")},
         }) {
        const OAuthClientRegistrationResponse response{"new", c.secret, c.method, std::nullopt};
        EXPECT_EQ(OAuthClientRegistrar::updatedAuthentication(response, Authentication::none("old")), c.expected)
            << c.method.value_or("-");
    }
    auto factory = [](std::string, boost::urls::url) -> asio::awaitable<std::string> { co_return "jwt"; };
    const auto jwt = OAuthClientRegistrar::updatedAuthentication(withSecret, Authentication::privateKeyJWT("old", factory));
    EXPECT_EQ(jwt.method(), Authentication::Method::privateKeyJWT);
    EXPECT_EQ(jwt.clientID(), "new");
    EXPECT_TRUE(jwt.assertionFactory());
}

TEST(PKCETest, MakesVerifiersAndS256Challenges) {
    // The example of RFC 7636, appendix B.
    EXPECT_EQ(PKCE::makeChallenge("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"), "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
    const auto verifier = PKCE::makeVerifier(64);
    EXPECT_EQ(verifier.size(), 64u);
    EXPECT_EQ(verifier.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~"), std::string::npos);
    EXPECT_NE(verifier, PKCE::makeVerifier(64));
    EXPECT_EQ(PKCE::makeVerifier(0), "");
    EXPECT_EQ(PKCE::makeVerifier(-3), "");
    const auto challenge = PKCE::makeChallenge(verifier);
    EXPECT_EQ(challenge.size(), 43u);
    EXPECT_EQ(challenge.find_first_of("+/="), std::string::npos);

    const auto check = [](std::optional<std::vector<std::string>> methods) {
        OAuthAuthorizationServerMetadata metadata;
        metadata.codeChallengeMethodsSupported = std::move(methods);
        return failureText([&] { PKCE::checkSupport(metadata); });
    };
    EXPECT_EQ(check(std::vector<std::string>{"plain", "s256"}), "none");
    EXPECT_EQ(check(std::vector<std::string>{"plain"}), "Authorization server metadata must support PKCE S256 (advertised: plain)");
    EXPECT_EQ(check(std::vector<std::string>{}), "Authorization server metadata must include code_challenge_methods_supported for PKCE");
    EXPECT_EQ(check(std::nullopt), "Authorization server metadata must include code_challenge_methods_supported for PKCE");
}

TEST(OAuthAuthorizationCodeFlowTest, BuildsTheAuthorizationURL) {
    const OAuthAuthorizationCodeFlow flow;
    const DefaultOAuthScopeSelector selector;
    const auto build = [&](std::optional<std::set<std::string>> scopes) {
        return std::string(flow.buildURL(boost::urls::url("https://as.example/authorize?old=1"),
                                         boost::urls::url("https://api.example/mcp"),
                                         boost::urls::url("http://127.0.0.1:50001/callback"), "my client", "CH", scopes,
                                         "ST", selector)
                               .buffer());
    };
    const std::string base =
        "https://as.example/authorize?response_type=code&client_id=my%20client&redirect_uri=http%3A%2F%2F127.0.0.1%3A50001"
        "%2Fcallback&state=ST&resource=https%3A%2F%2Fapi.example%2Fmcp&code_challenge=CH&code_challenge_method=S256";
    EXPECT_EQ(build(std::set<std::string>{"b", "a"}), base + "&scope=a%20b");
    EXPECT_EQ(build(std::set<std::string>{}), base);
    EXPECT_EQ(build(std::nullopt), base);
}

TEST(OAuthAuthorizationCodeFlowTest, ReadsTheCodeFromTheRedirect) {
    Server s;
    const OAuthAuthorizationCodeFlow flow;
    const boost::urls::url redirect("http://localhost/callback");
    const auto perform = [&](Reply reply) {
        s.routes["/authorize"] = reply;
        return s.run([&]() -> asio::awaitable<std::string> {
            co_return co_await flow.perform(s.u("/authorize?x=1"), redirect, "S1", nullptr, s.session);
        });
    };
    const auto redirectTo = [](std::string location) { return Reply{302, {{"Location", std::move(location)}}, ""}; };
    EXPECT_EQ(perform(redirectTo("http://localhost/callback?state=S1&code=C1")), "C1");
    EXPECT_EQ(s.server.requests().back().headers.get("Accept"), "text/html, application/json");
    EXPECT_EQ(perform(redirectTo("HTTP://LOCALHOST:80/callback?code=C2&state=S1&state=S2")), "C2");
    struct Case {
        Reply reply;
        std::string failure;
    };
    const std::vector<Case> cases = {
        {redirectTo("http://localhost/callback/?state=S1&code=C"),
         "Authorization response redirect URI mismatch. Expected http://localhost/callback, got "
         "http://localhost/callback/?state=S1&code=C"},
        {redirectTo("/callback?state=S1&code=C"),
         "Authorization response redirect URI mismatch. Expected http://localhost/callback, got /callback?state=S1&code=C"},
        {redirectTo("http://localhost/callback?state=&code=C"), "Authorization response is missing state"},
        {redirectTo("http://localhost/callback?State=S1&code=C"), "Authorization response is missing state"},
        {redirectTo("http://localhost/callback?state=S2&code=C"), "Authorization response state mismatch. Expected S1, got S2"},
        {redirectTo("http://localhost/callback?state=S1&error=access_denied"),
         "Authorization response is missing the authorization code"},
        {redirectTo(""), "Authorization response is missing redirect location"},
        {Reply{200, {{"Content-Type", "text/html"}}, "<form>login</form>"}, "Authorization response is missing redirect location"},
        {Reply{401, {}, ""}, "Authorization request failed with status 401"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failure);
        EXPECT_EQ(failureText([&] { perform(c.reply); }), c.failure);
    }
}

TEST(OAuthAuthorizationCodeFlowTest, HandsTheURLToTheDelegate) {
    class Delegate final : public OAuthAuthorizationDelegate {
    public:
        std::string seen;
        asio::awaitable<boost::urls::url> authorize(boost::urls::url url) override {
            seen = url.buffer();
            co_return boost::urls::url("https://app.example/cb?code=D&state=S");
        }
    };
    auto delegate = std::make_shared<Delegate>();
    Server s;
    const auto code = s.run([&]() -> asio::awaitable<std::string> {
        co_return co_await OAuthAuthorizationCodeFlow().perform(boost::urls::url("https://as.example/authorize?a=b"),
                                                                boost::urls::url("https://app.example:443/cb"), "S",
                                                                delegate, s.session);
    });
    EXPECT_EQ(code, "D");
    EXPECT_EQ(delegate->seen, "https://as.example/authorize?a=b");
    EXPECT_TRUE(s.server.requests().empty());
}

}  // namespace
}  // namespace mcp
