#include "mcp/base/authorization/oauth_token_endpoint_client.hpp"

#include "mcp/base/authorization/detail/url_text.hpp"
#include "mcp/base/authorization/detail/whitespace.hpp"
#include "mcp/base/authorization/oauth_authorization_error.hpp"
#include "mcp/base/authorization/oauth_discovery_client.hpp"
#include "platform/http/headers.hpp"

namespace mcp {

namespace detail {

std::optional<std::string> oauthErrorCode(std::string_view body) {
    try {
        return decodeDocument<OAuthTokenErrorResponse>(body).error;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace detail

std::string OAuthTokenEndpointClient::encodeForm(const std::map<std::string, std::string>& fields) {
    std::string body;
    for (const auto& [name, value] : fields) {
        if (!body.empty()) body.push_back('&');
        body += detail::percentEncodeUnreserved(name);
        body.push_back('=');
        body += detail::percentEncodeUnreserved(value);
    }
    return body;
}

boost::asio::awaitable<OAuthTokenResponse> OAuthTokenEndpointClient::request(
    std::map<std::string, std::string>& parameters, boost::urls::url endpoint,
    OAuthConfiguration::TokenEndpointAuthentication authentication, platform::http::Client& session) const {
    platform::http::Request request;
    request.url = endpoint;
    request.timeout = std::chrono::seconds(60);
    request.method = "POST";
    request.followRedirects = false;
    request.headers.set("Content-Type", "application/x-www-form-urlencoded");
    request.headers.set("Accept", "application/json");
    co_await authentication.apply(request, parameters, endpoint);
    request.body = encodeForm(parameters);

    auto response = co_await session.fetch(std::move(request), detail::kOAuthBodyLimit);
    if (response.status < 200 || response.status > 299) {
        throw OAuthAuthorizationError::tokenRequestFailed(response.status, detail::oauthErrorCode(response.body));
    }
    auto token = detail::decodeDocument<OAuthTokenResponse>(response.body);
    if (token.accessToken.empty()) throw OAuthAuthorizationError::plain(OAuthAuthorizationError::Kind::tokenResponseInvalid);
    const auto type = detail::trimWhitespace(token.tokenType);
    if (type.empty() || !platform::http::equalsIgnoringCase(type, OAuthTokenType::bearer)) {
        throw OAuthAuthorizationError::plain(OAuthAuthorizationError::Kind::tokenResponseInvalid);
    }
    co_return token;
}

}  // namespace mcp
