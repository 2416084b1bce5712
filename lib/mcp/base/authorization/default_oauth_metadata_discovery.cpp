#include "mcp/base/authorization/default_oauth_metadata_discovery.hpp"

#include "mcp/base/authorization/detail/url_text.hpp"
#include "mcp/base/authorization/oauth_authorization_error.hpp"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mcp {

namespace {

std::string lowercased(std::string_view text) { return detail::asciiLowercased(text); }

bool isSecureOAuthScheme(const std::string& scheme, const std::string& host) {
    return scheme == "https" || (scheme == "http" && detail::isLoopbackHost(host));
}

/// A URL with scheme and host that passes isSecureOAuthScheme.
bool isSecure(boost::urls::url_view url) {
    const auto scheme = detail::lowercasedScheme(url);
    const auto host = detail::lowercasedHost(url);
    return scheme && host && isSecureOAuthScheme(*scheme, *host);
}

/// `url` without query and fragment, with `path` in place of its own.
boost::urls::url withPath(boost::urls::url_view url, const std::string& path) {
    boost::urls::url out(url);
    out.remove_query();
    out.remove_fragment();
    out.set_path(path);
    return out;
}

std::optional<std::int64_t> defaultPort(const std::optional<std::string>& scheme) {
    if (scheme == "http") return 80;
    if (scheme == "https") return 443;
    return std::nullopt;
}

/// What the rule compares of a URL's authority: scheme and host lower-cased, and the explicit port
/// or else the scheme's default; each absent when the URL has none.
struct Origin {
    std::optional<std::string> scheme;
    std::optional<std::string> host;
    std::optional<std::int64_t> port;

    bool operator==(const Origin&) const = default;
};

/// Nothing when the URL cannot be taken apart: a port that is no number.
std::optional<Origin> originOf(boost::urls::url_view url) {
    Origin origin;
    if (url.has_scheme()) origin.scheme = lowercased(url.scheme());
    if (url.has_authority()) origin.host = lowercased(url.host());
    if (url.has_port() && !url.port().empty()) {
        std::string_view text = url.port();
        std::int64_t port = 0;
        auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), port);
        if (failure != std::errc() || end != text.data() + text.size()) return std::nullopt;
        origin.port = port;
    } else {
        origin.port = defaultPort(origin.scheme);
    }
    return origin;
}

/// The path without its trailing "/"; "/" and the empty path become empty.
std::string normalizedPath(boost::urls::url_view url) {
    std::string path = url.path();
    if (path == "/") return {};
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::vector<boost::urls::url> DefaultOAuthMetadataDiscovery::protectedResourceMetadataURLs(
    boost::urls::url_view resource) const {
    if (!isSecure(resource)) return {};
    std::string path = resource.path();
    if (path == "/") path.clear();
    return {withPath(resource, "/.well-known/oauth-protected-resource" + path),
            withPath(resource, "/.well-known/oauth-protected-resource")};
}

std::vector<boost::urls::url> DefaultOAuthMetadataDiscovery::authorizationServerMetadataURLs(
    boost::urls::url_view server) const {
    if (!isSecure(server)) return {};
    const std::string decoded = server.path();
    std::string_view path = decoded;
    while (!path.empty() && path.front() == '/') path.remove_prefix(1);
    while (!path.empty() && path.back() == '/') path.remove_suffix(1);
    const std::string tail(path);
    if (tail.empty()) {
        return {withPath(server, "/.well-known/oauth-authorization-server"),
                withPath(server, "/.well-known/openid-configuration")};
    }
    return {withPath(server, "/.well-known/oauth-authorization-server/" + tail),
            withPath(server, "/.well-known/openid-configuration/" + tail),
            withPath(server, "/" + tail + "/.well-known/openid-configuration")};
}

boost::urls::url DefaultOAuthMetadataDiscovery::canonicalResourceURI(boost::urls::url_view url) const {
    if (!isSecure(url)) throw OAuthAuthorizationError::invalidResourceURI("Resource URI must use https or loopback http");
    if (url.has_fragment()) throw OAuthAuthorizationError::invalidResourceURI("Resource URI must not contain a fragment");
    boost::urls::url out(url);
    detail::lowercaseSchemeAndHost(out);
    out.remove_query();
    if (out.path() == "/") out.set_path("");
    return out;
}

boost::urls::url DefaultOAuthMetadataDiscovery::authorizationServerFallbackIssuer(boost::urls::url_view url) const {
    if (!isSecure(url)) throw OAuthAuthorizationError::invalidResourceURI("Resource URI must use https or loopback http");
    boost::urls::url out(url);
    detail::lowercaseSchemeAndHost(out);
    out.remove_query();
    out.remove_fragment();
    out.set_path("");
    return out;
}

bool DefaultOAuthMetadataDiscovery::protectedResourceMatches(boost::urls::url_view resource,
                                                             boost::urls::url_view endpoint) const {
    const auto resourceOrigin = originOf(resource);
    const auto endpointOrigin = originOf(endpoint);
    if (!resourceOrigin || !endpointOrigin || *resourceOrigin != *endpointOrigin) return false;

    const auto resourcePath = normalizedPath(resource);
    const auto endpointPath = normalizedPath(endpoint);
    if (resourcePath.empty() || resourcePath == endpointPath) return true;
    return endpointPath.size() > resourcePath.size() && endpointPath.starts_with(resourcePath) &&
           endpointPath[resourcePath.size()] == '/';
}

}  // namespace mcp
