#pragma once

#include <string_view>

#include "mcp/base/messages.hpp"

namespace mcp {

/// "ping": no parameters, an empty result; a client's check that its server is alive.
struct Ping : BasicMethod<Ping> {
    static constexpr std::string_view name = "ping";
    using Parameters = Empty;
    using Result = Empty;
};

}  // namespace mcp
