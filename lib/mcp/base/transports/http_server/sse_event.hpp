#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mcp {

/// One server-sent event as the HTTP server transports write it.
struct SSEEvent {
    std::optional<std::string> id;
    std::optional<std::string> event;
    std::string data;
    std::optional<std::int64_t> retry;

    /// An event named "message" carrying `data` read as UTF-8 (ill-formed sequences become
    /// U+FFFD), with `id` and no retry.
    static SSEEvent message(std::string_view data, std::optional<std::string> id = std::nullopt);

    /// The event's text: "id: ", "event: " and "retry: " lines for what is present, then
    /// "data: " + data and a blank line. The data stays on one line even when it holds line breaks.
    std::string formatted() const;

    bool operator==(const SSEEvent&) const = default;
};

}  // namespace mcp
