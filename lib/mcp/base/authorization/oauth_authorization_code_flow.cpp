#include "mcp/base/authorization/oauth_authorization_code_flow.hpp"

#include "mcp/base/authorization/detail/url_text.hpp"
#include "mcp/base/authorization/oauth_authorization_error.hpp"
#include "platform/base64.hpp"
#include "platform/http/headers.hpp"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <stdexcept>
#include <utility>
#include <vector>

namespace mcp {

namespace {

using Kind = OAuthAuthorizationError::Kind;

constexpr std::string_view kVerifierAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";

std::string normalizedRedirectBase(boost::urls::url_view url) {
    std::string out = detail::lowercasedScheme(url).value_or("");
    out += "://";
    out += detail::lowercasedHost(url).value_or("");
    out += ":";
    if (url.has_port() && !url.port().empty()) {
        out += std::to_string(url.port_number());
    } else if (out.starts_with("https://")) {
        out += "443";
    } else if (out.starts_with("http://")) {
        out += "80";
    } else {
        out += "-1";
    }
    const std::string path = url.path();
    out += path.empty() ? "/" : path;
    return out;
}

/// The value of the first query item named exactly `name`; none when there is none or it has no value.
std::optional<std::string> firstQueryValue(boost::urls::url_view url, std::string_view name) {
    if (!url.has_query()) return std::nullopt;
    for (const auto& param : url.params(boost::urls::encoding_opts(false))) {
        if (param.key == name) {
            if (!param.has_value) return std::nullopt;
            return std::string(param.value);
        }
    }
    return std::nullopt;
}

}  // namespace

void PKCE::checkSupport(const OAuthAuthorizationServerMetadata& metadata) {
    const auto& methods = metadata.codeChallengeMethodsSupported;
    if (!methods || methods->empty()) throw OAuthAuthorizationError::plain(Kind::pkceCodeChallengeMethodsMissing);
    for (const auto& method : *methods) {
        if (platform::http::equalsIgnoringCase(method, OAuthCodeChallengeMethod::s256)) return;
    }
    throw OAuthAuthorizationError::pkceS256NotSupported(*methods);
}

std::string PKCE::makeVerifier(int length) {
    std::string verifier;
    if (length <= 0) return verifier;
    verifier.reserve(static_cast<std::size_t>(length));
    unsigned char pool[64];
    while (verifier.size() < static_cast<std::size_t>(length)) {
        if (RAND_bytes(pool, sizeof pool) != 1) throw std::runtime_error("The system's random source failed");
        for (unsigned char byte : pool) {
            // 198 is the largest multiple of 66 up to 256: above it the draw would favour the
            // first characters.
            if (byte >= 198) continue;
            verifier.push_back(kVerifierAlphabet[byte % kVerifierAlphabet.size()]);
            if (verifier.size() == static_cast<std::size_t>(length)) break;
        }
    }
    return verifier;
}

std::string PKCE::makeChallenge(const std::string& verifier) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    if (EVP_Digest(verifier.data(), verifier.size(), digest, &digestLength, EVP_sha256(), nullptr) != 1) {
        throw std::runtime_error("SHA-256 failed");
    }
    return platform::base64UrlEncode(std::string_view(reinterpret_cast<const char*>(digest), digestLength));
}

boost::urls::url OAuthAuthorizationCodeFlow::buildURL(boost::urls::url_view authorizationEndpoint,
                                                      boost::urls::url_view resource, boost::urls::url_view redirectURI,
                                                      const std::string& clientID, const std::string& codeChallenge,
                                                      const std::optional<std::set<std::string>>& scopes,
                                                      const std::string& state,
                                                      const OAuthScopeSelecting& scopeSerializer) const {
    std::vector<std::pair<std::string, std::string>> items{
        {"response_type", "code"},
        {"client_id", clientID},
        {"redirect_uri", std::string(redirectURI.buffer())},
        {"state", state},
        {"resource", std::string(resource.buffer())},
        {"code_challenge", codeChallenge},
        {"code_challenge_method", OAuthCodeChallengeMethod::s256},
    };
    if (scopes) {
        if (auto scope = scopeSerializer.serialize(*scopes)) items.emplace_back("scope", std::move(*scope));
    }
    std::string query;
    for (const auto& [name, value] : items) {
        if (!query.empty()) query.push_back('&');
        query += detail::percentEncodeUnreserved(name) + "=" + detail::percentEncodeUnreserved(value);
    }
    boost::urls::url url(authorizationEndpoint);
    url.set_encoded_query(query);
    return url;
}

boost::asio::awaitable<std::string> OAuthAuthorizationCodeFlow::perform(boost::urls::url authorizationURL,
                                                                         boost::urls::url redirectURI, std::string state,
                                                                         std::shared_ptr<OAuthAuthorizationDelegate> delegate,
                                                                         platform::http::Client& session) const {
    if (delegate) {
        auto redirected = co_await delegate->authorize(authorizationURL);
        co_return extractCode(redirected, redirectURI, state);
    }
    platform::http::Request request;
    request.url = authorizationURL;
    request.timeout = std::chrono::seconds(60);
    request.method = "GET";
    request.headers.set("Accept", "text/html, application/json");
    // The redirect carries the code: it is read here, never followed.
    request.followRedirects = false;
    auto response = co_await session.send(std::move(request));
    response.cancel();

    if (response.status >= 300 && response.status <= 399) {
        const auto location = response.headers.get("Location");
        std::optional<boost::urls::url> target;
        if (location && !location->empty()) target = detail::urlFromText(*location);
        if (!target) throw OAuthAuthorizationError::plain(Kind::authorizationResponseMissingRedirectLocation);
        co_return extractCode(*target, redirectURI, state);
    }
    if (response.status >= 400) throw OAuthAuthorizationError::authorizationRequestFailed(response.status);
    throw OAuthAuthorizationError::plain(Kind::authorizationResponseMissingRedirectLocation);
}

std::string OAuthAuthorizationCodeFlow::extractCode(boost::urls::url_view url, boost::urls::url_view expectedRedirectURI,
                                                    const std::string& expectedState) {
    if (normalizedRedirectBase(url) != normalizedRedirectBase(expectedRedirectURI)) {
        throw OAuthAuthorizationError::authorizationResponseRedirectMismatch(std::string(expectedRedirectURI.buffer()),
                                                                             std::string(url.buffer()));
    }
    const auto state = firstQueryValue(url, "state");
    if (!state || state->empty()) throw OAuthAuthorizationError::plain(Kind::authorizationResponseMissingState);
    if (*state != expectedState) throw OAuthAuthorizationError::authorizationResponseStateMismatch(expectedState, *state);
    const auto code = firstQueryValue(url, "code");
    if (!code || code->empty()) throw OAuthAuthorizationError::plain(Kind::authorizationResponseMissingCode);
    return *code;
}

}  // namespace mcp
