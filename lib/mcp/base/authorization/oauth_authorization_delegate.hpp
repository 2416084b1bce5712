#pragma once

#include <boost/asio/awaitable.hpp>
#include <boost/url/url.hpp>

namespace mcp {

/// The user-facing part of the authorization-code grant, supplied by the program: show
/// `authorizationURL` to the user (a browser, say) and catch where the authorization server sends
/// the user agent back. The library ships none; without one the flow fetches the URL itself and
/// expects an immediate redirect.
class OAuthAuthorizationDelegate {
public:
    virtual ~OAuthAuthorizationDelegate() = default;

    /// The URL the authorization server redirected to, query included. Throws when the user or the
    /// program gives up.
    virtual boost::asio::awaitable<boost::urls::url> authorize(boost::urls::url authorizationURL) = 0;
};

}  // namespace mcp
