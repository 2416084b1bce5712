#include "mcp/base/authorization/oauth_discovery_client.hpp"

#include "mcp/base/authorization/detail/url_text.hpp"
#include "mcp/base/authorization/oauth_authorization_error.hpp"
#include "platform/async/cancellation_error.hpp"

#include <utility>

namespace mcp {

namespace detail {

platform::http::Request jsonGetRequest(boost::urls::url_view url) {
    platform::http::Request request;
    request.method = "GET";
    request.url = boost::urls::url(url);
    request.headers.set("Accept", "application/json");
    request.timeout = std::chrono::seconds(60);
    return request;
}

}  // namespace detail

boost::asio::awaitable<OAuthProtectedResourceMetadata> OAuthDiscoveryClient::fetchProtectedResourceMetadata(
    std::vector<boost::urls::url> candidates, std::optional<boost::urls::url> fallbackIssuer,
    platform::http::Client& session) const {
    for (const auto& candidate : candidates) {
        platform::http::BufferedResponse response;
        try {
            response = co_await session.fetch(detail::jsonGetRequest(candidate), detail::kOAuthBodyLimit);
        } catch (const OAuthAuthorizationError&) {
            throw;
        } catch (const platform::http::HttpError&) {
            continue;
        }
        if (response.status < 200 || response.status > 299) continue;
        std::optional<OAuthProtectedResourceMetadata> metadata;
        try {
            metadata = detail::decodeDocument<OAuthProtectedResourceMetadata>(response.body);
        } catch (const OAuthAuthorizationError&) {
            throw;
        } catch (const std::exception&) {
            continue;
        }
        if (!metadata->authorizationServers.empty()) co_return std::move(*metadata);
    }
    if (fallbackIssuer) {
        OAuthProtectedResourceMetadata metadata;
        metadata.authorizationServers.push_back(std::move(*fallbackIssuer));
        co_return metadata;
    }
    throw OAuthAuthorizationError::plain(OAuthAuthorizationError::Kind::metadataDiscoveryFailed);
}

boost::asio::awaitable<OAuthAuthorizationServerResolution> OAuthDiscoveryClient::fetchAuthorizationServerMetadata(
    std::vector<boost::urls::url> candidates, platform::http::Client& session) const {
    std::optional<OAuthAuthorizationError> firstMismatch;
    for (const auto& candidate : candidates) {
        try {
            urlValidator_.validateAuthorizationServer(candidate, "Authorization server issuer");
        } catch (const OAuthAuthorizationError&) {
            continue;
        }
        if (auto host = detail::lowercasedHost(candidate); host && urlValidator_.isPrivateIPHost(*host)) continue;
        for (const auto& metadataURL : metadataDiscovery_->authorizationServerMetadataURLs(candidate)) {
            std::optional<OAuthAuthorizationServerMetadata> metadata;
            try {
                auto response = co_await session.fetch(detail::jsonGetRequest(metadataURL), detail::kOAuthBodyLimit);
                if (response.status < 200 || response.status > 299) continue;
                metadata = detail::decodeDocument<OAuthAuthorizationServerMetadata>(response.body);
            } catch (const platform::CancellationError&) {
                throw;
            } catch (const std::exception&) {
                continue;
            }
            if (!metadata->issuer) co_return OAuthAuthorizationServerResolution{candidate, std::move(*metadata)};
            const auto issuer = detail::asciiLowercased(metadata->issuer->buffer());
            if (issuer == detail::asciiLowercased(candidate.buffer())) {
                co_return OAuthAuthorizationServerResolution{candidate, std::move(*metadata)};
            }
            // A document speaking for another issuer than the one asked could be a mix-up attack;
            // it is remembered only to say why discovery failed.
            if (!firstMismatch) {
                firstMismatch = OAuthAuthorizationError::authorizationServerIssuerMismatch(
                    std::string(candidate.buffer()), std::string(metadata->issuer->buffer()));
            }
        }
    }
    if (firstMismatch) throw *firstMismatch;
    throw OAuthAuthorizationError::plain(OAuthAuthorizationError::Kind::authorizationServerMetadataDiscoveryFailed);
}

}  // namespace mcp
