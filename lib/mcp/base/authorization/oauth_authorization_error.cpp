#include "mcp/base/authorization/oauth_authorization_error.hpp"

#include <utility>

namespace mcp {

using Kind = OAuthAuthorizationError::Kind;

OAuthAuthorizationError OAuthAuthorizationError::tokenRequestFailed(int statusCode, std::optional<std::string> oauthError) {
    OAuthAuthorizationError error(Kind::tokenRequestFailed);
    error.statusCode = statusCode;
    error.oauthError = std::move(oauthError);
    return error.describe();
}

OAuthAuthorizationError OAuthAuthorizationError::invalidResourceURI(std::string text) {
    OAuthAuthorizationError error(Kind::invalidResourceURI);
    error.text = std::move(text);
    return error.describe();
}

OAuthAuthorizationError OAuthAuthorizationError::invalidClientIDMetadataURL(std::string text) {
    OAuthAuthorizationError error(Kind::invalidClientIDMetadataURL);
    error.text = std::move(text);
    return error.describe();
}

OAuthAuthorizationError OAuthAuthorizationError::protectedResourceMismatch(std::string expected, std::string actual) {
    OAuthAuthorizationError error(Kind::protectedResourceMismatch);
    error.expected = std::move(expected);
    error.actual = std::move(actual);
    return error.describe();
}

OAuthAuthorizationError OAuthAuthorizationError::cimdNotSupported(std::string clientID) {
    OAuthAuthorizationError error(Kind::cimdNotSupported);
    error.clientID = std::move(clientID);
    return error.describe();
}

OAuthAuthorizationError OAuthAuthorizationError::privateIPAddressBlocked(std::string context, std::string url) {
    OAuthAuthorizationError error(Kind::privateIPAddressBlocked);
    error.context = std::move(context);
    error.url = std::move(url);
    return error.describe();
}

OAuthAuthorizationError OAuthAuthorizationError::insecureOAuthEndpoint(std::string context, std::string url) {
    OAuthAuthorizationError error(Kind::insecureOAuthEndpoint);
    error.context = std::move(context);
    error.url = std::move(url);
    return error.describe();
}

OAuthAuthorizationError OAuthAuthorizationError::insecureAuthorizationServerEndpoint(std::string context, std::string url) {
    OAuthAuthorizationError error(Kind::insecureAuthorizationServerEndpoint);
    error.context = std::move(context);
    error.url = std::move(url);
    return error.describe();
}

OAuthAuthorizationError OAuthAuthorizationError::invalidRedirectURI(std::string text) {
    OAuthAuthorizationError error(Kind::invalidRedirectURI);
    error.text = std::move(text);
    return error.describe();
}

OAuthAuthorizationError OAuthAuthorizationError::authorizationRequestFailed(int statusCode) {
    OAuthAuthorizationError error(Kind::authorizationRequestFailed);
    error.statusCode = statusCode;
    return error.describe();
}

OAuthAuthorizationError OAuthAuthorizationError::authorizationResponseRedirectMismatch(std::string expected, std::string actual) {
    OAuthAuthorizationError error(Kind::authorizationResponseRedirectMismatch);
    error.expected = std::move(expected);
    error.actual = std::move(actual);
    return error.describe();
}

OAuthAuthorizationError OAuthAuthorizationError::authorizationResponseStateMismatch(std::string expected, std::string actual) {
    OAuthAuthorizationError error(Kind::authorizationResponseStateMismatch);
    error.expected = std::move(expected);
    error.actual = std::move(actual);
    return error.describe();
}

OAuthAuthorizationError OAuthAuthorizationError::pkceS256NotSupported(std::vector<std::string> advertisedMethods) {
    OAuthAuthorizationError error(Kind::pkceS256NotSupported);
    error.advertisedMethods = std::move(advertisedMethods);
    return error.describe();
}

OAuthAuthorizationError OAuthAuthorizationError::authorizationServerIssuerMismatch(std::string expected, std::string actual) {
    OAuthAuthorizationError error(Kind::authorizationServerIssuerMismatch);
    error.expected = std::move(expected);
    error.actual = std::move(actual);
    return error.describe();
}

OAuthAuthorizationError OAuthAuthorizationError::plain(Kind kind) {
    OAuthAuthorizationError error(kind);
    return error.describe();
}

OAuthAuthorizationError& OAuthAuthorizationError::describe() {
    description_ = errorDescription();
    return *this;
}

std::string OAuthAuthorizationError::errorDescription() const {
    switch (kind_) {
    case Kind::tokenRequestFailed: {
        std::string out = "Token request failed with status " + std::to_string(statusCode);
        if (oauthError && !oauthError->empty()) out += " (oauth_error: " + *oauthError + ")";
        return out;
    }
    case Kind::invalidResourceURI:
        return "Invalid resource URI: " + text;
    case Kind::invalidClientIDMetadataURL:
        return "Client ID metadata document URL must use https and include a path: " + text;
    case Kind::protectedResourceMismatch:
        return "Protected resource metadata resource mismatch. Expected " + expected + ", got " + actual;
    case Kind::cimdNotSupported:
        return "Authorization server does not support Client ID Metadata Documents; configure pre-registered "
               "credentials or ensure the server advertises client_id_metadata_document_supported: " +
               clientID;
    case Kind::privateIPAddressBlocked:
        return context + " resolves to a private or reserved IP address which is blocked for SSRF protection: " + url;
    case Kind::insecureOAuthEndpoint:
        return context + " must use https or loopback http: " + url;
    case Kind::insecureAuthorizationServerEndpoint:
        return context + " must use https: " + url;
    case Kind::invalidRedirectURI:
        return "Redirect URI must use https or loopback http and must not include fragments: " + text;
    case Kind::authorizationRequestFailed:
        return "Authorization request failed with status " + std::to_string(statusCode);
    case Kind::authorizationResponseRedirectMismatch:
        return "Authorization response redirect URI mismatch. Expected " + expected + ", got " + actual;
    case Kind::authorizationResponseStateMismatch:
        return "Authorization response state mismatch. Expected " + expected + ", got " + actual;
    case Kind::pkceS256NotSupported: {
        std::string out = "Authorization server metadata must support PKCE S256 (advertised: ";
        for (std::size_t i = 0; i < advertisedMethods.size(); ++i) {
            if (i > 0) out += ", ";
            out += advertisedMethods[i];
        }
        return out + ")";
    }
    case Kind::authorizationServerIssuerMismatch:
        return "Authorization server issuer mismatch. Expected " + expected + ", got " + actual;
    case Kind::missingAuthorizationServer:
        return "No authorization server was found in protected resource metadata";
    case Kind::metadataDiscoveryFailed:
        return "Failed to discover protected resource metadata";
    case Kind::authorizationServerMetadataDiscoveryFailed:
        return "Failed to discover authorization server metadata";
    case Kind::tokenEndpointMissing:
        return "Authorization server metadata is missing token_endpoint";
    case Kind::tokenResponseInvalid:
        return "Token response is invalid";
    case Kind::registrationInformationRequired:
        return "No supported client registration mechanism was available; provide pre-registered client credentials";
    case Kind::authorizationResponseMissingRedirectLocation:
        return "Authorization response is missing redirect location";
    case Kind::authorizationResponseMissingState:
        return "Authorization response is missing state";
    case Kind::authorizationResponseMissingCode:
        return "Authorization response is missing the authorization code";
    case Kind::pkceCodeChallengeMethodsMissing:
        return "Authorization server metadata must include code_challenge_methods_supported for PKCE";
    case Kind::pkceS256Unavailable:
        return "PKCE S256 code challenge generation is unavailable on this platform";
    }
    return {};
}

}  // namespace mcp
