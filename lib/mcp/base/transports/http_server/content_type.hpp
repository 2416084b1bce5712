#pragma once

#include <string_view>

namespace mcp {

/// The media types of Streamable HTTP bodies.
struct ContentType {
    ContentType() = delete;

    /// One whole JSON-RPC message.
    static constexpr std::string_view json = "application/json";
    /// An event stream of JSON-RPC messages.
    static constexpr std::string_view sse = "text/event-stream";
};

}  // namespace mcp
