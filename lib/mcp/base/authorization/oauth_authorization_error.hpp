#pragma once

#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace mcp {

/// The one error of the OAuth client: every failure the authorizer and its collaborators detect
/// themselves. Failures of the platform (network, JSON, cryptography) pass through unchanged.
/// `what()` is the fixed description of the case, built from its payload.
class OAuthAuthorizationError : public std::exception {
public:
    enum class Kind {
        tokenRequestFailed,
        invalidResourceURI,
        invalidClientIDMetadataURL,
        protectedResourceMismatch,
        cimdNotSupported,
        privateIPAddressBlocked,
        insecureOAuthEndpoint,
        insecureAuthorizationServerEndpoint,
        invalidRedirectURI,
        authorizationRequestFailed,
        authorizationResponseRedirectMismatch,
        authorizationResponseStateMismatch,
        pkceS256NotSupported,
        authorizationServerIssuerMismatch,
        missingAuthorizationServer,
        metadataDiscoveryFailed,
        authorizationServerMetadataDiscoveryFailed,
        tokenEndpointMissing,
        tokenResponseInvalid,
        registrationInformationRequired,
        authorizationResponseMissingRedirectLocation,
        authorizationResponseMissingState,
        authorizationResponseMissingCode,
        pkceCodeChallengeMethodsMissing,
        pkceS256Unavailable,
    };

    static OAuthAuthorizationError tokenRequestFailed(int statusCode, std::optional<std::string> oauthError);
    static OAuthAuthorizationError invalidResourceURI(std::string text);
    static OAuthAuthorizationError invalidClientIDMetadataURL(std::string text);
    static OAuthAuthorizationError protectedResourceMismatch(std::string expected, std::string actual);
    static OAuthAuthorizationError cimdNotSupported(std::string clientID);
    static OAuthAuthorizationError privateIPAddressBlocked(std::string context, std::string url);
    static OAuthAuthorizationError insecureOAuthEndpoint(std::string context, std::string url);
    static OAuthAuthorizationError insecureAuthorizationServerEndpoint(std::string context, std::string url);
    static OAuthAuthorizationError invalidRedirectURI(std::string text);
    static OAuthAuthorizationError authorizationRequestFailed(int statusCode);
    static OAuthAuthorizationError authorizationResponseRedirectMismatch(std::string expected, std::string actual);
    static OAuthAuthorizationError authorizationResponseStateMismatch(std::string expected, std::string actual);
    static OAuthAuthorizationError pkceS256NotSupported(std::vector<std::string> advertisedMethods);
    static OAuthAuthorizationError authorizationServerIssuerMismatch(std::string expected, std::string actual);
    /// One of the cases without payload.
    static OAuthAuthorizationError plain(Kind kind);

    Kind kind() const noexcept { return kind_; }

    /// Payload; each case fills the members it carries.
    int statusCode = 0;
    std::optional<std::string> oauthError;
    /// The unlabelled text of invalidResourceURI, invalidClientIDMetadataURL and invalidRedirectURI.
    std::string text;
    std::string expected;
    std::string actual;
    std::string clientID;
    std::string context;
    std::string url;
    std::vector<std::string> advertisedMethods;

    /// The description of the case with its payload.
    std::string errorDescription() const;
    const char* what() const noexcept override { return description_.c_str(); }

private:
    explicit OAuthAuthorizationError(Kind kind) : kind_(kind) {}
    OAuthAuthorizationError& describe();

    Kind kind_;
    std::string description_;
};

}  // namespace mcp
