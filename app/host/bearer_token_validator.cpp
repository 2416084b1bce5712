#include "host/bearer_token_validator.hpp"

#include <openssl/crypto.h>

namespace inkwarden {

bool BearerTokenValidator::accepts(const mcp::HTTPRequest& request) const {
    constexpr std::string_view kScheme = "Bearer ";
    const auto given = request.headerView("Authorization");
    // The scheme and the length of a token are no secret; its digits are.
    if (!given || given->size() != kScheme.size() + token.size() || !given->starts_with(kScheme)) return false;
    return CRYPTO_memcmp(given->data() + kScheme.size(), token.data(), token.size()) == 0;
}

std::optional<mcp::HTTPResponse> BearerTokenValidator::validate(const mcp::HTTPRequest& request,
                                                                const mcp::HTTPValidationContext&) const {
    if (accepts(request)) return std::nullopt;
    return mcp::HTTPResponse::error(401, mcp::MCPError::invalidRequest(kRefusal));
}

}  // namespace inkwarden
