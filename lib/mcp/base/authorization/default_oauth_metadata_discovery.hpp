#pragma once

#include "mcp/base/authorization/oauth_metadata_discovering.hpp"

namespace mcp {

/// The standard URL rules of OAuth metadata discovery. Stateless; safe to share between threads.
class DefaultOAuthMetadataDiscovery final : public OAuthMetadataDiscovering {
public:
    /// Same scheme and host (ignoring letter case; both absent counts as the same), same effective
    /// port (the explicit one, else 80 for http and 443 for https), and a resource path that is
    /// empty, equal to the endpoint's, or a whole-segment prefix of it: /mcp covers /mcp and
    /// /mcp/tools but not /mcpx. A trailing "/" is ignored on both. Query, fragment and user
    /// information take no part.
    bool protectedResourceMatches(boost::urls::url_view resource, boost::urls::url_view endpoint) const override;
};

}  // namespace mcp
