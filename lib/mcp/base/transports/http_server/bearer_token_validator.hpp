#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include <boost/url/url.hpp>

#include "mcp/base/authorization/oauth_metadata_discovering.hpp"
#include "mcp/base/transports/http_server/bearer_token_validation_result.hpp"
#include "mcp/base/transports/http_server/http_request_validator.hpp"

namespace mcp {

/// Makes a server an OAuth protected resource: requests that need authentication must carry
/// "Authorization: Bearer <token>", the token goes to the caller's check, and every failure is
/// answered 401, 403 or 400, the first two with a "WWW-Authenticate" bearer challenge that points
/// the client to the protected-resource metadata document.
///
/// A valid token is refused when it has expired (its expiry at or before `clock()`) or when its
/// audience names no URL that `metadataDiscovery` matches with `resourceIdentifier`; its scopes
/// are the caller's check's business. The functions are called on the validating thread, possibly
/// several at once from different transports. `tokenValidator` must not be empty; an empty
/// `requiresAuthentication` requires authentication everywhere, an empty `challengeScopeProvider`
/// announces no scope, and a null `metadataDiscovery` means the default matching rule.
class BearerTokenValidator final : public HTTPRequestValidator {
public:
    using TokenValidator =
        std::function<BearerTokenValidationResult(const std::string& token, const HTTPRequest&, const HTTPValidationContext&)>;
    using ChallengeScopeProvider =
        std::function<std::optional<std::set<std::string>>(const HTTPRequest&, const HTTPValidationContext&)>;
    using RequiresAuthentication = std::function<bool(const HTTPRequest&, const HTTPValidationContext&)>;
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    BearerTokenValidator(boost::urls::url resourceMetadataURL, boost::urls::url resourceIdentifier,
                         TokenValidator tokenValidator, ChallengeScopeProvider challengeScopeProvider,
                         RequiresAuthentication requiresAuthentication,
                         std::shared_ptr<const OAuthMetadataDiscovering> metadataDiscovery,
                         Clock clock = [] { return std::chrono::system_clock::now(); })
        : resourceMetadataURL(std::move(resourceMetadataURL)),
          resourceIdentifier(std::move(resourceIdentifier)),
          tokenValidator(std::move(tokenValidator)),
          challengeScopeProvider(std::move(challengeScopeProvider)),
          requiresAuthentication(std::move(requiresAuthentication)),
          metadataDiscovery(std::move(metadataDiscovery)),
          clock(std::move(clock)) {}

    std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                         const HTTPValidationContext& context) const override;

    /// Where the protected-resource metadata document is served; named in every challenge.
    boost::urls::url resourceMetadataURL;
    /// This server's resource identifier, which a token's audience must designate.
    boost::urls::url resourceIdentifier;
    TokenValidator tokenValidator;
    /// The scopes announced in challenges that carry none of their own; may be empty.
    ChallengeScopeProvider challengeScopeProvider;
    /// False lets a request through without a token.
    RequiresAuthentication requiresAuthentication;
    /// Decides whether an audience URL designates `resourceIdentifier`.
    std::shared_ptr<const OAuthMetadataDiscovering> metadataDiscovery;
    /// The current time, for the expiry check.
    Clock clock;
};

}  // namespace mcp
