#include "mcp/base/authorization/oauth_url_validator.hpp"

#include "mcp/base/authorization/detail/url_text.hpp"
#include "mcp/base/authorization/oauth_authorization_error.hpp"

#include <arpa/inet.h>

#include <array>

namespace mcp {

namespace {

struct Parts {
    std::optional<std::string> scheme;
    std::optional<std::string> host;
};

/// Scheme and host lower-cased, after the checks every rule starts with.
Parts checkedParts(boost::urls::url_view url, std::string_view context) {
    Parts parts{detail::lowercasedScheme(url), detail::lowercasedHost(url)};
    if (!parts.scheme || !parts.host || parts.host->empty() || url.has_fragment()) {
        throw OAuthAuthorizationError::invalidResourceURI("Invalid " + std::string(context) + ": " + std::string(url.buffer()));
    }
    return parts;
}

bool privateIPv4(const unsigned char* octets) {
    const int a = octets[0];
    const int b = octets[1];
    return a == 10 || (a == 100 && b >= 64 && b <= 127) || (a == 169 && b == 254) || (a == 172 && b >= 16 && b <= 31) ||
           (a == 192 && b == 168);
}

}  // namespace

void OAuthURLValidator::validateAuthorizationServer(boost::urls::url_view url, std::string_view context) const {
    const auto parts = checkedParts(url, context);
    if (allowLoopbackHTTPForAuthorizationServer && parts.scheme == "http" && detail::isLoopbackHost(*parts.host)) return;
    if (parts.scheme == "https") return;
    throw OAuthAuthorizationError::insecureAuthorizationServerEndpoint(std::string(context), std::string(url.buffer()));
}

void OAuthURLValidator::validateHTTPSOrLoopback(boost::urls::url_view url, std::string_view context) const {
    const auto parts = checkedParts(url, context);
    if (parts.scheme == "https") return;
    if (parts.scheme == "http" && detail::isLoopbackHost(*parts.host)) return;
    throw OAuthAuthorizationError::insecureOAuthEndpoint(std::string(context), std::string(url.buffer()));
}

void OAuthURLValidator::validateRedirectURI(boost::urls::url_view url) const {
    const auto scheme = detail::lowercasedScheme(url);
    const auto refuse = [&] { return OAuthAuthorizationError::invalidRedirectURI(std::string(url.buffer())); };
    if (!scheme || url.has_fragment()) throw refuse();
    if (scheme == "https") return;
    const auto host = detail::lowercasedHost(url);
    if (scheme == "http" && host && detail::isLoopbackHost(*host)) return;
    throw refuse();
}

bool OAuthURLValidator::isPrivateIPHost(std::string_view host) const {
    std::string text(host);
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') text = text.substr(1, text.size() - 2);
    std::array<unsigned char, 16> address{};
    if (inet_pton(AF_INET, text.c_str(), address.data()) == 1) return privateIPv4(address.data());
    if (inet_pton(AF_INET6, text.c_str(), address.data()) == 1) {
        static constexpr std::array<unsigned char, 12> mappedPrefix{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
        if (std::equal(mappedPrefix.begin(), mappedPrefix.end(), address.begin())) return privateIPv4(address.data() + 12);
        return (address[0] & 0xFE) == 0xFC || (address[0] == 0xFE && (address[1] & 0xC0) == 0x80);
    }
    return false;
}

}  // namespace mcp
