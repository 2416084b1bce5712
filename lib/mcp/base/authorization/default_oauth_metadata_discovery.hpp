#pragma once

#include "mcp/base/authorization/oauth_metadata_discovering.hpp"

namespace mcp {

/// The standard URL rules of OAuth metadata discovery. A URL is secure when it is https, or http
/// on "localhost", "127.0.0.1" or "::1". Stateless; safe to share between threads.
class DefaultOAuthMetadataDiscovery : public OAuthMetadataDiscovering {
public:
    /// The well-known document under the resource's path, then at the root, both on the
    /// resource's origin without query or fragment. Empty for an insecure URL.
    std::vector<boost::urls::url> protectedResourceMetadataURLs(boost::urls::url_view resource) const override;
    /// For a server path P (slashes at both ends removed): oauth-authorization-server/P,
    /// openid-configuration/P and P/.well-known/openid-configuration; for an empty P the two root
    /// forms. Empty for an insecure URL.
    std::vector<boost::urls::url> authorizationServerMetadataURLs(boost::urls::url_view server) const override;
    /// Scheme and host lower-cased, query dropped, a lone "/" path made empty. Refuses an insecure
    /// URL and any fragment.
    boost::urls::url canonicalResourceURI(boost::urls::url_view url) const override;
    /// Scheme, host and port of a secure URL.
    boost::urls::url authorizationServerFallbackIssuer(boost::urls::url_view url) const override;
    /// Same scheme and host (ignoring letter case; both absent counts as the same), same effective
    /// port (the explicit one, else 80 for http and 443 for https), and a resource path that is
    /// empty, equal to the endpoint's, or a whole-segment prefix of it: /mcp covers /mcp and
    /// /mcp/tools but not /mcpx. A trailing "/" is ignored on both. Query, fragment and user
    /// information take no part.
    bool protectedResourceMatches(boost::urls::url_view resource, boost::urls::url_view endpoint) const override;
};

}  // namespace mcp
