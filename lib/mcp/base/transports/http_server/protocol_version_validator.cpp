#include "mcp/base/transports/http_server/protocol_version_validator.hpp"

#include "mcp/base/transports/http_server/detail/refusal.hpp"
#include "mcp/base/transports/http_server/http_header_name.hpp"

namespace mcp {

std::optional<HTTPResponse> ProtocolVersionValidator::validate(const HTTPRequest& request,
                                                               const HTTPValidationContext& context) const {
    if (context.isInitializationRequest) return std::nullopt;
    auto version = request.header(HTTPHeaderName::protocolVersion);
    if (!version || context.supportedProtocolVersions.contains(*version)) return std::nullopt;

    // The set is ordered, so the versions come out in ascending string order.
    std::string supported;
    for (const auto& each : context.supportedProtocolVersions) {
        if (!supported.empty()) supported.append(", ");
        supported.append(each);
    }
    return detail::refusal(400, "Bad Request: Unsupported protocol version: " + *version + ". Supported: " + supported,
                           context);
}

}  // namespace mcp
