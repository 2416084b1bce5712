#pragma once

#include <optional>
#include <string>
#include <vector>

#include <boost/json/value.hpp>
#include <boost/url/url.hpp>

namespace mcp {

/// The protected-resource metadata document a server publishes: which resource it is, which
/// authorization servers issue its tokens, and which scopes it knows.
struct OAuthProtectedResourceServerMetadata {
    std::string resource;
    std::vector<boost::urls::url> authorizationServers;
    std::optional<std::vector<std::string>> scopesSupported;

    /// {"resource", "authorization_servers" (each URL's text; an empty list as []),
    /// "scopes_supported" (only when present)}.
    boost::json::value toJSON() const;

    /// Reads the object above; "resource" and "authorization_servers" are required, other keys are
    /// ignored. Throws DecodingError, "Invalid URL string." for a server that is no URL.
    static OAuthProtectedResourceServerMetadata fromJSON(const boost::json::value& json);

    /// URLs compare by their text.
    friend bool operator==(const OAuthProtectedResourceServerMetadata& a, const OAuthProtectedResourceServerMetadata& b);
};

}  // namespace mcp
