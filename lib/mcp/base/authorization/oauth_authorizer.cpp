#include "mcp/base/authorization/oauth_authorizer.hpp"

#include "mcp/base/authorization/detail/url_text.hpp"
#include "mcp/base/authorization/detail/whitespace.hpp"
#include "mcp/base/authorization/oauth_authorization_error.hpp"
#include "platform/uuid.hpp"

#include <algorithm>
#include <utility>

namespace mcp {

namespace {

using Kind = OAuthAuthorizationError::Kind;
using Scopes = std::set<std::string>;

bool sameURL(const boost::urls::url& a, const boost::urls::url& b) { return a.buffer() == b.buffer(); }

std::string joinedScopes(const Scopes& scopes) {
    std::string out;
    for (const auto& scope : scopes) {
        if (!out.empty()) out.push_back(' ');
        out += scope;
    }
    return out;
}

}  // namespace

OAuthAuthorizer::OAuthAuthorizer(OAuthConfiguration configuration, std::shared_ptr<TokenStorage> tokenStorage,
                                 std::shared_ptr<const OAuthScopeSelecting> scopeSelector,
                                 std::shared_ptr<const OAuthWWWAuthenticateParsing> challengeParser,
                                 std::shared_ptr<const OAuthMetadataDiscovering> metadataDiscovery)
    : OAuthAuthorizer(configuration, std::move(tokenStorage), std::move(scopeSelector), std::move(challengeParser),
                      std::make_shared<OAuthURLValidator>(configuration.allowLoopbackHTTPAuthorizationServerEndpoints),
                      std::make_shared<OAuthDiscoveryClient>(
                          std::move(metadataDiscovery),
                          OAuthURLValidator(configuration.allowLoopbackHTTPAuthorizationServerEndpoints)),
                      std::make_shared<OAuthTokenEndpointClient>(
                          OAuthURLValidator(configuration.allowLoopbackHTTPAuthorizationServerEndpoints)),
                      std::make_shared<OAuthClientRegistrar>(
                          OAuthURLValidator(configuration.allowLoopbackHTTPAuthorizationServerEndpoints)),
                      std::make_shared<OAuthAuthorizationCodeFlow>()) {}

OAuthAuthorizer::OAuthAuthorizer(OAuthConfiguration configuration, std::shared_ptr<TokenStorage> tokenStorage,
                                 std::shared_ptr<const OAuthScopeSelecting> scopeSelector,
                                 std::shared_ptr<const OAuthWWWAuthenticateParsing> challengeParser,
                                 std::shared_ptr<const OAuthURLValidating> urlValidator,
                                 std::shared_ptr<const OAuthDiscoveryFetching> discoveryClient,
                                 std::shared_ptr<const OAuthTokenRequesting> tokenEndpointClient,
                                 std::shared_ptr<const OAuthClientRegistering> clientRegistrar,
                                 std::shared_ptr<const OAuthAuthorizationCodeFlowing> authCodeFlow)
    : configuration_(std::move(configuration)),
      tokenStorage_(std::move(tokenStorage)),
      scopeSelector_(std::move(scopeSelector)),
      challengeParser_(std::move(challengeParser)),
      urlValidator_(std::move(urlValidator)),
      discoveryClient_(std::move(discoveryClient)),
      tokenEndpointClient_(std::move(tokenEndpointClient)),
      clientRegistrar_(std::move(clientRegistrar)),
      authCodeFlow_(std::move(authCodeFlow)) {}

int OAuthAuthorizer::maxAuthorizationAttempts() const { return configuration_.retryPolicy.maxAuthorizationAttempts; }

void OAuthAuthorizer::validateEndpointSecurity(boost::urls::url_view endpoint) const {
    urlValidator_->validateHTTPSOrLoopback(endpoint, "MCP endpoint");
}

std::optional<std::string> OAuthAuthorizer::authorizationHeader(boost::urls::url_view) {
    auto token = tokenStorage_->load();
    if (!token) return std::nullopt;
    if (token->authorizationServer && selectedAuthorizationServer_) {
        const auto a = normalizedAuthorizationServer(*token->authorizationServer);
        const auto b = normalizedAuthorizationServer(*selectedAuthorizationServer_);
        const bool match = (!a && !b) || (a && b && a->buffer() == b->buffer());
        if (!match) {
            tokenStorage_->clear();
            return std::nullopt;
        }
    }
    if (token->isExpired(now(), OAuthTokenExpirySkew::defaultSeconds)) return std::nullopt;
    return "Bearer " + token->value;
}

boost::asio::awaitable<bool> OAuthAuthorizer::handleChallenge(int statusCode, platform::http::Headers headers,
                                                              boost::urls::url endpoint,
                                                              std::optional<std::string> operationKey,
                                                              platform::http::Client& session) {
    if (challengeInFlight_ && !challengeInFlight_->isFinished()) {
        // Another refusal is being answered: its outcome serves this one too.
        auto running = *challengeInFlight_;
        bool result = co_await running.value();
        co_return result;
    }
    auto task = platform::spawn(session.executor(), handleChallengeOnce(statusCode, std::move(headers), std::move(endpoint),
                                                                        std::move(operationKey), session));
    challengeInFlight_ = task;
    bool result = co_await task.value();
    co_return result;
}

boost::asio::awaitable<bool> OAuthAuthorizer::handleChallengeOnce(int statusCode, platform::http::Headers headers,
                                                                  boost::urls::url endpoint,
                                                                  std::optional<std::string> operationKey,
                                                                  platform::http::Client& session) {
    validateEndpointSecurity(endpoint);
    const auto challenge = challengeParser_->parseBearer(headers);
    const std::optional<std::string> challengeScope = challenge ? challenge->scope() : std::nullopt;

    if (statusCode == 401) {
        auto stored = tokenStorage_->load();
        std::optional<std::string> refreshToken = stored ? stored->refreshToken : std::nullopt;
        tokenStorage_->clear();
        if (refreshToken) {
            auto refreshed = co_await refreshAfterUnauthorized(*refreshToken, endpoint, challenge, session);
            if (refreshed) co_return *refreshed;
        }
        auto metadata = co_await discoverProtectedResourceMetadata(endpoint, challenge, session);
        auto requestedScopes = scopeSelector_->selectScopes(challengeScope, metadata.scopesSupported);
        bool acquired = co_await acquireWithProvider(401, endpoint, metadata, challenge, requestedScopes, requestedScopes, session);
        co_return acquired;
    }

    if (statusCode != 403) co_return false;
    if (!challenge || challenge->parameters.empty()) co_return false;
    const auto error = challenge->error();
    if (!error || detail::asciiLowercased(*error) != "insufficient_scope") co_return false;

    auto metadata = co_await discoverProtectedResourceMetadata(endpoint, challenge, session);
    Scopes scopes = scopeSelector_->selectScopes(challengeScope, metadata.scopesSupported).value_or(Scopes{});
    if (auto stored = tokenStorage_->load()) scopes.insert(stored->scopes.begin(), stored->scopes.end());

    const auto resourceKey = discoveryClient_->metadataDiscovery().canonicalResourceURI(endpoint);
    const std::string key = std::string(resourceKey.buffer()) + "|" + normalizedOperationKey(operationKey) + "|" +
                            joinedScopes(scopes);
    const int count = stepUpAttempts_.contains(key) ? stepUpAttempts_[key] : 0;
    if (count >= configuration_.retryPolicy.maxScopeUpgradeAttempts) co_return false;
    stepUpAttempts_[key] = count + 1;

    std::optional<Scopes> providerScopes;
    if (!scopes.empty()) providerScopes = scopes;
    bool acquired = co_await acquireWithProvider(403, endpoint, metadata, challenge, providerScopes, scopes, session);
    co_return acquired;
}

boost::asio::awaitable<std::optional<bool>> OAuthAuthorizer::refreshAfterUnauthorized(
    const std::string& refreshToken, boost::urls::url_view endpointView,
    const std::optional<OAuthBearerChallenge>& challenge, platform::http::Client& session) {
    const boost::urls::url endpoint(endpointView);
    auto metadata = co_await discoverProtectedResourceMetadata(endpoint, challenge, session);
    auto asMetadata = co_await resolveAuthorizationServerMetadata(metadata, session);
    const auto resource = canonicalResource(endpoint);
    const auto requestedScopes =
        scopeSelector_->selectScopes(challenge ? challenge->scope() : std::nullopt, metadata.scopesSupported);

    std::optional<boost::urls::url> tokenEndpoint;
    try {
        tokenEndpoint = resolveTokenEndpoint(asMetadata);
    } catch (const std::exception&) {
        co_return std::nullopt;
    }
    auto form = refreshForm(refreshToken, resource, requestedScopes);
    std::optional<OAuthTokenResponse> response;
    try {
        response = co_await tokenEndpointClient_->request(form, *tokenEndpoint, configuration_.authentication, session);
    } catch (const OAuthAuthorizationError& error) {
        // A refresh token the server no longer takes: obtain a new token instead.
        if (error.kind() != Kind::tokenRequestFailed || error.statusCode < 400 || error.statusCode > 499) throw;
    }
    if (!response) co_return std::nullopt;
    storeTokenResponse(*response, requestedScopes, refreshToken);
    co_return true;
}

boost::asio::awaitable<bool> OAuthAuthorizer::acquireWithProvider(int statusCode, const boost::urls::url& endpoint,
                                                                  const OAuthProtectedResourceMetadata& metadata,
                                                                  const std::optional<OAuthBearerChallenge>& challenge,
                                                                  std::optional<Scopes> providerScopes,
                                                                  std::optional<Scopes> acquisitionScopes,
                                                                  platform::http::Client& session) {
    auto asMetadata = co_await resolveAuthorizationServerMetadata(metadata, session);
    OAuthConfiguration::AccessTokenProviderContext context;
    context.statusCode = statusCode;
    context.endpoint = endpoint;
    context.resource = canonicalResource(endpoint);
    const auto& overrides = configuration_.endpointOverrides;
    if (overrides.authorizationServerURL) {
        context.authorizationServer = overrides.authorizationServerURL;
    } else if (selectedAuthorizationServer_) {
        context.authorizationServer = selectedAuthorizationServer_;
    } else if (!metadata.authorizationServers.empty()) {
        context.authorizationServer = metadata.authorizationServers.front();
    }
    context.authorizationEndpoint = asMetadata.authorizationEndpoint;
    context.registrationEndpoint = asMetadata.registrationEndpoint;
    context.tokenEndpoint = overrides.tokenEndpoint ? overrides.tokenEndpoint : asMetadata.tokenEndpoint;
    context.challengedScope = challenge ? challenge->scope() : std::nullopt;
    context.scopesSupported = metadata.scopesSupported;
    context.requestedScopes = providerScopes;
    const auto server = context.authorizationServer;

    auto provided = co_await fetchAccessTokenFromProvider(std::move(context), session);
    if (provided) {
        storeExternalAccessToken(*provided, providerScopes, server);
        co_return true;
    }
    co_await acquireToken(endpoint, metadata, std::move(acquisitionScopes), session);
    co_return true;
}

boost::asio::awaitable<OAuthProtectedResourceMetadata> OAuthAuthorizer::discoverProtectedResourceMetadata(
    boost::urls::url endpoint, std::optional<OAuthBearerChallenge> challenge, platform::http::Client& session) {
    const std::optional<boost::urls::url> challengeURL = challenge ? challenge->resourceMetadataURL() : std::nullopt;
    if (protectedResourceMetadata_) {
        if (!challengeURL) co_return *protectedResourceMetadata_;
        if (cachedProtectedResourceMetadataURL_ && sameURL(*challengeURL, *cachedProtectedResourceMetadataURL_)) {
            co_return *protectedResourceMetadata_;
        }
        protectedResourceMetadata_.reset();
        authorizationServerMetadata_.reset();
        selectedAuthorizationServer_.reset();
        cachedProtectedResourceMetadataURL_.reset();
    }

    std::vector<boost::urls::url> candidates;
    const auto addUnique = [&](const boost::urls::url& url) {
        if (std::ranges::none_of(candidates, [&](const auto& c) { return sameURL(c, url); })) candidates.push_back(url);
    };
    if (challengeURL) {
        urlValidator_->validateHTTPSOrLoopback(*challengeURL, "Protected resource metadata URL");
        if (auto host = detail::lowercasedHost(*challengeURL); host && urlValidator_->isPrivateIPHost(*host)) {
            throw OAuthAuthorizationError::privateIPAddressBlocked("Protected resource metadata URL",
                                                                   std::string(challengeURL->buffer()));
        }
        candidates.push_back(*challengeURL);
    }
    if (const auto& configured = configuration_.endpointOverrides.protectedResourceMetadataURL) {
        if (std::ranges::none_of(candidates, [&](const auto& c) { return sameURL(c, *configured); })) {
            urlValidator_->validateHTTPSOrLoopback(*configured, "Configured protected resource metadata URL");
            candidates.push_back(*configured);
        }
    }
    const auto& discovery = discoveryClient_->metadataDiscovery();
    for (const auto& url : discovery.protectedResourceMetadataURLs(endpoint)) addUnique(url);

    std::optional<boost::urls::url> fallbackIssuer;
    try {
        fallbackIssuer = discovery.authorizationServerFallbackIssuer(endpoint);
    } catch (const OAuthAuthorizationError&) {
    }
    auto metadata = co_await discoveryClient_->fetchProtectedResourceMetadata(candidates, fallbackIssuer, session);
    validateProtectedResource(metadata, endpoint);
    protectedResourceMetadata_ = metadata;
    cachedProtectedResourceMetadataURL_.reset();
    if (!candidates.empty()) cachedProtectedResourceMetadataURL_ = candidates.front();
    co_return metadata;
}

void OAuthAuthorizer::validateProtectedResource(const OAuthProtectedResourceMetadata& metadata,
                                                boost::urls::url_view endpoint) const {
    if (!metadata.resource) return;
    const auto trimmed = detail::trimWhitespace(*metadata.resource);
    if (trimmed.empty()) return;
    const auto resourceURL = detail::urlFromText(trimmed);
    if (!resourceURL) {
        throw OAuthAuthorizationError::invalidResourceURI("Protected resource metadata contains an invalid resource URI: " +
                                                          std::string(trimmed));
    }
    const auto& discovery = discoveryClient_->metadataDiscovery();
    const auto canonicalEndpoint = discovery.canonicalResourceURI(endpoint);
    const auto canonicalResourceURL = discovery.canonicalResourceURI(*resourceURL);
    if (!discovery.protectedResourceMatches(canonicalResourceURL, canonicalEndpoint)) {
        throw OAuthAuthorizationError::protectedResourceMismatch(std::string(canonicalEndpoint.buffer()),
                                                                 std::string(canonicalResourceURL.buffer()));
    }
}

boost::asio::awaitable<OAuthAuthorizationServerMetadata> OAuthAuthorizer::resolveAuthorizationServerMetadata(
    OAuthProtectedResourceMetadata metadata, platform::http::Client& session) {
    if (authorizationServerMetadata_) co_return *authorizationServerMetadata_;
    std::vector<boost::urls::url> candidates;
    if (const auto& configured = configuration_.endpointOverrides.authorizationServerURL) {
        urlValidator_->validateAuthorizationServer(*configured, "Authorization server issuer");
        candidates.push_back(*configured);
    } else if (selectedAuthorizationServer_) {
        candidates.push_back(*selectedAuthorizationServer_);
    } else {
        if (metadata.authorizationServers.empty()) throw OAuthAuthorizationError::plain(Kind::missingAuthorizationServer);
        candidates = metadata.authorizationServers;
    }
    auto resolution = co_await discoveryClient_->fetchAuthorizationServerMetadata(candidates, session);
    selectedAuthorizationServer_ = resolution.server;
    authorizationServerMetadata_ = resolution.metadata;
    co_return resolution.metadata;
}

boost::urls::url OAuthAuthorizer::canonicalResource(boost::urls::url_view endpoint) const {
    const auto& discovery = discoveryClient_->metadataDiscovery();
    const auto derived = discovery.canonicalResourceURI(endpoint);
    std::optional<boost::urls::url> claimed;
    if (configuration_.endpointOverrides.resource) {
        claimed = *configuration_.endpointOverrides.resource;
    } else if (protectedResourceMetadata_ && protectedResourceMetadata_->resource) {
        claimed = detail::urlFromText(*protectedResourceMetadata_->resource);
    }
    if (!claimed) return derived;
    auto canonicalClaimed = discovery.canonicalResourceURI(*claimed);
    if (!discovery.protectedResourceMatches(canonicalClaimed, derived)) {
        throw OAuthAuthorizationError::protectedResourceMismatch(std::string(derived.buffer()),
                                                                 std::string(canonicalClaimed.buffer()));
    }
    return canonicalClaimed;
}

boost::asio::awaitable<std::optional<std::string>> OAuthAuthorizer::fetchAccessTokenFromProvider(
    OAuthConfiguration::AccessTokenProviderContext context, platform::http::Client& session) {
    if (!configuration_.accessTokenProvider) co_return std::nullopt;
    auto token = co_await configuration_.accessTokenProvider(std::move(context), session);
    if (token && token->empty()) co_return std::nullopt;
    co_return token;
}

void OAuthAuthorizer::storeExternalAccessToken(const std::string& token, const std::optional<Scopes>& requestedScopes,
                                               const std::optional<boost::urls::url>& authorizationServer) {
    OAuthAccessToken stored;
    stored.value = token;
    stored.tokenType = OAuthTokenType::bearer;
    stored.scopes = requestedScopes.value_or(Scopes{});
    stored.authorizationServer = authorizationServer;
    stored.clientID = configuredClientID();
    tokenStorage_->save(stored);
}

boost::asio::awaitable<void> OAuthAuthorizer::acquireToken(boost::urls::url endpoint, OAuthProtectedResourceMetadata metadata,
                                                           std::optional<Scopes> requestedScopes,
                                                           platform::http::Client& session) {
    auto asMetadata = co_await resolveAuthorizationServerMetadata(metadata, session);
    co_await maybeRegisterClient(asMetadata, session);
    const auto resource = canonicalResource(endpoint);
    if (configuration_.grantType == OAuthConfiguration::GrantType::authorizationCode) {
        co_await acquireTokenViaAuthorizationCode(resource, std::move(requestedScopes), std::move(asMetadata), session);
        co_return;
    }
    const auto tokenEndpoint = resolveTokenEndpoint(asMetadata);
    auto form = configuration_.additionalTokenRequestParameters;
    form["grant_type"] = "client_credentials";
    form["resource"] = std::string(resource.buffer());
    if (requestedScopes) {
        if (auto scope = scopeSelector_->serialize(*requestedScopes)) form["scope"] = *scope;
    }
    auto response = co_await tokenEndpointClient_->request(form, tokenEndpoint, configuration_.authentication, session);
    storeTokenResponse(response, requestedScopes);
}

boost::asio::awaitable<void> OAuthAuthorizer::maybeRegisterClient(OAuthAuthorizationServerMetadata asMetadata,
                                                                  platform::http::Client& session) {
    if (clientSecretExpiresAt_ && now() >= *clientSecretExpiresAt_) {
        clientSecretExpiresAt_.reset();
        clientRegistrationAttempted_ = false;
        configuration_.authentication = OAuthConfiguration::TokenEndpointAuthentication::none(configuration_.authentication.clientID());
    }
    if (clientRegistrationAttempted_ ||
        configuration_.authentication.method() != OAuthConfiguration::TokenEndpointAuthentication::Method::none) {
        co_return;
    }
    clientRegistrationAttempted_ = true;
    auto registration = co_await clientRegistrar_->register_(configuration_, std::move(asMetadata), session);
    if (!registration) co_return;
    configuration_.authentication = registration->updatedAuthentication;
    if (const auto expiresAt = registration->response.clientSecretExpiresAt; expiresAt && *expiresAt >= 1) {
        clientSecretExpiresAt_ = detail::addClampedSeconds(Clock::time_point{}, static_cast<double>(*expiresAt));
    }
}

boost::asio::awaitable<void> OAuthAuthorizer::acquireTokenViaAuthorizationCode(boost::urls::url resource,
                                                                               std::optional<Scopes> requestedScopes,
                                                                               OAuthAuthorizationServerMetadata asMetadata,
                                                                               platform::http::Client& session) {
    if (!asMetadata.authorizationEndpoint) throw OAuthAuthorizationError::plain(Kind::tokenEndpointMissing);
    const auto authorizationEndpoint = *asMetadata.authorizationEndpoint;
    checkAuthorizationServerURL(authorizationEndpoint, "Authorization endpoint", true);
    urlValidator_->validateRedirectURI(configuration_.authorizationRedirectURI);
    PKCE::checkSupport(asMetadata);
    const auto verifier = PKCE::makeVerifier(64);
    const auto challenge = PKCE::makeChallenge(verifier);
    const auto state = platform::makeUUIDString();
    const auto redirectURI = configuration_.authorizationRedirectURI;
    auto url = authCodeFlow_->buildURL(authorizationEndpoint, resource, redirectURI, configuration_.authentication.clientID(),
                                       challenge, requestedScopes, state, *scopeSelector_);
    auto code = co_await authCodeFlow_->perform(std::move(url), redirectURI, state, configuration_.authorizationDelegate,
                                                session);
    const auto tokenEndpoint = resolveTokenEndpoint(asMetadata);
    auto form = configuration_.additionalTokenRequestParameters;
    form["grant_type"] = "authorization_code";
    form["code"] = code;
    form["code_verifier"] = verifier;
    form["redirect_uri"] = std::string(redirectURI.buffer());
    form["resource"] = std::string(resource.buffer());
    if (requestedScopes) {
        if (auto scope = scopeSelector_->serialize(*requestedScopes)) form["scope"] = *scope;
    }
    auto response = co_await tokenEndpointClient_->request(form, tokenEndpoint, configuration_.authentication, session);
    storeTokenResponse(response, requestedScopes);
}

boost::urls::url OAuthAuthorizer::resolveTokenEndpoint(const OAuthAuthorizationServerMetadata& asMetadata) const {
    if (const auto& configured = configuration_.endpointOverrides.tokenEndpoint) {
        checkAuthorizationServerURL(*configured, "Configured token endpoint", false);
        return *configured;
    }
    if (!asMetadata.tokenEndpoint) throw OAuthAuthorizationError::plain(Kind::tokenEndpointMissing);
    checkAuthorizationServerURL(*asMetadata.tokenEndpoint, "Token endpoint", true);
    return *asMetadata.tokenEndpoint;
}

void OAuthAuthorizer::storeTokenResponse(const OAuthTokenResponse& response, const std::optional<Scopes>& requestedScopes,
                                         const std::optional<std::string>& previousRefreshToken) {
    OAuthAccessToken token;
    token.value = response.accessToken;
    token.tokenType = OAuthTokenType::bearer;
    if (response.scope) {
        token.scopes = scopeSelector_->parseScopeString(*response.scope);
    } else if (requestedScopes) {
        token.scopes = *requestedScopes;
    }
    if (response.expiresIn) token.expiresAt = detail::addClampedSeconds(now(), static_cast<double>(*response.expiresIn));
    token.authorizationServer = selectedAuthorizationServer_;
    // A server that does not rotate refresh tokens sends none with a refresh: the one we hold
    // stays good, and dropping it would force a new authorization at the next expiry.
    token.refreshToken = response.refreshToken ? response.refreshToken : previousRefreshToken;
    token.clientID = configuredClientID();
    tokenStorage_->save(token);
}

boost::asio::awaitable<void> OAuthAuthorizer::prepareAuthorization(boost::urls::url endpoint, platform::http::Client& session) {
    const double window = configuration_.proactiveRefreshWindowSeconds;
    if (!(window > 0)) co_return;
    const auto token = tokenStorage_->load();
    if (!token || !token->expiresAt) co_return;
    if (detail::addClampedSeconds(now(), window) < *token->expiresAt) co_return;
    if (!token->refreshToken) co_return;
    if (!authorizationServerMetadata_ || !authorizationServerMetadata_->tokenEndpoint) co_return;

    std::optional<std::map<std::string, std::string>> form;
    std::optional<boost::urls::url> tokenEndpoint;
    std::optional<Scopes> scopes;
    if (!token->scopes.empty()) scopes = token->scopes;
    try {
        const auto resource = canonicalResource(endpoint);
        tokenEndpoint = resolveTokenEndpoint(*authorizationServerMetadata_);
        form = refreshForm(*token->refreshToken, resource, scopes);
    } catch (const std::exception&) {
        co_return;
    }
    std::optional<OAuthTokenResponse> response;
    try {
        response = co_await tokenEndpointClient_->request(*form, *tokenEndpoint, configuration_.authentication, session);
    } catch (const std::exception&) {
        // Ahead-of-time renewal is best effort: the request goes out with what is stored.
    }
    if (response) storeTokenResponse(*response, scopes, token->refreshToken);
}

std::optional<boost::urls::url> OAuthAuthorizer::normalizedAuthorizationServer(boost::urls::url_view url) {
    const auto scheme = detail::lowercasedScheme(url);
    if (!scheme || !url.has_authority() || (*scheme != "http" && *scheme != "https")) return std::nullopt;
    boost::urls::url out(url);
    detail::lowercaseSchemeAndHost(out);
    out.remove_query();
    out.remove_fragment();
    if (out.path() == "/") out.set_path("");
    return out;
}

std::string OAuthAuthorizer::normalizedOperationKey(const std::optional<std::string>& key) {
    if (!key) return "<unknown>";
    const auto trimmed = detail::trimWhitespace(*key);
    if (trimmed.empty()) return "<unknown>";
    return std::string(trimmed);
}

void OAuthAuthorizer::checkAuthorizationServerURL(boost::urls::url_view url, std::string_view context,
                                                  bool privateAddressStep) const {
    urlValidator_->validateAuthorizationServer(url, context);
    if (!privateAddressStep) return;
    if (auto host = detail::lowercasedHost(url); host && urlValidator_->isPrivateIPHost(*host)) {
        throw OAuthAuthorizationError::privateIPAddressBlocked(std::string(context), std::string(url.buffer()));
    }
}

std::map<std::string, std::string> OAuthAuthorizer::refreshForm(const std::string& refreshToken,
                                                                boost::urls::url_view resource,
                                                                const std::optional<Scopes>& scopes) const {
    auto form = configuration_.additionalTokenRequestParameters;
    form["grant_type"] = "refresh_token";
    form["refresh_token"] = refreshToken;
    form["resource"] = std::string(resource.buffer());
    if (scopes) {
        if (auto scope = scopeSelector_->serialize(*scopes)) form["scope"] = *scope;
    }
    return form;
}

std::optional<std::string> OAuthAuthorizer::configuredClientID() const {
    const auto& clientID = configuration_.authentication.clientID();
    if (clientID.empty()) return std::nullopt;
    return clientID;
}

}  // namespace mcp
