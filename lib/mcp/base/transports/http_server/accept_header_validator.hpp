#pragma once

#include "mcp/base/transports/http_server/http_request_validator.hpp"

namespace mcp {

/// Requires an "Accept" header that allows the bodies the transport may answer with: JSON for a
/// POST (and event streams too in `sseRequired` mode), event streams for a GET. Other methods pass.
/// Media ranges match by plain, case-sensitive prefix: "application/json;q=0.9" counts, "*/*" and
/// "application/*" do not.
class AcceptHeaderValidator final : public HTTPRequestValidator {
public:
    enum class Mode { sseRequired, jsonOnly };

    explicit AcceptHeaderValidator(Mode mode) : mode(mode) {}

    std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                         const HTTPValidationContext& context) const override;

    Mode mode;
};

}  // namespace mcp
