#include "mcp/base/detail/envelope_coding.hpp"

namespace mcp::detail {

void checkVersion(const boost::json::object& envelope) {
    const auto* version = envelope.if_contains("jsonrpc");
    if (version && version->is_string() && version->get_string() == "2.0") return;
    // The decoder's own error for a missing or mistyped member.
    platform::json::required<std::string>(envelope, "jsonrpc");
    throw platform::json::DecodingError(platform::json::DecodingError::Kind::dataCorrupted,
                                        "Invalid JSON-RPC version", {"jsonrpc"});
}

}  // namespace mcp::detail
