#pragma once

#include "mcp/base/authorization/oauth_configuration.hpp"
#include "mcp/base/authorization/oauth_documents.hpp"
#include "mcp/base/authorization/oauth_url_validator.hpp"
#include "platform/http/client.hpp"

#include <boost/asio/awaitable.hpp>

#include <map>
#include <string>

namespace mcp {

/// The one token type the client accepts.
struct OAuthTokenType {
    static constexpr const char* bearer = "Bearer";
};

/// Sends one token request and returns the token endpoint's reply.
class OAuthTokenRequesting {
public:
    virtual ~OAuthTokenRequesting() = default;
    /// `parameters` are the grant's form fields; the client authentication adds its own to them.
    virtual boost::asio::awaitable<OAuthTokenResponse> request(std::map<std::string, std::string>& parameters,
                                                               boost::urls::url endpoint,
                                                               OAuthConfiguration::TokenEndpointAuthentication authentication,
                                                               platform::http::Client& session) const = 0;
};

class OAuthTokenEndpointClient final : public OAuthTokenRequesting {
public:
    explicit OAuthTokenEndpointClient(OAuthURLValidator urlValidator = OAuthURLValidator()) : urlValidator_(urlValidator) {}

    /// A form POST (fields sorted by name, strictly percent-encoded), never redirected, so client
    /// secrets stay with the endpoint they were meant for. A status outside 2xx throws
    /// tokenRequestFailed with the body's "error"; an empty access token or a token type other
    /// than Bearer throws tokenResponseInvalid; a body that is no token response throws
    /// DecodingError.
    boost::asio::awaitable<OAuthTokenResponse> request(std::map<std::string, std::string>& parameters,
                                                       boost::urls::url endpoint,
                                                       OAuthConfiguration::TokenEndpointAuthentication authentication,
                                                       platform::http::Client& session) const override;

    /// name=value pairs sorted by name, joined with "&"; everything but A-Z, a-z, 0-9 and "-._~"
    /// percent-encoded (a space as %20).
    static std::string encodeForm(const std::map<std::string, std::string>& fields);

private:
    OAuthURLValidator urlValidator_;
};

namespace detail {

/// The "error" of an OAuth error body, or none when the body is no such document.
std::optional<std::string> oauthErrorCode(std::string_view body);

}  // namespace detail

}  // namespace mcp
