#pragma once

#include "mcp/base/authorization/oauth_documents.hpp"
#include "mcp/base/authorization/oauth_metadata_discovering.hpp"
#include "mcp/base/authorization/oauth_url_validator.hpp"
#include "platform/http/client.hpp"

#include <boost/asio/awaitable.hpp>

#include <memory>
#include <optional>
#include <vector>

namespace mcp {

/// An authorization server and its metadata.
struct OAuthAuthorizationServerResolution {
    boost::urls::url server;
    OAuthAuthorizationServerMetadata metadata;
};

/// Fetches the OAuth metadata documents from candidate URLs, one request at a time, in order.
class OAuthDiscoveryFetching {
public:
    virtual ~OAuthDiscoveryFetching() = default;
    virtual boost::asio::awaitable<OAuthProtectedResourceMetadata> fetchProtectedResourceMetadata(
        std::vector<boost::urls::url> candidates, std::optional<boost::urls::url> fallbackIssuer,
        platform::http::Client& session) const = 0;
    virtual boost::asio::awaitable<OAuthAuthorizationServerResolution> fetchAuthorizationServerMetadata(
        std::vector<boost::urls::url> candidates, platform::http::Client& session) const = 0;
    /// The URL rules this client uses.
    virtual const OAuthMetadataDiscovering& metadataDiscovery() const = 0;
};

class OAuthDiscoveryClient final : public OAuthDiscoveryFetching {
public:
    OAuthDiscoveryClient(std::shared_ptr<const OAuthMetadataDiscovering> metadataDiscovery, OAuthURLValidator urlValidator)
        : metadataDiscovery_(std::move(metadataDiscovery)), urlValidator_(urlValidator) {}

    /// The first candidate that answers 2xx with a document naming at least one authorization
    /// server. Failing that, a document naming only `fallbackIssuer`, or metadataDiscoveryFailed.
    boost::asio::awaitable<OAuthProtectedResourceMetadata> fetchProtectedResourceMetadata(
        std::vector<boost::urls::url> candidates, std::optional<boost::urls::url> fallbackIssuer,
        platform::http::Client& session) const override;

    /// Tries each candidate server that passes the URL rules and is no private address, through its
    /// well-known URLs. A document without issuer, or whose issuer is the candidate (ignoring
    /// letter case), is the result. A document naming another issuer is never adopted: when nothing
    /// else is found, the first such refusal is reported as authorizationServerIssuerMismatch;
    /// otherwise authorizationServerMetadataDiscoveryFailed.
    boost::asio::awaitable<OAuthAuthorizationServerResolution> fetchAuthorizationServerMetadata(
        std::vector<boost::urls::url> candidates, platform::http::Client& session) const override;

    const OAuthMetadataDiscovering& metadataDiscovery() const override { return *metadataDiscovery_; }
    const OAuthURLValidator& urlValidator() const { return urlValidator_; }

private:
    std::shared_ptr<const OAuthMetadataDiscovering> metadataDiscovery_;
    OAuthURLValidator urlValidator_;
};

namespace detail {

/// Most bytes read of an OAuth document or error body.
inline constexpr std::size_t kOAuthBodyLimit = 1024 * 1024;

/// A GET of `url` asking for JSON, with the 60-second time-out.
platform::http::Request jsonGetRequest(boost::urls::url_view url);

}  // namespace detail

}  // namespace mcp
