#pragma once

#include <boost/url/url.hpp>
#include <boost/url/url_view.hpp>

#include <vector>

namespace mcp {

/// The URL rules of OAuth metadata discovery: where the metadata documents live, the canonical
/// resource URI of an endpoint, and whether a resource covers an endpoint.
class OAuthMetadataDiscovering {
public:
    virtual ~OAuthMetadataDiscovering() = default;

    /// Where to look for the protected-resource metadata of `resource`, in order; may be empty.
    virtual std::vector<boost::urls::url> protectedResourceMetadataURLs(boost::urls::url_view resource) const = 0;
    /// Where to look for the metadata of the authorization server `server`, in order; may be empty.
    virtual std::vector<boost::urls::url> authorizationServerMetadataURLs(boost::urls::url_view server) const = 0;
    /// The resource URI that identifies `url` in token requests. Throws OAuthAuthorizationError.
    virtual boost::urls::url canonicalResourceURI(boost::urls::url_view url) const = 0;
    /// The origin of `url`, taken as the issuer when no metadata names one. Throws
    /// OAuthAuthorizationError.
    virtual boost::urls::url authorizationServerFallbackIssuer(boost::urls::url_view url) const = 0;
    /// Whether `resource` designates the resource identified by `endpoint`.
    virtual bool protectedResourceMatches(boost::urls::url_view resource, boost::urls::url_view endpoint) const = 0;
};

}  // namespace mcp
