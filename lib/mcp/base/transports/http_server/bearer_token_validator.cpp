#include "mcp/base/transports/http_server/bearer_token_validator.hpp"

#include <variant>

#include "mcp/base/authorization/default_oauth_metadata_discovery.hpp"
#include "mcp/base/authorization/detail/url_text.hpp"
#include "mcp/base/transports/http_server/detail/refusal.hpp"
#include "mcp/base/transports/http_server/detail/unicode_text.hpp"
#include "mcp/base/transports/http_server/http_header_name.hpp"

namespace mcp {

namespace {

/// A parsed "Authorization" value: the token, or the reason it has none.
struct ParsedAuthorization {
    std::string token;
    std::optional<std::string> failure;
};

ParsedAuthorization parseAuthorization(std::string_view header) {
    const auto value = detail::trimmingWhiteSpace(header);
    if (value.empty()) return {{}, "Authorization header is empty"};

    // After the trim the value neither starts nor ends with white space, so one split at its first
    // white space gives two non-empty pieces or one.
    const auto split = detail::findWhiteSpace(value);
    if (split == std::string_view::npos) return {{}, "Authorization header must be in the form: Bearer <token>"};
    const auto scheme = value.substr(0, split);
    const auto rest = value.substr(detail::skipWhiteSpace(value, split));

    constexpr std::string_view bearer = "Bearer";
    const bool isBearer = scheme.size() == bearer.size() &&
                          std::equal(scheme.begin(), scheme.end(), bearer.begin(), [](char a, char b) {
                              return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b);
                          });
    if (!isBearer) return {{}, "Authorization scheme must be Bearer"};

    const auto token = detail::trimmingWhiteSpace(rest);
    if (token.empty()) return {{}, "Bearer token is empty"};
    if (detail::findWhiteSpace(token) != std::string_view::npos) return {{}, "Bearer token must not contain whitespace"};
    return {std::string(token), std::nullopt};
}

/// A challenge parameter value: backslashes doubled, then quotes escaped.
std::string escaped(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

void appendParameter(std::string& challenge, std::string_view name, std::string_view value) {
    if (challenge.size() > std::string_view("Bearer ").size()) challenge.append(", ");
    challenge.append(name).append("=\"").append(escaped(value)).append("\"");
}

}  // namespace

std::optional<HTTPResponse> BearerTokenValidator::validate(const HTTPRequest& request,
                                                           const HTTPValidationContext& context) const {
    const auto providedScope = [&]() -> std::optional<std::set<std::string>> {
        if (!challengeScopeProvider) return std::nullopt;
        return challengeScopeProvider(request, context);
    };
    const auto challenged = [&](int status, std::string text, const std::optional<std::set<std::string>>& scope,
                                std::optional<std::string_view> error, const std::optional<std::string>& description) {
        std::string challenge = "Bearer ";
        appendParameter(challenge, "resource_metadata", resourceMetadataURL.buffer());
        if (scope && !scope->empty()) {
            // A std::set is ordered, so the scopes come out sorted.
            std::string scopes;
            for (const auto& each : *scope) {
                if (!scopes.empty()) scopes.push_back(' ');
                scopes.append(each);
            }
            appendParameter(challenge, "scope", scopes);
        }
        if (error) appendParameter(challenge, "error", *error);
        if (description && !description->empty()) appendParameter(challenge, "error_description", *description);
        return detail::refusal(status, std::move(text), context,
                               {{std::string(HTTPHeaderName::wwwAuthenticate), std::move(challenge)}});
    };

    if (requiresAuthentication && !requiresAuthentication(request, context)) return std::nullopt;

    const auto header = request.headerView(HTTPHeaderName::authorization);
    if (!header) return challenged(401, "Unauthorized", providedScope(), std::nullopt, std::nullopt);

    auto parsed = parseAuthorization(*header);
    if (parsed.failure) return detail::refusal(400, "Bad Request: " + *parsed.failure, context);

    const auto result = tokenValidator(parsed.token, request, context);
    if (const auto* valid = std::get_if<BearerTokenValidationResult::Valid>(&result.value)) {
        const auto& info = valid->info;
        if (info.expiresAt && *info.expiresAt <= clock()) {
            return challenged(401, "Unauthorized", providedScope(), "invalid_token", "Token has expired");
        }
        if (!info.audience) return std::nullopt;
        static const DefaultOAuthMetadataDiscovery defaultDiscovery;
        const OAuthMetadataDiscovering& discovery = metadataDiscovery ? *metadataDiscovery : defaultDiscovery;
        for (const auto& entry : *info.audience) {
            auto url = detail::urlFromText(entry);
            if (url && discovery.protectedResourceMatches(*url, resourceIdentifier)) return std::nullopt;
        }
        return challenged(401, "Unauthorized", providedScope(), "invalid_token", "Token audience mismatch");
    }
    if (const auto* scope = std::get_if<BearerTokenValidationResult::InsufficientScope>(&result.value)) {
        return challenged(403, "Forbidden: Insufficient scope", scope->requiredScopes, "insufficient_scope",
                          scope->errorDescription);
    }
    if (const auto* invalid = std::get_if<BearerTokenValidationResult::InvalidToken>(&result.value)) {
        return challenged(401, "Unauthorized", providedScope(), "invalid_token", invalid->errorDescription);
    }
    const auto& malformed = std::get<BearerTokenValidationResult::MalformedRequest>(result.value);
    return detail::refusal(400, "Bad Request: " + malformed.errorDescription.value_or("Malformed authorization request"),
                           context);
}

}  // namespace mcp
