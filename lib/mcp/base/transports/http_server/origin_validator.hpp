#pragma once

#include <optional>
#include <string>
#include <vector>

#include "mcp/base/transports/http_server/http_request_validator.hpp"

namespace mcp {

/// Guards a local server against DNS rebinding and foreign web pages: a "Host" header must be one
/// of `allowedHosts` and an "Origin" header one of `allowedOrigins`; an absent header is not
/// checked. An entry ending in ":*" allows any port: its base, ":" and one or more numeric
/// characters (of any script). Other entries match exactly, letter case included.
class OriginValidator final : public HTTPRequestValidator {
public:
    /// An enabled validator with these lists.
    OriginValidator(std::vector<std::string> allowedHosts, std::vector<std::string> allowedOrigins)
        : allowedHosts(std::move(allowedHosts)), allowedOrigins(std::move(allowedOrigins)) {}

    /// Allows 127.0.0.1, localhost and [::1] on `port`, or on any port when none is given, as hosts
    /// and as "http://" origins.
    static OriginValidator localhost(std::optional<int> port = std::nullopt);

    /// Lets every request through.
    static OriginValidator disabled();

    std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                         const HTTPValidationContext& context) const override;

    std::vector<std::string> allowedHosts;
    std::vector<std::string> allowedOrigins;
    bool enabled = true;
};

}  // namespace mcp
