#pragma once

#include "mcp/base/authorization/oauth_configuration.hpp"
#include "mcp/base/authorization/oauth_documents.hpp"
#include "mcp/base/authorization/oauth_url_validator.hpp"
#include "platform/http/client.hpp"

#include <boost/asio/awaitable.hpp>

#include <optional>

namespace mcp {

/// A client registered with an authorization server, and the authentication to use from now on.
struct OAuthClientRegistration {
    OAuthClientRegistrationResponse response;
    OAuthConfiguration::TokenEndpointAuthentication updatedAuthentication;
};

class OAuthClientRegistering {
public:
    virtual ~OAuthClientRegistering() = default;
    /// The registration made, or none when the client needs none or none is possible.
    virtual boost::asio::awaitable<std::optional<OAuthClientRegistration>> register_(
        OAuthConfiguration configuration, OAuthAuthorizationServerMetadata asMetadata,
        platform::http::Client& session) const = 0;
};

/// Decides how a client without credentials gets its identity: its client id used as a client ID
/// metadata document URL, or dynamic registration at the server's registration endpoint.
class OAuthClientRegistrar final : public OAuthClientRegistering {
public:
    explicit OAuthClientRegistrar(OAuthURLValidator urlValidator = OAuthURLValidator()) : urlValidator_(urlValidator) {}

    /// Only the `none` authentication registers. Throws invalidClientIDMetadataURL or
    /// cimdNotSupported for a client id that can't serve as the server needs, the URL validator's
    /// error for the registration endpoint, tokenRequestFailed for a refusal (never redirected),
    /// DecodingError for a 2xx reply that is no registration.
    boost::asio::awaitable<std::optional<OAuthClientRegistration>> register_(
        OAuthConfiguration configuration, OAuthAuthorizationServerMetadata asMetadata,
        platform::http::Client& session) const override;

    /// The same method with the registered client id, and for the secret methods the issued secret
    /// when there is one. A client registered without credentials that is issued a secret takes
    /// the method the server names for it: client_secret_post, or client_secret_basic (also when it
    /// names none at all); for any other method it stays without credentials.
    static OAuthConfiguration::TokenEndpointAuthentication updatedAuthentication(
        const OAuthClientRegistrationResponse& response, const OAuthConfiguration::TokenEndpointAuthentication& current);

private:
    OAuthURLValidator urlValidator_;
};

}  // namespace mcp
