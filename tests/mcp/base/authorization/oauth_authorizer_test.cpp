#include "mcp/base/authorization/oauth_authorizer.hpp"

#include "mcp/base/authorization/oauth_authorization_error.hpp"
#include "support/run_async.hpp"

#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <gtest/gtest.h>

#include <deque>
#include <functional>

namespace mcp {
namespace {

namespace asio = boost::asio;
using namespace std::chrono_literals;
using Kind = OAuthAuthorizationError::Kind;
using Form = std::map<std::string, std::string>;
using Scopes = std::set<std::string>;
using Authentication = OAuthConfiguration::TokenEndpointAuthentication;

const boost::urls::url kEndpoint("https://api.example/mcp");

/// Discovery that answers from fixed documents and counts its fetches.
class FakeDiscovery final : public OAuthDiscoveryFetching {
public:
    OAuthProtectedResourceMetadata document{
        "https://api.example/mcp", {boost::urls::url("https://as.example")}, std::vector<std::string>{"read"}};
    OAuthAuthorizationServerMetadata server = [] {
        OAuthAuthorizationServerMetadata m;
        m.issuer = boost::urls::url("https://as.example");
        m.authorizationEndpoint = boost::urls::url("https://as.example/authorize");
        m.tokenEndpoint = boost::urls::url("https://as.example/token");
        m.codeChallengeMethodsSupported = std::vector<std::string>{"S256"};
        return m;
    }();
    mutable std::vector<std::vector<std::string>> protectedCandidates;
    mutable int serverFetches = 0;

    asio::awaitable<OAuthProtectedResourceMetadata> fetchProtectedResourceMetadata(
        std::vector<boost::urls::url> candidates, std::optional<boost::urls::url>, platform::http::Client&) const override {
        std::vector<std::string> texts;
        for (const auto& c : candidates) texts.emplace_back(c.buffer());
        protectedCandidates.push_back(texts);
        co_return document;
    }
    asio::awaitable<OAuthAuthorizationServerResolution> fetchAuthorizationServerMetadata(
        std::vector<boost::urls::url> candidates, platform::http::Client&) const override {
        ++serverFetches;
        co_return OAuthAuthorizationServerResolution{candidates.front(), server};
    }
    const OAuthMetadataDiscovering& metadataDiscovery() const override { return rules; }

    DefaultOAuthMetadataDiscovery rules;
};

/// A token endpoint that records each form and answers from a queue of replies.
class FakeTokenEndpoint final : public OAuthTokenRequesting {
public:
    mutable std::vector<Form> forms;
    mutable std::deque<std::function<OAuthTokenResponse()>> replies;

    void reply(OAuthTokenResponse response) {
        replies.push_back([response] { return response; });
    }
    void refuse(int status) {
        replies.push_back([status]() -> OAuthTokenResponse { throw OAuthAuthorizationError::tokenRequestFailed(status, "x"); });
    }

    asio::awaitable<OAuthTokenResponse> request(Form& parameters, boost::urls::url, Authentication authentication,
                                                platform::http::Client&) const override {
        // Wait a turn, as a real request does, so overlapping callers meet.
        co_await asio::post(co_await asio::this_coro::executor, asio::use_awaitable);
        parameters["auth:client_id"] = authentication.clientID();
        forms.push_back(parameters);
        if (replies.empty()) throw std::runtime_error("unexpected token request");
        auto next = std::move(replies.front());
        replies.pop_front();
        co_return next();
    }
};

class FakeRegistrar final : public OAuthClientRegistering {
public:
    mutable int calls = 0;
    std::optional<std::int64_t> secretExpiresAt;

    asio::awaitable<std::optional<OAuthClientRegistration>> register_(OAuthConfiguration configuration,
                                                                      OAuthAuthorizationServerMetadata,
                                                                      platform::http::Client&) const override {
        ++calls;
        if (configuration.authentication.method() != Authentication::Method::none) co_return std::nullopt;
        OAuthClientRegistrationResponse response{"registered-" + std::to_string(calls), std::nullopt, std::nullopt,
                                                 secretExpiresAt};
        co_return OAuthClientRegistration{response, Authentication::none(response.clientID)};
    }
};

class FakeCodeFlow final : public OAuthAuthorizationCodeFlowing {
public:
    mutable std::vector<std::string> urls;
    boost::urls::url buildURL(boost::urls::url_view endpoint, boost::urls::url_view resource, boost::urls::url_view redirect,
                              const std::string& clientID, const std::string& challenge,
                              const std::optional<Scopes>& scopes, const std::string& state,
                              const OAuthScopeSelecting& serializer) const override {
        return OAuthAuthorizationCodeFlow().buildURL(endpoint, resource, redirect, clientID, challenge, scopes, state, serializer);
    }
    asio::awaitable<std::string> perform(boost::urls::url url, boost::urls::url, std::string, std::shared_ptr<OAuthAuthorizationDelegate>,
                                         platform::http::Client&) const override {
        urls.emplace_back(url.buffer());
        co_return "the-code";
    }
};

platform::http::Headers bearer(const std::string& parameters) { return {{"WWW-Authenticate", "Bearer " + parameters}}; }

OAuthTokenResponse tokenReply(std::string token, std::optional<std::string> refresh = std::nullopt,
                              std::optional<std::string> scope = std::nullopt, std::optional<std::int64_t> expiresIn = std::nullopt) {
    return {std::move(token), "Bearer", expiresIn, std::move(scope), std::move(refresh)};
}

struct Fixture {
    asio::io_context io;
    platform::http::Client session{io.get_executor()};
    std::shared_ptr<InMemoryTokenStorage> storage = std::make_shared<InMemoryTokenStorage>();
    std::shared_ptr<FakeDiscovery> discovery = std::make_shared<FakeDiscovery>();
    std::shared_ptr<FakeTokenEndpoint> tokens = std::make_shared<FakeTokenEndpoint>();
    std::shared_ptr<FakeRegistrar> registrar = std::make_shared<FakeRegistrar>();
    std::shared_ptr<FakeCodeFlow> codeFlow = std::make_shared<FakeCodeFlow>();
    OAuthConfiguration configuration{OAuthConfiguration::GrantType::clientCredentials,
                                     Authentication::clientSecretPost("client", "secret")};
    std::unique_ptr<OAuthAuthorizer> authorizer;

    OAuthAuthorizer& make() {
        authorizer = std::make_unique<OAuthAuthorizer>(
            configuration, storage, std::make_shared<DefaultOAuthScopeSelector>(),
            std::make_shared<DefaultOAuthWWWAuthenticateParser>(), std::make_shared<OAuthURLValidator>(false), discovery,
            tokens, registrar, codeFlow);
        return *authorizer;
    }

    bool challenge(int status, platform::http::Headers headers, std::optional<std::string> operation = "tools/call",
                   boost::urls::url endpoint = kEndpoint) {
        return testing_support::runAsync(io, [&]() -> asio::awaitable<bool> {
            bool result = co_await authorizer->handleChallenge(status, headers, endpoint, operation, session);
            co_return result;
        });
    }

    void prepare() {
        testing_support::runAsync(io, [&]() -> asio::awaitable<void> {
            co_await authorizer->prepareAuthorization(kEndpoint, session);
        });
    }
};

TEST(OAuthAuthorizerTest, HeaderComesFromAFreshTokenOfTheServerInUse) {
    Fixture f;
    auto& authorizer = f.make();
    EXPECT_FALSE(authorizer.authorizationHeader(kEndpoint));
    f.storage->save({"forever", "Bearer", std::nullopt, {}, std::nullopt, std::nullopt, std::nullopt});
    EXPECT_EQ(authorizer.authorizationHeader(kEndpoint), "Bearer forever");
    f.storage->save({"soon", "Bearer", std::chrono::system_clock::now() + 29s, {}, std::nullopt, std::nullopt, std::nullopt});
    EXPECT_FALSE(authorizer.authorizationHeader(kEndpoint));
    EXPECT_TRUE(f.storage->load());
    f.storage->save({"later", "Bearer", std::chrono::system_clock::now() + 31s, {}, std::nullopt, std::nullopt, std::nullopt});
    EXPECT_EQ(authorizer.authorizationHeader(kEndpoint), "Bearer later");

    // Select https://as.example through a challenge.
    f.tokens->reply(tokenReply("t1"));
    ASSERT_TRUE(f.challenge(401, bearer("")));
    ASSERT_EQ(authorizer.selectedAuthorizationServer()->buffer(), "https://as.example");
    struct Case {
        const char* server;
        bool matches;
    };
    for (const auto& c : std::vector<Case>{{"HTTPS://AS.EXAMPLE/", true},
                                           {"https://as.example?x=1#f", true},
                                           {"https://as.example/other", false},
                                           {"https://as.example:444", false}}) {
        SCOPED_TRACE(c.server);
        f.storage->save({"v", "Bearer", std::nullopt, {}, boost::urls::url(c.server), std::nullopt, std::nullopt});
        EXPECT_EQ(authorizer.authorizationHeader(kEndpoint).has_value(), c.matches);
        EXPECT_EQ(f.storage->load().has_value(), c.matches);
    }
}

TEST(OAuthAuthorizerTest, UnauthorizedRefreshesThenAcquires) {
    struct Case {
        const char* name;
        std::optional<std::string> storedRefresh;
        std::vector<std::function<void(FakeTokenEndpoint&)>> replies;
        std::vector<std::string> grants;
        std::optional<Kind> failure;
    };
    const auto ok = [](FakeTokenEndpoint& t) { t.reply(tokenReply("new", "r2")); };
    const auto refused = [](int status) { return [status](FakeTokenEndpoint& t) { t.refuse(status); }; };
    const std::vector<Case> cases = {
        {"RefreshWorks", "r1", {ok}, {"refresh_token"}, std::nullopt},
        {"RefreshRefusedWith400", "r1", {refused(400), ok}, {"refresh_token", "client_credentials"}, std::nullopt},
        {"RefreshRefusedWith500", "r1", {refused(500)}, {"refresh_token"}, Kind::tokenRequestFailed},
        {"NoRefreshToken", std::nullopt, {ok}, {"client_credentials"}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        auto& authorizer = f.make();
        f.storage->save({"old", "Bearer", std::nullopt, {"read"}, std::nullopt, c.storedRefresh, "client"});
        for (const auto& reply : c.replies) reply(*f.tokens);
        try {
            EXPECT_TRUE(f.challenge(401, bearer(R"(scope="read write")")));
            EXPECT_FALSE(c.failure);
            EXPECT_EQ(authorizer.authorizationHeader(kEndpoint), "Bearer new");
        } catch (const OAuthAuthorizationError& error) {
            EXPECT_EQ(error.kind(), c.failure);
            // The refused token was forgotten before anything was asked.
            EXPECT_FALSE(f.storage->load());
        }
        std::vector<std::string> grants;
        for (const auto& form : f.tokens->forms) grants.push_back(form.at("grant_type"));
        EXPECT_EQ(grants, c.grants);
        const auto& first = f.tokens->forms.front();
        EXPECT_EQ(first.at("resource"), "https://api.example/mcp");
        EXPECT_EQ(first.at("scope"), "read write");
        if (c.storedRefresh) EXPECT_EQ(first.at("refresh_token"), *c.storedRefresh);
    }
}

TEST(OAuthAuthorizerTest, TheAccessTokenProviderComesBeforeAcquisition) {
    for (const std::string provided : {"external", ""}) {
        SCOPED_TRACE(provided);
        Fixture f;
        std::vector<OAuthConfiguration::AccessTokenProviderContext> contexts;
        f.configuration.accessTokenProvider = [&](OAuthConfiguration::AccessTokenProviderContext context,
                                                  platform::http::Client&) -> asio::awaitable<std::optional<std::string>> {
            contexts.push_back(context);
            co_return provided;
        };
        auto& authorizer = f.make();
        if (provided.empty()) f.tokens->reply(tokenReply("acquired"));
        EXPECT_TRUE(f.challenge(401, bearer(R"(scope="read")")));
        ASSERT_EQ(contexts.size(), 1u);
        const auto& context = contexts.front();
        EXPECT_EQ(context.statusCode, 401);
        EXPECT_EQ(context.resource.buffer(), "https://api.example/mcp");
        EXPECT_EQ(context.authorizationServer->buffer(), "https://as.example");
        EXPECT_EQ(context.tokenEndpoint->buffer(), "https://as.example/token");
        EXPECT_EQ(context.challengedScope, "read");
        EXPECT_EQ(context.requestedScopes, (Scopes{"read"}));
        EXPECT_EQ(authorizer.authorizationHeader(kEndpoint), provided.empty() ? "Bearer acquired" : "Bearer external");
        EXPECT_EQ(f.tokens->forms.size(), provided.empty() ? 1u : 0u);
        const auto stored = f.storage->load();
        EXPECT_FALSE(stored->expiresAt);
        EXPECT_EQ(stored->clientID, "client");
    }
}

TEST(OAuthAuthorizerTest, ForbiddenStepsUpScopesABoundedNumberOfTimes) {
    Fixture f;
    f.configuration.retryPolicy = OAuthConfiguration::RetryPolicy(3, 2);
    auto& authorizer = f.make();
    f.storage->save({"v", "Bearer", std::nullopt, {"read"}, std::nullopt, std::nullopt, std::nullopt});

    // Not an insufficient_scope challenge: nothing happens.
    for (const auto& headers : {platform::http::Headers{}, bearer("error=invalid_token"), bearer("scope=x"),
                                platform::http::Headers{{"WWW-Authenticate", "Bearer"}}}) {
        EXPECT_FALSE(f.challenge(403, headers));
    }
    EXPECT_TRUE(f.discovery->protectedCandidates.empty());
    EXPECT_FALSE(f.challenge(500, bearer("error=insufficient_scope")));

    const auto stepUp = bearer(R"(error="INSUFFICIENT_SCOPE", scope="write")");
    for (int i = 0; i < 2; ++i) {
        f.tokens->reply(tokenReply("wider", std::nullopt, "read write"));
        EXPECT_TRUE(f.challenge(403, stepUp));
    }
    EXPECT_EQ(f.tokens->forms.size(), 2u);
    EXPECT_EQ(f.tokens->forms.back().at("scope"), "read write");
    EXPECT_FALSE(f.challenge(403, stepUp));
    EXPECT_EQ(f.tokens->forms.size(), 2u);
    EXPECT_EQ(f.storage->load()->value, "wider");

    // Another operation counts on its own; an absent and an empty key share "<unknown>".
    f.tokens->reply(tokenReply("other", std::nullopt, "read write"));
    EXPECT_TRUE(f.challenge(403, stepUp, "resources/read"));
    f.tokens->reply(tokenReply("a", std::nullopt, "read write"));
    f.tokens->reply(tokenReply("b", std::nullopt, "read write"));
    EXPECT_TRUE(f.challenge(403, stepUp, std::nullopt));
    EXPECT_TRUE(f.challenge(403, stepUp, " "));
    EXPECT_FALSE(f.challenge(403, stepUp, ""));
    EXPECT_EQ(f.tokens->forms.size(), 5u);
    (void)authorizer;
}

TEST(OAuthAuthorizerTest, RefusesAnInsecureEndpointBeforeAnything) {
    Fixture f;
    f.make();
    try {
        f.challenge(401, bearer(""), "x", boost::urls::url("http://api.example/mcp"));
        ADD_FAILURE();
    } catch (const OAuthAuthorizationError& error) {
        EXPECT_EQ(error.kind(), Kind::insecureOAuthEndpoint);
        EXPECT_EQ(std::string(error.what()), "MCP endpoint must use https or loopback http: http://api.example/mcp");
    }
    EXPECT_TRUE(f.discovery->protectedCandidates.empty());
}

TEST(OAuthAuthorizerTest, OverlappingChallengesShareOneAcquisition) {
    Fixture f;
    auto& authorizer = f.make();
    f.tokens->reply(tokenReply("shared"));
    auto first = platform::spawn(f.io.get_executor(), authorizer.handleChallenge(401, bearer(""), kEndpoint, "a", f.session));
    auto second = platform::spawn(f.io.get_executor(), authorizer.handleChallenge(401, bearer(""), kEndpoint, "b", f.session));
    testing_support::runAsync(f.io, [&]() -> asio::awaitable<void> {
        EXPECT_TRUE(co_await first.value());
        EXPECT_TRUE(co_await second.value());
    });
    EXPECT_EQ(f.tokens->forms.size(), 1u);
    EXPECT_EQ(authorizer.authorizationHeader(kEndpoint), "Bearer shared");
}

TEST(OAuthAuthorizerTest, StoresTokenResponses) {
    Fixture f;
    auto& authorizer = f.make();
    f.tokens->reply(tokenReply("t", "r", std::nullopt, 3600));
    const auto before = std::chrono::system_clock::now();
    ASSERT_TRUE(f.challenge(401, bearer(R"(scope="read")")));
    auto stored = *f.storage->load();
    EXPECT_GE(*stored.expiresAt, before + 3600s);
    EXPECT_LE(*stored.expiresAt, std::chrono::system_clock::now() + 3600s);
    EXPECT_EQ(stored.scopes, (Scopes{"read"}));
    EXPECT_EQ(stored.tokenType, "Bearer");
    EXPECT_EQ(stored.authorizationServer->buffer(), "https://as.example");

    // An empty "scope" is the empty set; a refresh without a new refresh token keeps the old one.
    f.tokens->reply(tokenReply("t2", std::nullopt, "", 1LL << 62));
    ASSERT_TRUE(f.challenge(401, bearer("")));
    stored = *f.storage->load();
    EXPECT_EQ(f.tokens->forms.back().at("grant_type"), "refresh_token");
    EXPECT_EQ(stored.value, "t2");
    EXPECT_TRUE(stored.scopes.empty());
    EXPECT_EQ(stored.refreshToken, "r");
    EXPECT_GT(*stored.expiresAt, std::chrono::system_clock::now() + 24h * 365 * 50);
    (void)authorizer;
}

TEST(OAuthAuthorizerTest, RefreshesAheadOfExpiryWithinTheWindow) {
    struct Case {
        double window;
        std::chrono::seconds expiresIn;
        bool refreshes;
    };
    for (const auto& c : std::vector<Case>{{60, 30s, true}, {60, 120s, false}, {0, 30s, false}}) {
        SCOPED_TRACE(c.window);
        Fixture f;
        f.configuration.proactiveRefreshWindowSeconds = c.window;
        auto& authorizer = f.make();
        f.tokens->reply(tokenReply("first", "r1"));
        ASSERT_TRUE(f.challenge(401, bearer("")));
        f.storage->save({"first", "Bearer", std::chrono::system_clock::now() + c.expiresIn, {"read"},
                         boost::urls::url("https://as.example"), "r1", "client"});
        f.tokens->reply(tokenReply("renewed"));
        f.prepare();
        EXPECT_EQ(f.tokens->forms.size(), c.refreshes ? 2u : 1u);
        if (c.refreshes) {
            const auto& form = f.tokens->forms.back();
            EXPECT_EQ(form.at("grant_type"), "refresh_token");
            EXPECT_EQ(form.at("refresh_token"), "r1");
            EXPECT_EQ(form.at("scope"), "read");
            EXPECT_EQ(authorizer.authorizationHeader(kEndpoint), "Bearer renewed");
            EXPECT_EQ(f.storage->load()->refreshToken, "r1");
        }
    }
}

TEST(OAuthAuthorizerTest, ProactiveRefreshDropsEveryFailure) {
    Fixture f;
    f.configuration.proactiveRefreshWindowSeconds = 60;
    auto& authorizer = f.make();
    f.prepare();  // nothing stored, no metadata
    f.tokens->reply(tokenReply("first", "r1"));
    ASSERT_TRUE(f.challenge(401, bearer("")));
    f.storage->save({"first", "Bearer", std::chrono::system_clock::now() + 10s, {}, boost::urls::url("https://as.example"),
                     "r1", "client"});
    f.tokens->refuse(500);
    f.prepare();
    EXPECT_EQ(f.storage->load()->value, "first");
    (void)authorizer;
}

TEST(OAuthAuthorizerTest, RegistersOnceAndAgainAfterTheSecretRunsOut) {
    Fixture f;
    f.configuration.authentication = Authentication::none("");
    f.registrar->secretExpiresAt = 1;  // long past
    auto& authorizer = f.make();
    f.tokens->reply(tokenReply("a"));
    f.tokens->reply(tokenReply("b"));
    ASSERT_TRUE(f.challenge(401, bearer("")));
    EXPECT_EQ(f.tokens->forms.back().at("auth:client_id"), "registered-1");
    EXPECT_EQ(f.storage->load()->clientID, "registered-1");
    ASSERT_TRUE(f.challenge(401, bearer("")));
    EXPECT_EQ(f.registrar->calls, 2);
    EXPECT_EQ(f.tokens->forms.back().at("auth:client_id"), "registered-2");

    Fixture g;
    g.configuration.authentication = Authentication::none("");
    g.registrar->secretExpiresAt = 0;
    g.make();
    g.tokens->reply(tokenReply("a"));
    g.tokens->reply(tokenReply("b"));
    ASSERT_TRUE(g.challenge(401, bearer("")));
    ASSERT_TRUE(g.challenge(401, bearer("")));
    EXPECT_EQ(g.registrar->calls, 1);
    (void)authorizer;
}

TEST(OAuthAuthorizerTest, AuthorizationCodeGrantSendsTheVerifierOfItsChallenge) {
    Fixture f;
    f.configuration = OAuthConfiguration(OAuthConfiguration::GrantType::authorizationCode, Authentication::none("app"),
                                         OAuthConfiguration::RetryPolicy::default_(), {},
                                         boost::urls::url("http://127.0.0.1:50000/callback"));
    auto& authorizer = f.make();
    f.tokens->reply(tokenReply("coded", "r"));
    ASSERT_TRUE(f.challenge(401, bearer(R"(scope="read")")));
    ASSERT_EQ(f.codeFlow->urls.size(), 1u);
    const boost::urls::url_view url(f.codeFlow->urls.front());
    std::map<std::string, std::string> query;
    for (const auto& p : url.params()) query[p.key] = p.value;
    const auto& form = f.tokens->forms.front();
    EXPECT_EQ(form.at("grant_type"), "authorization_code");
    EXPECT_EQ(form.at("code"), "the-code");
    EXPECT_EQ(form.at("redirect_uri"), "http://127.0.0.1:50000/callback");
    EXPECT_EQ(form.at("code_verifier").size(), 64u);
    EXPECT_EQ(PKCE::makeChallenge(form.at("code_verifier")), query.at("code_challenge"));
    EXPECT_EQ(query.at("state").size(), 36u);
    EXPECT_EQ(query.at("scope"), "read");
    EXPECT_EQ(authorizer.authorizationHeader(kEndpoint), "Bearer coded");
}

TEST(OAuthAuthorizerTest, DiscoveryCachesAndChecksWhatItFinds) {
    Fixture f;
    auto& authorizer = f.make();
    const std::string first = "https://api.example/.well-known/oauth-protected-resource/mcp";
    f.tokens->reply(tokenReply("a"));
    f.tokens->reply(tokenReply("b"));
    f.tokens->reply(tokenReply("c"));
    ASSERT_TRUE(f.challenge(401, bearer("resource_metadata=\"" + first + "\"")));
    EXPECT_EQ(f.discovery->protectedCandidates.back(),
              (std::vector<std::string>{first, "https://api.example/.well-known/oauth-protected-resource"}));
    ASSERT_TRUE(f.challenge(401, bearer("")));
    EXPECT_EQ(f.discovery->protectedCandidates.size(), 1u);
    EXPECT_EQ(f.discovery->serverFetches, 1);
    ASSERT_TRUE(f.challenge(401, bearer(R"(resource_metadata="https://meta.example/prm")")));
    EXPECT_EQ(f.discovery->protectedCandidates.size(), 2u);
    EXPECT_EQ(f.discovery->protectedCandidates.back().front(), "https://meta.example/prm");
    EXPECT_EQ(f.discovery->serverFetches, 2);

    const auto failure = [&](const std::string& headerValue) -> std::string {
        try {
            f.challenge(401, bearer(headerValue));
            return "none";
        } catch (const OAuthAuthorizationError& error) {
            return error.what();
        }
    };
    EXPECT_EQ(failure(R"(resource_metadata="https://10.0.0.5/prm")"),
              "Protected resource metadata URL resolves to a private or reserved IP address which is blocked for SSRF "
              "protection: https://10.0.0.5/prm");
    f.discovery->document.resource = "https://other.example/mcp";
    EXPECT_EQ(failure(R"(resource_metadata="https://meta.example/b")"),
              "Protected resource metadata resource mismatch. Expected https://api.example/mcp, got https://other.example/mcp");
    f.discovery->document.resource = "  ";
    f.discovery->document.authorizationServers.clear();
    EXPECT_EQ(failure(R"(resource_metadata="https://meta.example/c")"),
              "No authorization server was found in protected resource metadata");
    (void)authorizer;
}

}  // namespace
}  // namespace mcp
