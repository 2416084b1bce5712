#pragma once

#include "support/loopback_http_server.hpp"
#include "support/test_ec_key.hpp"

#include <boost/asio/any_io_executor.hpp>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace testing_support {

/// A protected MCP endpoint and the authorization server guarding it, both on one loopback
/// server: protected-resource and authorization-server metadata, dynamic registration, an
/// authorization endpoint that approves at once (PKCE S256, state echoed), and a token endpoint
/// for the client-credentials, authorization-code and refresh grants that checks the client's
/// authentication. "/mcp" answers 401 (or 403 for missing scopes) until a valid token arrives,
/// then echoes a JSON-RPC reply. Tests change the settings between requests.
class FakeAuthorizationServer {
public:
    explicit FakeAuthorizationServer(boost::asio::any_io_executor executor);

    /// "http://127.0.0.1:<port>" followed by `path`.
    std::string url(const std::string& path = "") const;
    const std::vector<RecordedRequest>& requests() const { return server_->requests(); }
    /// The targets of the requests received, in order ("POST /token").
    std::vector<std::string> requestLines() const;
    /// The form fields of a recorded request's body.
    static std::map<std::string, std::string> formFields(const std::string& body);

    // Settings.
    /// How clients must authenticate at the token endpoint: "client_secret_basic",
    /// "client_secret_post", "none" or "private_key_jwt".
    std::string tokenAuthMethod = "client_secret_basic";
    std::string clientID = "client";
    std::string clientSecret = "secret";
    /// Verifies private_key_jwt assertions.
    std::optional<TestECKey> clientKey;
    /// The "issuer" the metadata names; the server's own URL when unset.
    std::optional<std::string> issuerOverride;
    bool registrationEnabled = false;
    /// When set, registration issues a secret and names this method for it ("client_secret_post").
    std::optional<std::string> registeredSecretMethod;
    bool clientIDMetadataDocumentSupported = false;
    /// "expires_in" of issued tokens; none when unset.
    std::optional<long long> expiresIn = 3600;
    /// Whether a refresh issues a new refresh token.
    bool rotateRefreshTokens = true;
    /// Whether the client-credentials grant issues a refresh token.
    bool refreshTokenWithClientCredentials = true;
    /// Scopes "/mcp" requires; a token without them gets 403 insufficient_scope.
    std::set<std::string> requiredScopes;
    std::vector<std::string> scopesSupported{"mcp:read", "mcp:write"};
    /// Tokens "/mcp" no longer accepts (revoked), and refresh tokens "/token" refuses.
    std::set<std::string> revokedTokens;

    /// Tokens issued so far, with their scopes.
    std::map<std::string, std::set<std::string>> issuedTokens;
    std::map<std::string, std::set<std::string>> refreshTokens;

private:
    boost::asio::awaitable<void> handle(std::shared_ptr<LoopbackHttpServer::Exchange> exchange);
    struct Reply {
        Reply(int status, platform::http::Headers headers, std::string body)
            : status(status), headers(std::move(headers)), body(std::move(body)) {}
        int status;
        platform::http::Headers headers;
        std::string body;
    };
    Reply route(const RecordedRequest& request);
    Reply token(const RecordedRequest& request);
    std::optional<std::string> authenticatedClient(const RecordedRequest& request,
                                                   const std::map<std::string, std::string>& form) const;
    std::string issue(const std::set<std::string>& scopes, bool withRefreshToken, std::string& refreshToken);

    struct PendingCode {
        std::string challenge;
        std::string redirectURI;
        std::set<std::string> scopes;
    };

    std::unique_ptr<LoopbackHttpServer> server_;
    std::map<std::string, PendingCode> codes_;
    std::set<std::string> registeredClients_;
    int counter_ = 0;
};

}  // namespace testing_support
