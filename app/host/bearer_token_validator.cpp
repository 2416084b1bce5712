#include "host/bearer_token_validator.hpp"

#include <openssl/crypto.h>

namespace inkwarden {

bool BearerTokenValidator::accepts(const mcp::HTTPRequest& request) const {
    auto given = request.header("Authorization");
    if (!given) return false;
    const auto expected = "Bearer " + token;
    // The length of a token is no secret; its digits are.
    return given->size() == expected.size() && CRYPTO_memcmp(given->data(), expected.data(), expected.size()) == 0;
}

std::optional<mcp::HTTPResponse> BearerTokenValidator::validate(const mcp::HTTPRequest& request,
                                                                const mcp::HTTPValidationContext&) const {
    if (accepts(request)) return std::nullopt;
    return mcp::HTTPResponse::error(401, mcp::MCPError::invalidRequest(kRefusal));
}

}  // namespace inkwarden
