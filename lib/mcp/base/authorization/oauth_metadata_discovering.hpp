#pragma once

#include <boost/url/url_view.hpp>

namespace mcp {

/// The URL rules of OAuth metadata discovery that a protected resource needs to check the
/// audience of a token.
class OAuthMetadataDiscovering {
public:
    virtual ~OAuthMetadataDiscovering() = default;

    /// Whether `resource` designates the resource identified by `endpoint`.
    virtual bool protectedResourceMatches(boost::urls::url_view resource, boost::urls::url_view endpoint) const = 0;
};

}  // namespace mcp
