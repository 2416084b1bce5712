#include "mcp/base/transports/http_server/protected_resource_metadata_validator.hpp"

#include <string_view>

#include "mcp/base/transports/http_server/content_type.hpp"
#include "mcp/base/transports/http_server/http_header_name.hpp"
#include "platform/json/write.hpp"

namespace mcp {

namespace {

constexpr std::string_view kDocumentPath = "/.well-known/oauth-protected-resource";

std::string encoded(const OAuthProtectedResourceServerMetadata& metadata) {
    try {
        return platform::json::write(metadata.toJSON());
    } catch (...) {
        return {};
    }
}

bool isDocumentPath(std::string_view path) {
    if (!path.starts_with(kDocumentPath)) return false;
    return path.size() == kDocumentPath.size() || path[kDocumentPath.size()] == '/';
}

}  // namespace

ProtectedResourceMetadataValidator::ProtectedResourceMetadataValidator(
    const OAuthProtectedResourceServerMetadata& metadata)
    : encodedMetadata(encoded(metadata)) {}

std::optional<HTTPResponse> ProtectedResourceMetadataValidator::validate(const HTTPRequest& request,
                                                                        const HTTPValidationContext& context) const {
    if (context.httpMethod != "GET" || !request.path || !isDocumentPath(*request.path)) return std::nullopt;
    return HTTPResponse::data(encodedMetadata, {{std::string(HTTPHeaderName::contentType), std::string(ContentType::json)}});
}

}  // namespace mcp
