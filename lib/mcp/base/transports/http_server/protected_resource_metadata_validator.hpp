#pragma once

#include <string>

#include "mcp/base/authorization/oauth_protected_resource_server_metadata.hpp"
#include "mcp/base/transports/http_server/http_request_validator.hpp"

namespace mcp {

/// Serves the protected-resource metadata document: a GET of "/.well-known/oauth-protected-resource",
/// or of that path followed by "/" and more, is answered 200 with the document, which ends the
/// pipeline. Every other request passes.
class ProtectedResourceMetadataValidator final : public HTTPRequestValidator {
public:
    /// Encodes `metadata` once, with the default writer options; a document that cannot be
    /// encoded is served empty.
    explicit ProtectedResourceMetadataValidator(const OAuthProtectedResourceServerMetadata& metadata);

    std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                         const HTTPValidationContext& context) const override;

    /// The document as JSON bytes.
    std::string encodedMetadata;
};

}  // namespace mcp
