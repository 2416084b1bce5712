#include "mcp/base/authorization/default_oauth_metadata_discovery.hpp"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mcp {

namespace {

std::string lowercased(std::string_view text) {
    std::string out(text);
    for (auto& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
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
