#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "mcp/base/transports/http_server/http_request_validation_pipeline.hpp"
#include "mcp/base/transports/http_server/http_request_validator.hpp"

namespace mcp {

/// Runs its validators in order; the first one that answers ends the run with its response.
///
///     StandardValidationPipeline pipeline({
///         std::make_shared<OriginValidator>(OriginValidator::localhost()),
///         std::make_shared<AcceptHeaderValidator>(AcceptHeaderValidator::Mode::jsonOnly),
///     });
class StandardValidationPipeline final : public HTTPRequestValidationPipeline {
public:
    explicit StandardValidationPipeline(std::vector<std::shared_ptr<const HTTPRequestValidator>> validators)
        : validators(std::move(validators)) {}

    /// The first validator's answer; nothing when all pass, and for an empty list.
    std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                         const HTTPValidationContext& context) const override;

    std::vector<std::shared_ptr<const HTTPRequestValidator>> validators;
};

}  // namespace mcp
