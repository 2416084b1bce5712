#include "mcp/base/transports/http_server/content_type_validator.hpp"

#include "mcp/base/transports/http_server/content_type.hpp"
#include "mcp/base/transports/http_server/detail/refusal.hpp"
#include "mcp/base/transports/http_server/detail/unicode_text.hpp"
#include "mcp/base/transports/http_server/http_header_name.hpp"

namespace mcp {

namespace {

/// The first non-empty piece between ";", trimmed of spaces and tabs.
std::string_view mediaType(std::string_view header) {
    std::size_t start = 0;
    while (start < header.size()) {
        auto end = header.find(';', start);
        if (end == std::string_view::npos) end = header.size();
        if (end > start) return detail::trimmingSpacesAndTabs(header.substr(start, end - start));
        start = end + 1;
    }
    return {};
}

}  // namespace

std::optional<HTTPResponse> ContentTypeValidator::validate(const HTTPRequest& request,
                                                           const HTTPValidationContext& context) const {
    if (context.httpMethod != "POST") return std::nullopt;
    const auto header = request.headerView(HTTPHeaderName::contentType).value_or(std::string_view());
    if (mediaType(header) == ContentType::json) return std::nullopt;
    return detail::refusal(415, "Unsupported Media Type: Content-Type must be application/json", context);
}

}  // namespace mcp
