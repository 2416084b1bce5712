#include "mcp/base/transports/http_server/standard_validation_pipeline.hpp"

namespace mcp {

std::optional<HTTPResponse> StandardValidationPipeline::validate(const HTTPRequest& request,
                                                                 const HTTPValidationContext& context) const {
    for (const auto& validator : validators) {
        if (auto response = validator->validate(request, context)) return response;
    }
    return std::nullopt;
}

}  // namespace mcp
