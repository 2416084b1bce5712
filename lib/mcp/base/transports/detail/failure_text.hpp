#pragma once

#include <exception>
#include <string>

#include "mcp/base/mcp_error.hpp"
#include "platform/describe.hpp"

namespace mcp::detail {

/// An error as the client transports write it into their log lines: an MCPError as its debug
/// description ("[-32000] Connection closed"), anything else as its description.
inline std::string failureText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const MCPError& e) {
        return e.debugDescription();
    } catch (...) {
        return platform::describe(error);
    }
}

}  // namespace mcp::detail
