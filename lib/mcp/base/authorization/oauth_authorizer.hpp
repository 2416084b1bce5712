#pragma once

#include "mcp/base/authorization/default_oauth_metadata_discovery.hpp"
#include "mcp/base/authorization/http_client_authorizer.hpp"
#include "mcp/base/authorization/oauth_access_token.hpp"
#include "mcp/base/authorization/oauth_authorization_code_flow.hpp"
#include "mcp/base/authorization/oauth_client_registrar.hpp"
#include "mcp/base/authorization/oauth_configuration.hpp"
#include "mcp/base/authorization/oauth_discovery_client.hpp"
#include "mcp/base/authorization/oauth_documents.hpp"
#include "mcp/base/authorization/oauth_metadata_discovering.hpp"
#include "mcp/base/authorization/oauth_scope_selector.hpp"
#include "mcp/base/authorization/oauth_token_endpoint_client.hpp"
#include "mcp/base/authorization/oauth_url_validator.hpp"
#include "mcp/base/authorization/oauth_www_authenticate_parser.hpp"
#include "platform/async/task.hpp"

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace mcp {

/// The library's OAuth client for the HTTP client transport: gives the bearer header of the stored
/// token, answers 401 and 403 challenges by discovering the authorization server, registering the
/// client, obtaining, refreshing or widening tokens, and renews a token shortly before it expires.
///
/// Confined to the runtime thread of the transport it serves. Challenge handling is single-flight:
/// a challenge that arrives while another is being handled awaits that one and shares its result,
/// so two token acquisitions or two authorization prompts never run at once.
///
/// @par Example
/// @code
/// mcp::OAuthConfiguration configuration(mcp::OAuthConfiguration::GrantType::clientCredentials,
///     mcp::OAuthConfiguration::TokenEndpointAuthentication::clientSecretBasic("client", "secret"));
/// auto authorizer = std::make_shared<mcp::OAuthAuthorizer>(configuration);
/// // hand `authorizer` to the HTTP client transport
/// @endcode
class OAuthAuthorizer final : public HTTPClientAuthorizer {
public:
    using Clock = std::chrono::system_clock;

    OAuthAuthorizer(OAuthConfiguration configuration,
                    std::shared_ptr<TokenStorage> tokenStorage = std::make_shared<InMemoryTokenStorage>(),
                    std::shared_ptr<const OAuthScopeSelecting> scopeSelector = std::make_shared<DefaultOAuthScopeSelector>(),
                    std::shared_ptr<const OAuthWWWAuthenticateParsing> challengeParser =
                        std::make_shared<DefaultOAuthWWWAuthenticateParser>(),
                    std::shared_ptr<const OAuthMetadataDiscovering> metadataDiscovery =
                        std::make_shared<DefaultOAuthMetadataDiscovery>());

    /// Every collaborator given, so that any can be replaced.
    OAuthAuthorizer(OAuthConfiguration configuration, std::shared_ptr<TokenStorage> tokenStorage,
                    std::shared_ptr<const OAuthScopeSelecting> scopeSelector,
                    std::shared_ptr<const OAuthWWWAuthenticateParsing> challengeParser,
                    std::shared_ptr<const OAuthURLValidating> urlValidator,
                    std::shared_ptr<const OAuthDiscoveryFetching> discoveryClient,
                    std::shared_ptr<const OAuthTokenRequesting> tokenEndpointClient,
                    std::shared_ptr<const OAuthClientRegistering> clientRegistrar,
                    std::shared_ptr<const OAuthAuthorizationCodeFlowing> authCodeFlow);

    int maxAuthorizationAttempts() const override;
    /// https, or http to a loopback host ("MCP endpoint").
    void validateEndpointSecurity(boost::urls::url_view endpoint) const override;
    /// "Bearer " and the stored token, unless it expires within 30 seconds or was issued by another
    /// authorization server than the one in use (then it is forgotten).
    std::optional<std::string> authorizationHeader(boost::urls::url_view endpoint) override;
    /// 401: refresh the token, else obtain a new one. 403 insufficient_scope: obtain one with the
    /// wider scopes, a bounded number of times per resource, operation and scope set. Anything
    /// else: false.
    boost::asio::awaitable<bool> handleChallenge(int statusCode, platform::http::Headers headers, boost::urls::url endpoint,
                                                 std::optional<std::string> operationKey,
                                                 platform::http::Client& session) override;
    /// Refreshes a token that expires within the configured window; never fails.
    boost::asio::awaitable<void> prepareAuthorization(boost::urls::url endpoint, platform::http::Client& session) override;

    const OAuthConfiguration& configuration() const noexcept { return configuration_; }
    const std::optional<boost::urls::url>& selectedAuthorizationServer() const noexcept { return selectedAuthorizationServer_; }

    /// The comparable form of an authorization server's URL: http(s) only, scheme and host
    /// lower-cased, no query or fragment, a lone "/" path made empty.
    static std::optional<boost::urls::url> normalizedAuthorizationServer(boost::urls::url_view url);
    /// The key trimmed of white space, or "<unknown>" when nothing is left.
    static std::string normalizedOperationKey(const std::optional<std::string>& key);

    /// The wall clock; tests move it.
    std::function<Clock::time_point()> now = [] { return Clock::now(); };

private:
    boost::asio::awaitable<bool> handleChallengeOnce(int statusCode, platform::http::Headers headers,
                                                     boost::urls::url endpoint, std::optional<std::string> operationKey,
                                                     platform::http::Client& session);
    boost::asio::awaitable<std::optional<bool>> refreshAfterUnauthorized(
        const std::string& refreshToken, boost::urls::url_view endpoint,
        const std::optional<OAuthBearerChallenge>& challenge, platform::http::Client& session);
    boost::asio::awaitable<bool> acquireWithProvider(int statusCode, const boost::urls::url& endpoint,
                                                     const OAuthProtectedResourceMetadata& metadata,
                                                     const std::optional<OAuthBearerChallenge>& challenge,
                                                     std::optional<std::set<std::string>> providerScopes,
                                                     std::optional<std::set<std::string>> acquisitionScopes,
                                                     platform::http::Client& session);

    boost::asio::awaitable<OAuthProtectedResourceMetadata> discoverProtectedResourceMetadata(
        boost::urls::url endpoint, std::optional<OAuthBearerChallenge> challenge, platform::http::Client& session);
    void validateProtectedResource(const OAuthProtectedResourceMetadata& metadata, boost::urls::url_view endpoint) const;
    boost::asio::awaitable<OAuthAuthorizationServerMetadata> resolveAuthorizationServerMetadata(
        OAuthProtectedResourceMetadata metadata, platform::http::Client& session);
    boost::urls::url canonicalResource(boost::urls::url_view endpoint) const;
    boost::asio::awaitable<std::optional<std::string>> fetchAccessTokenFromProvider(
        OAuthConfiguration::AccessTokenProviderContext context, platform::http::Client& session);
    void storeExternalAccessToken(const std::string& token, const std::optional<std::set<std::string>>& requestedScopes,
                                  const std::optional<boost::urls::url>& authorizationServer);
    boost::asio::awaitable<void> acquireToken(boost::urls::url endpoint, OAuthProtectedResourceMetadata metadata,
                                              std::optional<std::set<std::string>> requestedScopes,
                                              platform::http::Client& session);
    boost::asio::awaitable<void> maybeRegisterClient(OAuthAuthorizationServerMetadata asMetadata,
                                                     platform::http::Client& session);
    boost::asio::awaitable<void> acquireTokenViaAuthorizationCode(boost::urls::url resource,
                                                                  std::optional<std::set<std::string>> requestedScopes,
                                                                  OAuthAuthorizationServerMetadata asMetadata,
                                                                  platform::http::Client& session);
    boost::urls::url resolveTokenEndpoint(const OAuthAuthorizationServerMetadata& asMetadata) const;
    /// `previousRefreshToken` is kept when a refresh reply issues no new one.
    void storeTokenResponse(const OAuthTokenResponse& response, const std::optional<std::set<std::string>>& requestedScopes,
                            const std::optional<std::string>& previousRefreshToken = std::nullopt);
    void checkAuthorizationServerURL(boost::urls::url_view url, std::string_view context, bool privateAddressStep) const;
    std::map<std::string, std::string> refreshForm(const std::string& refreshToken, boost::urls::url_view resource,
                                                   const std::optional<std::set<std::string>>& scopes) const;
    std::optional<std::string> configuredClientID() const;

    OAuthConfiguration configuration_;
    std::shared_ptr<TokenStorage> tokenStorage_;
    std::optional<boost::urls::url> selectedAuthorizationServer_;
    std::optional<OAuthProtectedResourceMetadata> protectedResourceMetadata_;
    std::optional<OAuthAuthorizationServerMetadata> authorizationServerMetadata_;
    std::optional<boost::urls::url> cachedProtectedResourceMetadataURL_;
    std::map<std::string, int> stepUpAttempts_;
    bool clientRegistrationAttempted_ = false;
    std::optional<Clock::time_point> clientSecretExpiresAt_;
    std::shared_ptr<const OAuthScopeSelecting> scopeSelector_;
    std::shared_ptr<const OAuthWWWAuthenticateParsing> challengeParser_;
    std::shared_ptr<const OAuthURLValidating> urlValidator_;
    std::shared_ptr<const OAuthDiscoveryFetching> discoveryClient_;
    std::shared_ptr<const OAuthTokenRequesting> tokenEndpointClient_;
    std::shared_ptr<const OAuthClientRegistering> clientRegistrar_;
    std::shared_ptr<const OAuthAuthorizationCodeFlowing> authCodeFlow_;
    std::optional<platform::Task<bool>> challengeInFlight_;
};

}  // namespace mcp
