#pragma once

#include <boost/json/value.hpp>
#include <boost/url/url.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mcp {

// The JSON documents the OAuth client reads. Each fromJSON takes a JSON object, matches keys
// exactly and ignores unknown ones; an optional member may be absent or null. A missing required
// member or a member of the wrong type (a URL text that is no URL included) throws DecodingError.
// URLs compare by their text.

/// What a protected resource says about itself.
struct OAuthProtectedResourceMetadata {
    std::optional<std::string> resource;
    /// Required.
    std::vector<boost::urls::url> authorizationServers;
    std::optional<std::vector<std::string>> scopesSupported;

    static OAuthProtectedResourceMetadata fromJSON(const boost::json::value& json);
    friend bool operator==(const OAuthProtectedResourceMetadata& a, const OAuthProtectedResourceMetadata& b);
};

/// What an authorization server says about itself. Every member is optional.
struct OAuthAuthorizationServerMetadata {
    std::optional<boost::urls::url> issuer;
    std::optional<boost::urls::url> authorizationEndpoint;
    std::optional<boost::urls::url> tokenEndpoint;
    std::optional<boost::urls::url> registrationEndpoint;
    std::optional<std::vector<std::string>> codeChallengeMethodsSupported;
    std::optional<std::vector<std::string>> tokenEndpointAuthMethodsSupported;
    std::optional<bool> clientIDMetadataDocumentSupported;

    static OAuthAuthorizationServerMetadata fromJSON(const boost::json::value& json);
    friend bool operator==(const OAuthAuthorizationServerMetadata& a, const OAuthAuthorizationServerMetadata& b);
};

/// A successful reply of a token endpoint.
struct OAuthTokenResponse {
    std::string accessToken;
    std::string tokenType;
    /// Seconds.
    std::optional<std::int64_t> expiresIn;
    /// Space-separated scopes.
    std::optional<std::string> scope;
    std::optional<std::string> refreshToken;

    static OAuthTokenResponse fromJSON(const boost::json::value& json);
    bool operator==(const OAuthTokenResponse&) const = default;
};

/// The error body of a failed token or registration request; only "error" is read, and required.
struct OAuthTokenErrorResponse {
    std::string error;

    static OAuthTokenErrorResponse fromJSON(const boost::json::value& json);
};

/// The reply of dynamic client registration.
struct OAuthClientRegistrationResponse {
    std::string clientID;
    std::optional<std::string> clientSecret;
    std::optional<std::string> tokenEndpointAuthMethod;
    std::optional<std::int64_t> clientSecretExpiresAt;

    static OAuthClientRegistrationResponse fromJSON(const boost::json::value& json);
};

namespace detail {

/// `text` parsed as a JSON document and read as T; throws DecodingError.
template <class T>
T decodeDocument(std::string_view text);

}  // namespace detail

}  // namespace mcp
