#pragma once

#include <string_view>

#include "mcp/base/messages.hpp"

namespace mcp {

/// "notifications/tools/list_changed": the server's list of tools has changed. Sent without
/// "params".
struct ToolListChangedNotification : BasicNotification<ToolListChangedNotification> {
    static constexpr std::string_view name = "notifications/tools/list_changed";
    using Parameters = Empty;
};

}  // namespace mcp
