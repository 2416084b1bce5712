#include "mcp/base/authorization/oauth_protected_resource_server_metadata.hpp"

#include <algorithm>

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>

#include "mcp/base/authorization/detail/url_text.hpp"
#include "platform/json/codec.hpp"
#include "platform/json/decoding_error.hpp"

namespace mcp {

namespace {

constexpr std::string_view kResource = "resource";
constexpr std::string_view kAuthorizationServers = "authorization_servers";
constexpr std::string_view kScopesSupported = "scopes_supported";

}  // namespace

boost::json::value OAuthProtectedResourceServerMetadata::toJSON() const {
    boost::json::object object;
    object.emplace(kResource, resource);
    boost::json::array servers;
    servers.reserve(authorizationServers.size());
    for (const auto& server : authorizationServers) servers.emplace_back(server.buffer());
    object.emplace(kAuthorizationServers, std::move(servers));
    if (scopesSupported) object.emplace(kScopesSupported, platform::json::encode(*scopesSupported));
    return object;
}

OAuthProtectedResourceServerMetadata OAuthProtectedResourceServerMetadata::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    OAuthProtectedResourceServerMetadata metadata;
    metadata.resource = platform::json::required<std::string>(object, kResource);
    const auto servers = platform::json::required<std::vector<std::string>>(object, kAuthorizationServers);
    metadata.authorizationServers.reserve(servers.size());
    for (std::size_t i = 0; i < servers.size(); ++i) {
        auto url = detail::urlFromText(servers[i]);
        if (!url) {
            throw platform::json::DecodingError(platform::json::DecodingError::Kind::dataCorrupted,
                                                "Invalid URL string.",
                                                {std::string(kAuthorizationServers), std::to_string(i)});
        }
        metadata.authorizationServers.push_back(std::move(*url));
    }
    metadata.scopesSupported = platform::json::optional<std::vector<std::string>>(object, kScopesSupported);
    return metadata;
}

bool operator==(const OAuthProtectedResourceServerMetadata& a, const OAuthProtectedResourceServerMetadata& b) {
    return a.resource == b.resource && a.scopesSupported == b.scopesSupported &&
           std::ranges::equal(a.authorizationServers, b.authorizationServers,
                              [](const boost::urls::url& x, const boost::urls::url& y) { return x.buffer() == y.buffer(); });
}

}  // namespace mcp
