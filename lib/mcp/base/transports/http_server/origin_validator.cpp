#include "mcp/base/transports/http_server/origin_validator.hpp"

#include <algorithm>
#include <string_view>

#include "mcp/base/transports/http_server/detail/refusal.hpp"
#include "mcp/base/transports/http_server/detail/unicode_text.hpp"
#include "mcp/base/transports/http_server/http_header_name.hpp"

namespace mcp {

namespace {

bool matches(std::string_view value, std::string_view entry) {
    if (!entry.ends_with(":*")) return value == entry;
    // The base keeps its colon: "localhost:*" allows "localhost:" followed by a port.
    auto prefix = entry.substr(0, entry.size() - 1);
    return value.starts_with(prefix) && detail::isAllNumeric(value.substr(prefix.size()));
}

bool allowed(std::string_view value, const std::vector<std::string>& entries) {
    return std::ranges::any_of(entries, [&](const std::string& entry) { return matches(value, entry); });
}

}  // namespace

OriginValidator OriginValidator::localhost(std::optional<int> port) {
    const std::string p = port ? std::to_string(*port) : "*";
    return OriginValidator({"127.0.0.1:" + p, "localhost:" + p, "[::1]:" + p},
                           {"http://127.0.0.1:" + p, "http://localhost:" + p, "http://[::1]:" + p});
}

OriginValidator OriginValidator::disabled() {
    OriginValidator validator({}, {});
    validator.enabled = false;
    return validator;
}

std::optional<HTTPResponse> OriginValidator::validate(const HTTPRequest& request,
                                                      const HTTPValidationContext& context) const {
    if (!enabled) return std::nullopt;
    if (auto host = request.headerView(HTTPHeaderName::host); host && !allowed(*host, allowedHosts)) {
        return detail::refusal(421, "Misdirected Request: Host header not allowed", context);
    }
    if (auto origin = request.headerView(HTTPHeaderName::origin); origin && !allowed(*origin, allowedOrigins)) {
        return detail::refusal(403, "Forbidden: Origin not allowed", context);
    }
    return std::nullopt;
}

}  // namespace mcp
