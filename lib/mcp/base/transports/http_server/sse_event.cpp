#include "mcp/base/transports/http_server/sse_event.hpp"

#include "mcp/base/transports/http_server/detail/unicode_text.hpp"

namespace mcp {

SSEEvent SSEEvent::message(std::string_view data, std::optional<std::string> id) {
    return SSEEvent{std::move(id), "message", detail::repairingUTF8(data), std::nullopt};
}

std::string SSEEvent::formatted() const {
    std::string text;
    text.reserve(data.size() + 64);
    if (id) text.append("id: ").append(*id).append("\n");
    if (event) text.append("event: ").append(*event).append("\n");
    if (retry) text.append("retry: ").append(std::to_string(*retry)).append("\n");
    text.append("data: ").append(data).append("\n\n");
    return text;
}

}  // namespace mcp
