#include "mcp/base/authorization/oauth_documents.hpp"

#include "mcp/base/authorization/detail/url_text.hpp"
#include "platform/json/codec.hpp"
#include "platform/json/decoding_error.hpp"
#include "platform/json/parse.hpp"

#include <algorithm>

namespace mcp {

namespace pj = platform::json;

namespace {

boost::urls::url urlMember(const std::string& text, std::vector<std::string> path) {
    auto url = detail::urlFromText(text);
    if (!url) throw pj::DecodingError(pj::DecodingError::Kind::dataCorrupted, "Invalid URL string.", std::move(path));
    return std::move(*url);
}

std::optional<boost::urls::url> optionalURL(const boost::json::object& object, std::string_view key) {
    auto text = pj::optional<std::string>(object, key);
    if (!text) return std::nullopt;
    return urlMember(*text, {std::string(key)});
}

std::optional<std::string> textOf(const std::optional<boost::urls::url>& url) {
    if (!url) return std::nullopt;
    return std::string(url->buffer());
}

bool sameURLs(const std::vector<boost::urls::url>& a, const std::vector<boost::urls::url>& b) {
    return std::ranges::equal(a, b, [](const auto& x, const auto& y) { return x.buffer() == y.buffer(); });
}

}  // namespace

OAuthProtectedResourceMetadata OAuthProtectedResourceMetadata::fromJSON(const boost::json::value& json) {
    const auto& object = pj::asObject(json);
    OAuthProtectedResourceMetadata metadata;
    metadata.resource = pj::optional<std::string>(object, "resource");
    const auto servers = pj::required<std::vector<std::string>>(object, "authorization_servers");
    for (std::size_t i = 0; i < servers.size(); ++i)
        metadata.authorizationServers.push_back(urlMember(servers[i], {"authorization_servers", std::to_string(i)}));
    metadata.scopesSupported = pj::optional<std::vector<std::string>>(object, "scopes_supported");
    return metadata;
}

bool operator==(const OAuthProtectedResourceMetadata& a, const OAuthProtectedResourceMetadata& b) {
    return a.resource == b.resource && sameURLs(a.authorizationServers, b.authorizationServers) &&
           a.scopesSupported == b.scopesSupported;
}

OAuthAuthorizationServerMetadata OAuthAuthorizationServerMetadata::fromJSON(const boost::json::value& json) {
    const auto& object = pj::asObject(json);
    OAuthAuthorizationServerMetadata metadata;
    metadata.issuer = optionalURL(object, "issuer");
    metadata.authorizationEndpoint = optionalURL(object, "authorization_endpoint");
    metadata.tokenEndpoint = optionalURL(object, "token_endpoint");
    metadata.registrationEndpoint = optionalURL(object, "registration_endpoint");
    metadata.codeChallengeMethodsSupported = pj::optional<std::vector<std::string>>(object, "code_challenge_methods_supported");
    metadata.tokenEndpointAuthMethodsSupported =
        pj::optional<std::vector<std::string>>(object, "token_endpoint_auth_methods_supported");
    metadata.clientIDMetadataDocumentSupported = pj::optional<bool>(object, "client_id_metadata_document_supported");
    return metadata;
}

bool operator==(const OAuthAuthorizationServerMetadata& a, const OAuthAuthorizationServerMetadata& b) {
    return textOf(a.issuer) == textOf(b.issuer) && textOf(a.authorizationEndpoint) == textOf(b.authorizationEndpoint) &&
           textOf(a.tokenEndpoint) == textOf(b.tokenEndpoint) &&
           textOf(a.registrationEndpoint) == textOf(b.registrationEndpoint) &&
           a.codeChallengeMethodsSupported == b.codeChallengeMethodsSupported &&
           a.tokenEndpointAuthMethodsSupported == b.tokenEndpointAuthMethodsSupported &&
           a.clientIDMetadataDocumentSupported == b.clientIDMetadataDocumentSupported;
}

OAuthTokenResponse OAuthTokenResponse::fromJSON(const boost::json::value& json) {
    const auto& object = pj::asObject(json);
    OAuthTokenResponse response;
    response.accessToken = pj::required<std::string>(object, "access_token");
    response.tokenType = pj::required<std::string>(object, "token_type");
    response.expiresIn = pj::optional<std::int64_t>(object, "expires_in");
    response.scope = pj::optional<std::string>(object, "scope");
    response.refreshToken = pj::optional<std::string>(object, "refresh_token");
    return response;
}

OAuthTokenErrorResponse OAuthTokenErrorResponse::fromJSON(const boost::json::value& json) {
    return {pj::required<std::string>(pj::asObject(json), "error")};
}

OAuthClientRegistrationResponse OAuthClientRegistrationResponse::fromJSON(const boost::json::value& json) {
    const auto& object = pj::asObject(json);
    OAuthClientRegistrationResponse response;
    response.clientID = pj::required<std::string>(object, "client_id");
    response.clientSecret = pj::optional<std::string>(object, "client_secret");
    response.tokenEndpointAuthMethod = pj::optional<std::string>(object, "token_endpoint_auth_method");
    response.clientSecretExpiresAt = pj::optional<std::int64_t>(object, "client_secret_expires_at");
    return response;
}

namespace detail {

template <class T>
T decodeDocument(std::string_view text) {
    return T::fromJSON(pj::parse(text));
}

template OAuthProtectedResourceMetadata decodeDocument<OAuthProtectedResourceMetadata>(std::string_view);
template OAuthAuthorizationServerMetadata decodeDocument<OAuthAuthorizationServerMetadata>(std::string_view);
template OAuthTokenResponse decodeDocument<OAuthTokenResponse>(std::string_view);
template OAuthTokenErrorResponse decodeDocument<OAuthTokenErrorResponse>(std::string_view);
template OAuthClientRegistrationResponse decodeDocument<OAuthClientRegistrationResponse>(std::string_view);

}  // namespace detail

}  // namespace mcp
