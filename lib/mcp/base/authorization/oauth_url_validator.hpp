#pragma once

#include <boost/url/url_view.hpp>

#include <string>
#include <string_view>

namespace mcp {

/// The transport rules for every URL the OAuth client uses: https everywhere, plain http only to
/// the local machine, never a fragment. Failures are OAuthAuthorizationError.
class OAuthURLValidating {
public:
    virtual ~OAuthURLValidating() = default;
    /// https, or loopback http when allowed for authorization servers.
    virtual void validateAuthorizationServer(boost::urls::url_view url, std::string_view context) const = 0;
    /// https, or http to a loopback host.
    virtual void validateHTTPSOrLoopback(boost::urls::url_view url, std::string_view context) const = 0;
    /// https (any host) or http to a loopback host, without a fragment.
    virtual void validateRedirectURI(boost::urls::url_view url) const = 0;
    /// Whether `host` (lower-cased) is an IP address in a private or link-local range.
    virtual bool isPrivateIPHost(std::string_view host) const = 0;
};

/// The library's URL rules. Loopback hosts are exactly "localhost", "127.0.0.1" and "::1".
class OAuthURLValidator final : public OAuthURLValidating {
public:
    explicit OAuthURLValidator(bool allowLoopbackHTTPForAuthorizationServer = false)
        : allowLoopbackHTTPForAuthorizationServer(allowLoopbackHTTPForAuthorizationServer) {}

    void validateAuthorizationServer(boost::urls::url_view url, std::string_view context) const override;
    void validateHTTPSOrLoopback(boost::urls::url_view url, std::string_view context) const override;
    void validateRedirectURI(boost::urls::url_view url) const override;
    /// Only IP literals can be private: 10/8, 100.64/10, 169.254/16, 172.16/12, 192.168/16, and
    /// IPv6 fc00::/7 and fe80::/10 (IPv4-mapped addresses by their IPv4 part). A host name never
    /// is, whatever its letters or labels: judging names by their text blocks public servers.
    bool isPrivateIPHost(std::string_view host) const override;

    bool allowLoopbackHTTPForAuthorizationServer;
};

}  // namespace mcp
