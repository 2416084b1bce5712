#include "mcp/base/authorization/oauth_client_registrar.hpp"

#include "mcp/base/authorization/detail/url_text.hpp"
#include "mcp/base/authorization/oauth_authorization_error.hpp"
#include "mcp/base/authorization/oauth_discovery_client.hpp"
#include "mcp/base/authorization/oauth_token_endpoint_client.hpp"
#include "platform/json/write.hpp"

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>

namespace mcp {

namespace {

using Authentication = OAuthConfiguration::TokenEndpointAuthentication;

bool isHTTPSURLWithPath(const std::string& text) {
    auto url = detail::urlFromText(text);
    if (!url || detail::lowercasedScheme(*url) != "https") return false;
    const auto path = url->path();
    return !path.empty() && path != "/";
}

bool clientIDLooksLikeURL(const std::string& text) {
    auto url = detail::urlFromText(text);
    return url && url->has_scheme() && !url->scheme().empty();
}

boost::json::object registrationBody(const OAuthConfiguration& configuration) {
    boost::json::object body;
    body["client_name"] = configuration.clientName;
    if (configuration.grantType == OAuthConfiguration::GrantType::authorizationCode) {
        body["grant_types"] = boost::json::array{"authorization_code", "refresh_token"};
        body["token_endpoint_auth_method"] = "none";
        body["response_types"] = boost::json::array{"code"};
        body["redirect_uris"] = boost::json::array{boost::json::string(configuration.authorizationRedirectURI.buffer())};
    } else {
        body["grant_types"] = boost::json::array{"client_credentials"};
        body["token_endpoint_auth_method"] = "none";
    }
    return body;
}

}  // namespace

boost::asio::awaitable<std::optional<OAuthClientRegistration>> OAuthClientRegistrar::register_(
    OAuthConfiguration configuration, OAuthAuthorizationServerMetadata asMetadata, platform::http::Client& session) const {
    if (configuration.authentication.method() != Authentication::Method::none) co_return std::nullopt;
    const std::string clientID = configuration.authentication.clientID();
    const bool httpsWithPath = isHTTPSURLWithPath(clientID);
    const bool documentSupported = asMetadata.clientIDMetadataDocumentSupported.value_or(false);

    if (documentSupported && clientIDLooksLikeURL(clientID)) {
        if (httpsWithPath) co_return std::nullopt;
        throw OAuthAuthorizationError::invalidClientIDMetadataURL(clientID);
    }
    if (!asMetadata.registrationEndpoint) {
        if (httpsWithPath && !documentSupported) throw OAuthAuthorizationError::cimdNotSupported(clientID);
        co_return std::nullopt;
    }
    const auto& endpoint = *asMetadata.registrationEndpoint;
    urlValidator_.validateAuthorizationServer(endpoint, "Client registration endpoint");

    platform::http::Request request;
    request.method = "POST";
    request.url = endpoint;
    request.timeout = std::chrono::seconds(60);
    request.followRedirects = false;
    request.headers.set("Content-Type", "application/json");
    request.headers.set("Accept", "application/json");
    request.body = platform::json::write(registrationBody(configuration));

    auto response = co_await session.fetch(std::move(request), detail::kOAuthBodyLimit);
    if (response.status < 200 || response.status > 299) {
        throw OAuthAuthorizationError::tokenRequestFailed(response.status, detail::oauthErrorCode(response.body));
    }
    auto registration = detail::decodeDocument<OAuthClientRegistrationResponse>(response.body);
    auto authentication = updatedAuthentication(registration, configuration.authentication);
    co_return OAuthClientRegistration{std::move(registration), std::move(authentication)};
}

Authentication OAuthClientRegistrar::updatedAuthentication(const OAuthClientRegistrationResponse& response,
                                                           const Authentication& current) {
    switch (current.method()) {
    case Authentication::Method::none:
        // A server may answer a public registration with a confidential client: the issued secret
        // and the method it names (client_secret_basic when it names none) are what its token
        // endpoint will ask for.
        if (response.clientSecret && response.tokenEndpointAuthMethod.value_or("client_secret_basic") != "none") {
            if (response.tokenEndpointAuthMethod == "client_secret_post")
                return Authentication::clientSecretPost(response.clientID, *response.clientSecret);
            if (response.tokenEndpointAuthMethod.value_or("client_secret_basic") == "client_secret_basic")
                return Authentication::clientSecretBasic(response.clientID, *response.clientSecret);
        }
        return Authentication::none(response.clientID);
    case Authentication::Method::privateKeyJWT:
        return Authentication::privateKeyJWT(response.clientID, current.assertionFactory());
    case Authentication::Method::clientSecretBasic:
        return Authentication::clientSecretBasic(response.clientID, response.clientSecret.value_or(current.clientSecret()));
    case Authentication::Method::clientSecretPost:
        return Authentication::clientSecretPost(response.clientID, response.clientSecret.value_or(current.clientSecret()));
    }
    return current;
}

}  // namespace mcp
