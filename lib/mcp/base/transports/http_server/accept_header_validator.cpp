#include "mcp/base/transports/http_server/accept_header_validator.hpp"

#include "mcp/base/transports/http_server/content_type.hpp"
#include "mcp/base/transports/http_server/detail/refusal.hpp"
#include "mcp/base/transports/http_server/detail/unicode_text.hpp"
#include "mcp/base/transports/http_server/http_header_name.hpp"

namespace mcp {

namespace {

struct Accepted {
    bool json = false;
    bool eventStream = false;
};

Accepted acceptedTypes(std::string_view header) {
    Accepted accepted;
    std::size_t start = 0;
    while (start <= header.size()) {
        auto end = header.find(',', start);
        if (end == std::string_view::npos) end = header.size();
        auto piece = detail::trimmingSpacesAndTabs(header.substr(start, end - start));
        if (piece.starts_with(ContentType::json)) accepted.json = true;
        if (piece.starts_with(ContentType::sse)) accepted.eventStream = true;
        start = end + 1;
    }
    return accepted;
}

}  // namespace

std::optional<HTTPResponse> AcceptHeaderValidator::validate(const HTTPRequest& request,
                                                            const HTTPValidationContext& context) const {
    const bool isPost = context.httpMethod == "POST";
    const bool isGet = context.httpMethod == "GET";
    if (!isPost && !isGet) return std::nullopt;

    const auto accepted = acceptedTypes(request.headerView(HTTPHeaderName::accept).value_or(std::string_view()));
    if (isGet) {
        if (accepted.eventStream) return std::nullopt;
        return detail::refusal(406, "Not Acceptable: Client must accept text/event-stream", context);
    }
    switch (mode) {
    case Mode::jsonOnly:
        if (accepted.json) return std::nullopt;
        return detail::refusal(406, "Not Acceptable: Client must accept application/json", context);
    case Mode::sseRequired:
        if (accepted.json && accepted.eventStream) return std::nullopt;
        return detail::refusal(406, "Not Acceptable: Client must accept both application/json and text/event-stream",
                               context);
    }
    return std::nullopt;
}

}  // namespace mcp
