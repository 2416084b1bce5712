#pragma once

#include "mcp/base/authorization/oauth_authorization_delegate.hpp"
#include "mcp/base/authorization/oauth_documents.hpp"
#include "mcp/base/authorization/oauth_scope_selector.hpp"
#include "platform/http/client.hpp"

#include <boost/asio/awaitable.hpp>
#include <boost/url/url.hpp>

#include <memory>
#include <optional>
#include <set>
#include <string>

namespace mcp {

/// The one PKCE challenge method.
struct OAuthCodeChallengeMethod {
    static constexpr const char* s256 = "S256";
};

/// PKCE: the code verifier, its S256 challenge, and the server's support for it.
struct PKCE {
    /// Throws pkceCodeChallengeMethodsMissing when the server names no method,
    /// pkceS256NotSupported when none of them is S256 (ignoring letter case).
    static void checkSupport(const OAuthAuthorizationServerMetadata& metadata);
    /// `length` characters drawn uniformly from A-Z, a-z, 0-9 and "-._~" with the system's secure
    /// random source; empty for a length of 0 or less.
    static std::string makeVerifier(int length);
    /// base64url of the verifier's SHA-256, without padding: 43 characters.
    static std::string makeChallenge(const std::string& verifier);
};

/// Builds the authorization URL, runs it and takes the code out of the redirect.
class OAuthAuthorizationCodeFlowing {
public:
    virtual ~OAuthAuthorizationCodeFlowing() = default;
    virtual boost::urls::url buildURL(boost::urls::url_view authorizationEndpoint, boost::urls::url_view resource,
                                      boost::urls::url_view redirectURI, const std::string& clientID,
                                      const std::string& codeChallenge, const std::optional<std::set<std::string>>& scopes,
                                      const std::string& state, const OAuthScopeSelecting& scopeSerializer) const = 0;
    virtual boost::asio::awaitable<std::string> perform(boost::urls::url authorizationURL, boost::urls::url redirectURI,
                                                        std::string state,
                                                        std::shared_ptr<OAuthAuthorizationDelegate> delegate,
                                                        platform::http::Client& session) const = 0;
};

class OAuthAuthorizationCodeFlow final : public OAuthAuthorizationCodeFlowing {
public:
    /// The endpoint with its own query replaced by response_type, client_id, redirect_uri, state,
    /// resource, code_challenge, code_challenge_method and, when there are scopes, scope, in this
    /// order, strictly percent-encoded (a space as %20).
    boost::urls::url buildURL(boost::urls::url_view authorizationEndpoint, boost::urls::url_view resource,
                              boost::urls::url_view redirectURI, const std::string& clientID,
                              const std::string& codeChallenge, const std::optional<std::set<std::string>>& scopes,
                              const std::string& state, const OAuthScopeSelecting& scopeSerializer) const override;

    /// Through the delegate when there is one; otherwise a GET of the URL that follows no redirect
    /// and reads the code from the "Location" of the 3xx reply. Throws authorizationRequestFailed
    /// for a status of 400 or more, authorizationResponseMissingRedirectLocation for a reply that
    /// is no usable redirect, and what extractCode throws.
    boost::asio::awaitable<std::string> perform(boost::urls::url authorizationURL, boost::urls::url redirectURI,
                                                std::string state, std::shared_ptr<OAuthAuthorizationDelegate> delegate,
                                                platform::http::Client& session) const override;

    /// The code of a redirect to `expectedRedirectURI` (same scheme, host, effective port and path)
    /// whose first "state" is `expectedState`.
    static std::string extractCode(boost::urls::url_view url, boost::urls::url_view expectedRedirectURI,
                                   const std::string& expectedState);
};

}  // namespace mcp
