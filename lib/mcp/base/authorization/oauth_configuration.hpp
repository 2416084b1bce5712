#pragma once

#include "mcp/base/authorization/oauth_authorization_delegate.hpp"
#include "platform/http/client.hpp"
#include "platform/http/request.hpp"

#include <boost/asio/awaitable.hpp>
#include <boost/url/url.hpp>
#include <boost/url/url_view.hpp>

#include <chrono>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace mcp {

/// How an OAuth client obtains its tokens: the grant, the client authentication at the token
/// endpoint, retry limits, endpoint overrides, the redirect URI and the program's hooks.
struct OAuthConfiguration {
    enum class GrantType { authorizationCode, clientCredentials };

    /// Makes the signed client assertion of private_key_jwt: (client id, token endpoint) to the JWT.
    using AssertionFactory =
        std::function<boost::asio::awaitable<std::string>(std::string clientID, boost::urls::url tokenEndpoint)>;

    /// How the client authenticates at the token endpoint. Every method carries the client id.
    class TokenEndpointAuthentication {
    public:
        enum class Method { clientSecretBasic, clientSecretPost, none, privateKeyJWT };

        static TokenEndpointAuthentication clientSecretBasic(std::string clientID, std::string clientSecret);
        static TokenEndpointAuthentication clientSecretPost(std::string clientID, std::string clientSecret);
        static TokenEndpointAuthentication none(std::string clientID);
        static TokenEndpointAuthentication privateKeyJWT(std::string clientID, AssertionFactory assertionFactory);

        Method method() const noexcept { return method_; }
        const std::string& clientID() const noexcept { return clientID_; }
        /// Empty unless the method carries a secret.
        const std::string& clientSecret() const noexcept { return clientSecret_; }
        const AssertionFactory& assertionFactory() const noexcept { return assertionFactory_; }

        /// Adds the client authentication to a token request being built: a "Basic" header, or form
        /// fields replacing those of the same name. Throws what the assertion factory throws; the
        /// fields set before it stay set.
        boost::asio::awaitable<void> apply(platform::http::Request& request,
                                           std::map<std::string, std::string>& bodyParameters,
                                           boost::urls::url tokenEndpoint) const;

        /// Same method, client id and secret; assertion factories are not compared.
        friend bool operator==(const TokenEndpointAuthentication& a, const TokenEndpointAuthentication& b) {
            return a.method_ == b.method_ && a.clientID_ == b.clientID_ && a.clientSecret_ == b.clientSecret_;
        }

    private:
        TokenEndpointAuthentication(Method method, std::string clientID) : method_(method), clientID_(std::move(clientID)) {}

        Method method_;
        std::string clientID_;
        std::string clientSecret_;
        AssertionFactory assertionFactory_;
    };

    struct RetryPolicy {
        /// Values below 1 become 1.
        RetryPolicy(int maxAuthorizationAttempts, int maxScopeUpgradeAttempts);
        /// 3 authorization attempts, 2 scope upgrades.
        static const RetryPolicy& default_();

        /// How many times one request is sent in all while refusals are answered.
        int maxAuthorizationAttempts;
        /// How many scope step-ups are made for one resource, operation and scope set.
        int maxScopeUpgradeAttempts;
    };

    /// Endpoints that replace what discovery finds; an absent one leaves discovery's.
    struct EndpointOverrides {
        std::optional<boost::urls::url> protectedResourceMetadataURL;
        std::optional<boost::urls::url> authorizationServerURL;
        std::optional<boost::urls::url> tokenEndpoint;
        std::optional<boost::urls::url> resource;

        static const EndpointOverrides& none();
    };

    /// What the access-token provider learns of the refusal it is asked about.
    struct AccessTokenProviderContext {
        int statusCode = 0;
        boost::urls::url endpoint;
        boost::urls::url resource;
        std::optional<boost::urls::url> authorizationServer;
        std::optional<boost::urls::url> authorizationEndpoint;
        std::optional<boost::urls::url> tokenEndpoint;
        std::optional<boost::urls::url> registrationEndpoint;
        std::optional<std::string> challengedScope;
        std::optional<std::vector<std::string>> scopesSupported;
        std::optional<std::set<std::string>> requestedScopes;
    };

    /// An outside source of access tokens: a token, or none (an empty text counts as none) to let
    /// the authorizer obtain one itself. Its failure ends the challenge handling.
    using AccessTokenProvider = std::function<boost::asio::awaitable<std::optional<std::string>>(
        AccessTokenProviderContext context, platform::http::Client& session)>;

    enum class PrivateKeyJWTSigningAlgorithm { ES256 };
    /// "ES256" for the one algorithm.
    static std::string text(PrivateKeyJWTSigningAlgorithm algorithm);
    /// Only exactly "ES256" names an algorithm.
    static std::optional<PrivateKeyJWTSigningAlgorithm> signingAlgorithm(std::string_view text);

    /// A failure to make a private_key_jwt assertion that is not the platform's.
    class PrivateKeyJWTAssertionError : public std::exception {
    public:
        enum class Kind { invalidLifetime, cryptographyUnavailable };
        static PrivateKeyJWTAssertionError invalidLifetime(double lifetime);
        static PrivateKeyJWTAssertionError cryptographyUnavailable();

        Kind kind() const noexcept { return kind_; }
        /// The refused lifetime of invalidLifetime.
        double lifetime() const noexcept { return lifetime_; }
        const char* what() const noexcept override { return description_.c_str(); }

    private:
        PrivateKeyJWTAssertionError(Kind kind, double lifetime);
        Kind kind_;
        double lifetime_;
        std::string description_;
    };

    OAuthConfiguration(GrantType grantType, TokenEndpointAuthentication authentication,
                       RetryPolicy retryPolicy = RetryPolicy::default_(),
                       EndpointOverrides endpointOverrides = EndpointOverrides::none(),
                       std::optional<boost::urls::url> authorizationRedirectURI = std::nullopt,
                       std::string clientName = {}, std::map<std::string, std::string> additionalTokenRequestParameters = {},
                       AccessTokenProvider accessTokenProvider = {},
                       std::shared_ptr<OAuthAuthorizationDelegate> authorizationDelegate = {},
                       double proactiveRefreshWindowSeconds = 0);

    /// "http://127.0.0.1:<port>/callback" with a port drawn anew, uniformly, from 49152 to 65535.
    static boost::urls::url defaultAuthorizationRedirectURI();

    /// A signed ES256 JWT client assertion: iss and sub the client id, aud `audience` or else the
    /// token endpoint, iat the whole seconds of `issuedAt`, exp iat plus the lifetime's floor (at
    /// least 1), and a fresh jti. `privateKeyPEM` holds a P-256 private key (SEC1 or PKCS#8).
    /// Throws PrivateKeyJWTAssertionError invalidLifetime unless `expiresIn` is above 0, and
    /// std::runtime_error when the key can't be read or signing fails.
    static std::string makePrivateKeyJWTAssertion(const std::string& clientID, boost::urls::url_view tokenEndpoint,
                                                  const std::string& privateKeyPEM,
                                                  PrivateKeyJWTSigningAlgorithm signingAlgorithm,
                                                  const std::optional<std::string>& audience,
                                                  std::chrono::system_clock::time_point issuedAt, double expiresIn);

    GrantType grantType;
    /// Replaced by the authorizer after it registers the client.
    TokenEndpointAuthentication authentication;
    RetryPolicy retryPolicy;
    EndpointOverrides endpointOverrides;
    /// Whether authorization-server endpoints may be plain http on a loopback host. Read once, when
    /// an authorizer is made.
    bool allowLoopbackHTTPAuthorizationServerEndpoints = false;
    boost::urls::url authorizationRedirectURI;
    /// Form fields put into every token request before the grant's own.
    std::map<std::string, std::string> additionalTokenRequestParameters;
    /// The client's name when it registers.
    std::string clientName;
    AccessTokenProvider accessTokenProvider;
    std::shared_ptr<OAuthAuthorizationDelegate> authorizationDelegate;
    /// How long before its expiry a token is renewed ahead of a request; 0 never.
    double proactiveRefreshWindowSeconds;
};

}  // namespace mcp
